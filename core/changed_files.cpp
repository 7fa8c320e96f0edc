#include "core/changed_files.h"

#include <string.h>

#include <algorithm>
#include <new>

#include "core/index_format.h"

namespace {

std::string Folded(const char* text, size_t length) {
    std::string folded(text, length);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c == '/') c = '\\';
    }
    return folded;
}

}  // namespace

bool MapChangedFiles(ChangedFiles& map, const char* fileIndex) {
    try {
        map.byPath.clear();
        IndexCursor cursor = StartIndexWalk(fileIndex);
        const char* name;
        for (uint32_t file = 0; NextIndexedFile(cursor, &name); ++file) {
            std::string path = Folded(cursor.directory, cursor.directoryLength);
            path += Folded(name, strlen(name));
            map.byPath.emplace_back(std::move(path), file);
        }
        std::sort(map.byPath.begin(), map.byPath.end());
        return true;
    } catch (const std::bad_alloc&) {
        map.byPath.clear();
        return false;
    }
}

void FilesTouched(const ChangedFiles& map, const char* path, size_t length, std::vector<uint32_t>& files) {
    std::string key = Folded(path, length);
    while (!key.empty() && key.back() == '\\') key.pop_back();
    if (key.empty()) return;
    // The path itself, then everything that starts with it and a separator.
    auto at = std::lower_bound(map.byPath.begin(), map.byPath.end(), std::make_pair(key, uint32_t{0}));
    for (; at != map.byPath.end() && at->first == key; ++at) files.push_back(at->second);
    key += '\\';
    at = std::lower_bound(map.byPath.begin(), map.byPath.end(), std::make_pair(key, uint32_t{0}));
    for (; at != map.byPath.end() && at->first.compare(0, key.size(), key) == 0; ++at) files.push_back(at->second);
}
