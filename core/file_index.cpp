#include "core/file_index.h"

#include "app_state.h"
#include "core/executable_path.h"
#include "core/index_format.h"

namespace {

char* GrowGlobalBlock(char* block, size_t newSize) {
    if (block == nullptr) return static_cast<char*>(GlobalAlloc(GPTR, newSize));
    // A fixed block may move when GMEM_MOVEABLE is given; the old one stays valid on failure.
    return static_cast<char*>(GlobalReAlloc(block, newSize, GMEM_MOVEABLE | GMEM_ZEROINIT));
}

void IndexSearchPath(IndexWriter& writer, const char* path) {
    static char pattern[kLongPathSize];
    if (path[0] == '\0' || !ResolveSearchPath(path, ExecutableDirectory(), pattern, sizeof pattern)) return;
    HANDLE find = FindFirstFileA(pattern, &App.FindData);
    if (find == INVALID_HANDLE_VALUE) return;
    if (AddGroupEntry(writer, pattern, SearchPathDirectoryLength(pattern), App.FindData.cFileName)) {
        while (FindNextFileA(find, &App.FindData) && AddNameEntry(writer, App.FindData.cFileName)) {
        }
    }
    FindClose(find);
}

}  // namespace

void AllocateFileIndex() {
    App.FileIndex = static_cast<char*>(GlobalAlloc(GPTR, kIndexInitialSize));
    App.FileIndexSize = App.FileIndex != nullptr ? kIndexInitialSize : 0;
}

void ReleaseFileIndex() {
    if (App.FileIndex != nullptr) GlobalFree(App.FileIndex);
    App.FileIndex = nullptr;
    App.FileIndexSize = 0;
}

void BuildFileIndex() {
    IndexWriter writer = {App.FileIndex, App.FileIndexSize, 0, GrowGlobalBlock, false, false};
    BeginIndex(writer);
    for (int slot = Path1; slot < Path1 + kPathSlotCount; ++slot) IndexSearchPath(writer, App.Settings.Slots[slot]);
    EndIndex(writer);
    App.FileIndex = writer.block;
    App.FileIndexSize = writer.size;
}
