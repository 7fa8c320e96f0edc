#include "core/file_index_posix.h"

#include <dirent.h>
#include <fnmatch.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/folder_walk.h"
#include "core/index_format.h"

namespace {

std::vector<FileStamp>* Stamps;  // where the build in progress puts them, if anywhere

char* GrowHeapBlock(char* block, size_t newSize) { return static_cast<char*>(realloc(block, newSize)); }

// A folder, and not a link to one: a tree walk enters these only.
bool IsFolder(const std::string& directory, const dirent* entry) {
    if (entry->d_type != DT_UNKNOWN) return entry->d_type == DT_DIR;
    struct stat info;
    return lstat((directory + entry->d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The names of a folder in sorted order: those matching the mask (in a tree,
// folders left out), and, for a tree, its sub-folders.
void ListFolder(const std::string& directory, const char* mask, bool tree, std::vector<std::string>& matches,
                std::vector<std::string>& folders) {
    DIR* folder = opendir(directory.empty() ? "./" : directory.c_str());
    if (folder == nullptr) return;
    while (const dirent* entry = readdir(folder)) {
        const bool isFolder = tree && IsFolder(directory, entry);
        if (isFolder && strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            folders.push_back(entry->d_name);
        if (!isFolder && fnmatch(mask, entry->d_name, FNM_CASEFOLD) == 0) matches.push_back(entry->d_name);
    }
    closedir(folder);
    std::sort(matches.begin(), matches.end());
    std::sort(folders.begin(), folders.end());
}

FileStamp StampOf(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return FileStamp{0, 0};
    return FileStamp{static_cast<unsigned long long>(info.st_size),
                     static_cast<unsigned long long>(info.st_mtim.tv_sec) * 1000000000ull +
                         static_cast<unsigned long long>(info.st_mtim.tv_nsec)};
}

// False once the index refuses an entry.
bool IndexMatches(IndexWriter& writer, const char* directory, size_t directoryLength,
                  const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
        const bool stored = i == 0 ? AddGroupEntry(writer, directory, directoryLength, names[i].c_str())
                                   : AddListedName(writer, directory, directoryLength, names[i].c_str());
        if (!stored) return false;
        if (Stamps != nullptr) Stamps->push_back(StampOf(std::string(directory, directoryLength) + names[i]));
    }
    return true;
}

// The same order as the program's walk: a folder's matches, then each
// sub-folder in turn, depth-first.
void IndexTree(IndexWriter& writer, const char* base, size_t baseLength, const char* mask) {
    static char directory[32768];
    static char subFolder[32768];
    if (!ComposeFullPath(base, baseLength, "", directory, sizeof directory)) return;
    FolderStack stack = {nullptr, 0, 0, GrowHeapBlock};
    PushFolder(stack, directory);
    while (!writer.failed && PopFolder(stack, directory, sizeof directory)) {
        std::vector<std::string> matches, folders;
        ListFolder(directory, mask, true, matches, folders);
        IndexMatches(writer, directory, strlen(directory), matches);
        const size_t mark = stack.used;
        for (const std::string& name : folders)
            if (ComposeSubFolder(directory, strlen(directory), name.c_str(), subFolder, sizeof subFolder))
                PushFolder(stack, subFolder);
        ReverseFolders(stack, mark);
    }
    free(stack.block);
}

void IndexSearchPath(IndexWriter& writer, const char* path, const char* baseDirectory) {
    static char pattern[32768];
    if (path[0] == '\0' || !ResolveSearchPath(path, baseDirectory, pattern, sizeof pattern)) return;
    size_t baseLength, maskStart;
    if (SplitTreeSearchPath(pattern, &baseLength, &maskStart)) {
        IndexTree(writer, pattern, baseLength, pattern + maskStart);
        return;
    }
    const size_t directoryLength = SearchPathDirectoryLength(pattern);
    std::vector<std::string> matches, folders;
    ListFolder(std::string(pattern, directoryLength), pattern + directoryLength, false, matches, folders);
    IndexMatches(writer, pattern, directoryLength, matches);
}

}  // namespace

char* BuildPosixFileIndex(const char* const* searchPaths, int count, const char* baseDirectory,
                          std::vector<FileStamp>* stamps) {
    Stamps = stamps;
    if (stamps != nullptr) stamps->clear();
    IndexWriter writer = {nullptr, 0, 0, GrowHeapBlock, false, false};
    BeginIndex(writer);
    for (int i = 0; i < count; ++i) IndexSearchPath(writer, searchPaths[i], baseDirectory);
    if (writer.block == nullptr) writer.block = GrowHeapBlock(nullptr, 1);
    EndIndex(writer);
    Stamps = nullptr;
    return writer.block;
}
