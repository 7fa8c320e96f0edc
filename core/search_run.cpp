#include "core/search_run.h"

#include <string.h>

#include "app_state.h"
#include "core/effects.h"
#include "core/index_format.h"
#include "core/text_matcher.h"
#include "res/resource.h"

namespace {

// Every file is read through this one buffer; larger files go in pieces.
enum { kReadBufferSize = 1 << 20 };
char ReadBuffer[kReadBufferSize];

void SoundUnreadable() {
    PlayTone(200, 500);
    PlayTone(300, 500);
    PlayTone(400, 500);
}

// The ANSI calls stop at MAX_PATH; the wide call with the \\?\ prefix opens
// any length, once the path is made full and converted from the ANSI code page.
HANDLE OpenLongPath(const char* path) {
    static WCHAR wide[kLongPathSize];
    static WCHAR full[kLongPathSize];
    static WCHAR prefixed[kLongPathSize + 8];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kLongPathSize) == 0) return INVALID_HANDLE_VALUE;
    DWORD length = GetFullPathNameW(wide, kLongPathSize, full, nullptr);
    if (length == 0 || length >= kLongPathSize) return INVALID_HANDLE_VALUE;
    if (full[0] == L'\\' && full[1] == L'\\') {
        lstrcpyW(prefixed, L"\\\\?\\UNC\\");
        lstrcatW(prefixed, full + 2);
    } else {
        lstrcpyW(prefixed, L"\\\\?\\");
        lstrcatW(prefixed, full);
    }
    return CreateFileW(prefixed, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

HANDLE OpenSearchedFile(const char* path) {
    if (strlen(path) >= MAX_PATH) return OpenLongPath(path);
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Reads the open file in buffer-sized pieces, each starting with the last
// queryLength - 1 bytes of the one before, so no occurrence falls between two.
bool ScanOpenFile(size_t queryLength, bool caseInsensitive) {
    const size_t overlap = queryLength > 0 ? queryLength - 1 : 0;
    unsigned long long remaining = static_cast<unsigned long long>(App.FileSize);
    size_t kept = 0;
    while (remaining > 0) {
        DWORD want = static_cast<DWORD>(kReadBufferSize - kept);
        if (remaining < want) want = static_cast<DWORD>(remaining);
        DWORD got = 0;
        BOOL ok = ReadFile(App.File, ReadBuffer + kept, want, &got, nullptr);
        size_t have = kept + got;
        if (MatchText(ReadBuffer, have, App.Query, caseInsensitive)) return true;
        if (!ok) {
            PlayTone(400, 500);
            return false;
        }
        if (got == 0) return false;  // the file shrank while being read
        remaining -= got;
        kept = have < overlap ? have : overlap;
        memmove(ReadBuffer, ReadBuffer + have - kept, kept);
    }
    return false;
}

bool SearchFile(const char* path, size_t queryLength, bool caseInsensitive) {
    App.File = OpenSearchedFile(path);
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, path);
    if (App.File == INVALID_HANDLE_VALUE) {
        SoundUnreadable();
        return false;
    }
    // Device names ('aux.h', 'nul.inc') open serial ports or the null device,
    // and reading a port can block for ever.
    if (GetFileType(App.File) != FILE_TYPE_DISK) {
        CloseHandle(App.File);
        App.File = INVALID_HANDLE_VALUE;
        SoundUnreadable();
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(App.File, &size)) {
        PlayTone(300, 500);
        size.QuadPart = 0;
    }
    App.FileSize = size.QuadPart;
    bool found = ScanOpenFile(queryLength, caseInsensitive);
    CloseHandle(App.File);
    App.File = INVALID_HANDLE_VALUE;
    return found;
}

void AddResultRow(const char* path) {
    App.Row.mask = LVIF_TEXT;
    App.Row.iItem = App.HitCount;
    App.Row.iSubItem = 0;
    App.Row.pszText = const_cast<char*>(path);
    SendMessageA(App.ResultList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&App.Row));
    ++App.HitCount;
}

}  // namespace

void SearchCommand() {
    App.HitCount = 0;
    SendMessageA(App.ResultList, LVM_DELETEALLITEMS, 0, 0);
    RunSearch();
}

void RunSearch() {
    GetDlgItemTextA(App.MainWindow, IDC_MAIN_QUERY, App.Query, kFieldTextLimit);
    DWORD start = GetTickCount();
    SearchIndexedFiles();
    DWORD elapsed = GetTickCount() - start;
    FormatDecimal(static_cast<int32_t>(elapsed), App.ElapsedText);
    lstrcpyA(App.StatusText, kSearchCompleteText);
    lstrcatA(App.StatusText, App.ElapsedText);
    lstrcatA(App.StatusText, kMillisecondsText);
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, App.StatusText);
}

void SearchIndexedFiles() {
    const size_t queryLength = strlen(App.Query);
    IndexCursor cursor = StartIndexWalk(App.FileIndex);
    const char* name;
    while (NextIndexedFile(cursor, &name)) {
        if (!ComposeFullPath(cursor.directory, cursor.directoryLength, name, App.FullPath, sizeof App.FullPath)) {
            SoundUnreadable();
            continue;
        }
        if (SearchFile(App.FullPath, queryLength, App.CaseInsensitive == 1)) AddResultRow(App.FullPath);
    }
}
