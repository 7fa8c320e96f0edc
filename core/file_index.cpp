#include "core/file_index.h"

#include <string.h>
#include <wchar.h>

#include "app_state.h"
#include "core/executable_path.h"
#include "core/index_format.h"

namespace {

char* GrowGlobalBlock(char* block, size_t newSize) {
    if (block == nullptr) return static_cast<char*>(GlobalAlloc(GPTR, newSize));
    // A fixed block may move when GMEM_MOVEABLE is given; the old one stays valid on failure.
    return static_cast<char*>(GlobalReAlloc(block, newSize, GMEM_MOVEABLE | GMEM_ZEROINIT));
}

bool IsDotName(const WCHAR* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

// Writes the name in the ANSI code page and says whether that text names the
// same file. It does not when the code page lacks a character (it becomes '?',
// or a look-alike such as 'a' for a full-width 'ａ', which may be another
// file), when the name holds a separator or wildcard (Unix names may), or when
// it ends in a dot or space, which path parsing drops. Whatever cannot be
// carried is written as '?', which no file name holds, so such a text opens
// nothing rather than some other file.
bool ToAnsiName(const WCHAR* name, char* out, int outSize) {
    static WCHAR safe[MAX_PATH];
    static WCHAR back[MAX_PATH];
    bool exact = true;
    int length = 0;
    for (; name[length] != L'\0' && length < MAX_PATH - 1; ++length) {
        WCHAR c = name[length];
        if (c < 0x20 || wcschr(L"\\/*?\"<>|", c) != nullptr) {
            c = L'?';
            exact = false;
        }
        safe[length] = c;
    }
    safe[length] = L'\0';
    if (length > 0 && !IsDotName(safe) && (safe[length - 1] == L'.' || safe[length - 1] == L' ')) {
        safe[length - 1] = L'?';
        exact = false;
    }
    // The UTF-8 code page takes neither the flag nor a default character.
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL lossy = FALSE;
    if (WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, safe, -1, out, outSize, utf8 ? nullptr : "?",
                            utf8 ? nullptr : &lossy) == 0) {
        lstrcpyA(out, "?");
        return false;
    }
    if (!exact || lossy) return false;
    return MultiByteToWideChar(CP_ACP, 0, out, -1, back, MAX_PATH) != 0 && wcscmp(back, name) == 0;
}

// The name by which the ANSI calls reach this file: its own, else its short
// name, else one that opens nothing, so that the search sounds the tones.
const char* IndexedName(const WIN32_FIND_DATAW& found) {
    static char name[2 * MAX_PATH];
    static char shortName[2 * MAX_PATH];
    if (ToAnsiName(found.cFileName, name, sizeof name)) return name;
    if (found.cAlternateFileName[0] != L'\0' && ToAnsiName(found.cAlternateFileName, shortName, sizeof shortName))
        return shortName;
    return name;
}

// Enumerated through the wide calls: the ANSI ones hand back a lossy copy of
// a name, with no way to tell that it names another file or none.
void IndexSearchPath(IndexWriter& writer, const char* path) {
    static char pattern[kLongPathSize];
    static WCHAR widePattern[kLongPathSize];
    if (path[0] == '\0' || !ResolveSearchPath(path, ExecutableDirectory(), pattern, sizeof pattern)) return;
    if (MultiByteToWideChar(CP_ACP, 0, pattern, -1, widePattern, kLongPathSize) == 0) return;
    HANDLE find = FindFirstFileW(widePattern, &App.FindData);
    if (find == INVALID_HANDLE_VALUE) return;
    const size_t directoryLength = SearchPathDirectoryLength(pattern);
    bool stored = AddGroupEntry(writer, pattern, directoryLength, IndexedName(App.FindData));
    while (stored && FindNextFileW(find, &App.FindData))
        stored = AddListedName(writer, pattern, directoryLength, IndexedName(App.FindData));
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
