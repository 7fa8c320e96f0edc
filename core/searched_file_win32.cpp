#include "core/searched_file.h"

#include <string.h>

#include "app_state.h"
#include "core/long_path.h"

namespace {

// A file that another program holds open for writing, or may delete or
// rename, is still read; only one held without any sharing is not.
const DWORD kShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;

// The ANSI calls stop at MAX_PATH; the wide call with the \\?\ prefix opens
// any length.
HANDLE OpenLongPath(const char* path) {
    static WCHAR scratch[kLongPathSize + 8];
    static WCHAR prefixed[kLongPathSize + 8];
    if (!AnsiToExtendedLengthPath(path, lstrlenA(path), scratch, prefixed)) return INVALID_HANDLE_VALUE;
    return CreateFileW(prefixed, GENERIC_READ, kShareMode, nullptr, OPEN_EXISTING, kFlags, nullptr);
}

}  // namespace

bool OpenSearchedFile(const char* path) {
    App.File = strlen(path) >= MAX_PATH
                   ? OpenLongPath(path)
                   : CreateFileA(path, GENERIC_READ, kShareMode, nullptr, OPEN_EXISTING, kFlags, nullptr);
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
