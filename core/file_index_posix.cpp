#include "core/file_index_posix.h"

#include <dirent.h>
#include <fnmatch.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/index_format.h"

namespace {

char* GrowHeapBlock(char* block, size_t newSize) { return static_cast<char*>(realloc(block, newSize)); }

void IndexSearchPath(IndexWriter& writer, const char* path, const char* baseDirectory) {
    static char pattern[32768];
    if (path[0] == '\0' || !ResolveSearchPath(path, baseDirectory, pattern, sizeof pattern)) return;
    const size_t directoryLength = SearchPathDirectoryLength(pattern);
    const std::string directory = directoryLength > 0 ? std::string(pattern, directoryLength) : "./";
    const char* wildcard = pattern + directoryLength;
    DIR* folder = opendir(directory.c_str());
    if (folder == nullptr) return;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(folder)) {
        if (fnmatch(wildcard, entry->d_name, FNM_CASEFOLD) == 0) names.push_back(entry->d_name);
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    for (size_t i = 0; i < names.size(); ++i) {
        const bool stored = i == 0 ? AddGroupEntry(writer, pattern, directoryLength, names[i].c_str())
                                   : AddListedName(writer, pattern, directoryLength, names[i].c_str());
        if (!stored) return;
    }
}

}  // namespace

char* BuildPosixFileIndex(const char* const* searchPaths, int count, const char* baseDirectory) {
    IndexWriter writer = {nullptr, 0, 0, GrowHeapBlock, false, false};
    BeginIndex(writer);
    for (int i = 0; i < count; ++i) IndexSearchPath(writer, searchPaths[i], baseDirectory);
    if (writer.block == nullptr) writer.block = GrowHeapBlock(nullptr, 1);
    EndIndex(writer);
    return writer.block;
}
