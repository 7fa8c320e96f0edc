#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Which files of the file index a change in a watched folder touches: the
// file of that path, and every file below it when it is a folder (renamed,
// moved or deleted whole). Paths compare with the ASCII letters folded and
// '/' taken for '\', as the system compares names.
struct ChangedFiles {
    std::vector<std::pair<std::string, uint32_t>> byPath;  // folded full path, file number; sorted
};

// False when there is no memory for it.
bool MapChangedFiles(ChangedFiles& map, const char* fileIndex);

// Appends the files at path[0, length) or below it. An empty path touches
// nothing; a folder's path may end with a separator or not.
void FilesTouched(const ChangedFiles& map, const char* path, size_t length, std::vector<uint32_t>& files);
