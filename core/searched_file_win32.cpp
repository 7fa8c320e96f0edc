#include "core/searched_file.h"

#include <string.h>

#include "app_state.h"
#include "core/long_path.h"

namespace {

// The ANSI calls stop at MAX_PATH; the wide call with the \\?\ prefix opens
// any length, once the path is made full and converted from the ANSI code page.
HANDLE OpenLongPath(const char* path) {
    static WCHAR wide[kLongPathSize];
    static WCHAR full[kLongPathSize];
    static WCHAR prefixed[kLongPathSize + 8];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kLongPathSize) == 0) return INVALID_HANDLE_VALUE;
    DWORD length = GetFullPathNameW(wide, kLongPathSize, full, nullptr);
    if (length == 0 || length >= kLongPathSize) return INVALID_HANDLE_VALUE;
    ToExtendedLengthPath(full, prefixed);
    return CreateFileW(prefixed, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

bool OpenSearchedFile(const char* path) {
    App.File = strlen(path) >= MAX_PATH
                   ? OpenLongPath(path)
                   : CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (App.File == INVALID_HANDLE_VALUE) return false;
    // Device names ('aux.h', 'nul.inc') open serial ports or the null device,
    // and reading a port can block for ever.
    if (GetFileType(App.File) != FILE_TYPE_DISK) {
        CloseSearchedFile();
        return false;
    }
    return true;
}

bool SearchedFileSize(unsigned long long* size) {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(App.File, &value)) return false;
    App.FileSize = value.QuadPart;
    *size = static_cast<unsigned long long>(value.QuadPart);
    return true;
}

bool ReadSearchedFile(char* into, size_t want, size_t* got) {
    DWORD read = 0;
    const BOOL ok = ReadFile(App.File, into, static_cast<DWORD>(want), &read, nullptr);
    *got = read;
    return ok != FALSE;
}

void CloseSearchedFile() {
    CloseHandle(App.File);
    App.File = INVALID_HANDLE_VALUE;
}
