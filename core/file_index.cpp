#include "core/file_index.h"

#include <string.h>
#include <wchar.h>

#include "app_state.h"
#include "core/ansi_lead_bytes.h"
#include "core/executable_path.h"
#include "core/file_stamp.h"
#include "core/folder_walk.h"
#include "core/index_format.h"
#include "core/long_path.h"

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

// The name by which the ANSI calls reach this entry: its own, else its short
// name; else, with reachable false, one that opens nothing, so that the search
// sounds the tones.
const char* IndexedName(const WIN32_FIND_DATAW& found, bool* reachable = nullptr) {
    static char name[2 * MAX_PATH];
    static char shortName[2 * MAX_PATH];
    if (reachable != nullptr) *reachable = true;
    if (ToAnsiName(found.cFileName, name, sizeof name)) return name;
    if (found.cAlternateFileName[0] != L'\0' && ToAnsiName(found.cAlternateFileName, shortName, sizeof shortName))
        return shortName;
    if (reachable != nullptr) *reachable = false;
    return name;
}

// The wide pattern of directory[0, directoryLength) followed by mask: as
// written while it is short, else in the extended-length form, which the
// listing calls take at any length.
bool ListingPattern(const char* directory, size_t directoryLength, const char* mask, WCHAR* out) {
    static WCHAR scratch[kLongPathSize + 8];
    int length = 0;
    if (directoryLength + strlen(mask) < MAX_PATH) {
        if (directoryLength > 0) {
            length = MultiByteToWideChar(CP_ACP, 0, directory, static_cast<int>(directoryLength), out, kLongPathSize);
            if (length == 0) return false;
        }
    } else {
        if (!AnsiToExtendedLengthPath(directory, static_cast<int>(directoryLength), scratch, out)) return false;
        length = lstrlenW(out);
    }
    return MultiByteToWideChar(CP_ACP, 0, mask, -1, out + length, kLongPathSize + 8 - length) != 0;
}

// Each file's size and last-write time as the listing gives them, one per
// file of the index, in its order: the content index tells by them whether
// a file changed while the program was not running.
bool ReserveStamp() {
    if (App.FileCount < App.FileStampCapacity) return true;
    const size_t capacity = App.FileStampCapacity == 0 ? 1024 : 2 * App.FileStampCapacity;
    void* grown = App.FileStamps == nullptr
                      ? GlobalAlloc(GPTR, capacity * sizeof(FileStamp))
                      : GlobalReAlloc(App.FileStamps, capacity * sizeof(FileStamp), GMEM_MOVEABLE);
    if (grown == nullptr) return false;
    App.FileStamps = static_cast<FileStamp*>(grown);
    App.FileStampCapacity = capacity;
    return true;
}

FileStamp StampOf(const WIN32_FIND_DATAW& found) {
    const FileStamp stamp = {
        static_cast<unsigned long long>(found.nFileSizeHigh) << 32 | found.nFileSizeLow,
        static_cast<unsigned long long>(found.ftLastWriteTime.dwHighDateTime) << 32 | found.ftLastWriteTime.dwLowDateTime};
    return stamp;
}

// Enumerated through the wide calls: the ANSI ones hand back a lossy copy of
// a name, with no way to tell that it names another file or none. One group
// holds the matches in listing order; in a tree the folders among them are
// walked instead, so they are left out.
void IndexMatches(IndexWriter& writer, const char* directory, size_t directoryLength, const char* mask, bool tree) {
    static WCHAR pattern[kLongPathSize + 8];
    if (!ListingPattern(directory, directoryLength, mask, pattern)) return;
    HANDLE find = FindFirstFileW(pattern, &App.FindData);
    if (find == INVALID_HANDLE_VALUE) return;
    bool grouped = false;
    bool stored = true;
    do {
        if (tree && (App.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        if (!ReserveStamp()) {
            writer.failed = true;  // the files listed so far keep their stamps
            break;
        }
        const char* name = IndexedName(App.FindData);
        stored = grouped ? AddListedName(writer, directory, directoryLength, name)
                         : AddGroupEntry(writer, directory, directoryLength, name);
        if (stored) App.FileStamps[App.FileCount++] = StampOf(App.FindData);
        grouped = true;
    } while (stored && FindNextFileW(find, &App.FindData));
    FindClose(find);
}

// The sub-folders that a tree walk enters, pushed so that they are popped in
// listing order: not "." and "..", not junctions or links to folders, which
// may lead back up, and not one that no ANSI name reaches. One that cannot be
// listed gives nothing, like a missing folder.
void PushSubFolders(FolderStack& stack, const char* directory) {
    static WCHAR pattern[kLongPathSize + 8];
    static char subFolder[kLongPathSize];
    const size_t directoryLength = strlen(directory);
    if (!ListingPattern(directory, directoryLength, "*", pattern)) return;
    HANDLE find = FindFirstFileW(pattern, &App.FindData);
    if (find == INVALID_HANDLE_VALUE) return;
    const size_t mark = stack.used;
    do {
        const DWORD attributes = App.FindData.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
            IsDotName(App.FindData.cFileName))
            continue;
        bool reachable;
        const char* name = IndexedName(App.FindData, &reachable);
        if (reachable && ComposeSubFolder(directory, directoryLength, name, subFolder, sizeof subFolder))
            PushFolder(stack, subFolder);
    } while (FindNextFileW(find, &App.FindData));
    FindClose(find);
    ReverseFolders(stack, mark);
}

// Depth-first with a stack of its own, since a path may hold thousands of
// folders: each folder's matches, then each of its sub-folders in turn.
void IndexTree(IndexWriter& writer, const char* base, size_t baseLength, const char* mask) {
    static char directory[kLongPathSize];
    if (baseLength == 0 || !ComposeFullPath(base, baseLength, "", directory, sizeof directory)) return;
    FolderStack stack = {nullptr, 0, 0, GrowGlobalBlock};
    if (!PushFolder(stack, directory)) return;
    while (!writer.failed && PopFolder(stack, directory, sizeof directory)) {
        IndexMatches(writer, directory, strlen(directory), mask, true);
        PushSubFolders(stack, directory);
    }
    GlobalFree(stack.block);
}

void IndexSearchPath(IndexWriter& writer, const char* path) {
    static char pattern[kLongPathSize];
    if (path[0] == '\0' || !ResolveSearchPath(path, ExecutableDirectory(), pattern, sizeof pattern)) return;
    size_t baseLength, maskStart;
    if (SplitTreeSearchPath(pattern, &baseLength, &maskStart, AnsiLeadBytes())) {
        IndexTree(writer, pattern, baseLength, pattern + maskStart);
        return;
    }
    const size_t directoryLength = SearchPathDirectoryLength(pattern, AnsiLeadBytes());
    IndexMatches(writer, pattern, directoryLength, pattern + directoryLength, false);
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
    if (App.FileStamps != nullptr) GlobalFree(App.FileStamps);
    App.FileStamps = nullptr;
    App.FileStampCapacity = App.FileCount = 0;
}

void BuildFileIndex() {
    App.FileCount = 0;
    IndexWriter writer = {App.FileIndex, App.FileIndexSize, 0, GrowGlobalBlock, false, false};
    BeginIndex(writer);
    for (int slot = Path1; slot < Path1 + kPathSlotCount; ++slot) IndexSearchPath(writer, App.Settings.Slots[slot]);
    EndIndex(writer);
    App.FileIndex = writer.block;
    App.FileIndexSize = writer.size;
}
