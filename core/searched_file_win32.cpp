#include "core/searched_file.h"

#include <string.h>

#include "app_state.h"
#include "core/long_path.h"

struct SearchedFile {
    HANDLE handle;
    // For paths past MAX_PATH; a reader's own, as readers run side by side.
    WCHAR scratch[kLongPathSize + 8];
    WCHAR prefixed[kLongPathSize + 8];
};

namespace {

// A file that another program holds open for writing, or may delete or
// rename, is still read; only one held without any sharing is not.
const DWORD kShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;

// The ANSI calls stop at MAX_PATH; the wide call with the \\?\ prefix opens
// any length.
HANDLE OpenLongPath(SearchedFile* file, const char* path) {
    if (!AnsiToExtendedLengthPath(path, lstrlenA(path), file->scratch, file->prefixed)) return INVALID_HANDLE_VALUE;
    return CreateFileW(file->prefixed, GENERIC_READ, kShareMode, nullptr, OPEN_EXISTING, kFlags, nullptr);
}

}  // namespace

SearchedFile* NewSearchedFile() {
    SearchedFile* file = static_cast<SearchedFile*>(HeapAlloc(GetProcessHeap(), 0, sizeof(SearchedFile)));
    if (file != nullptr) file->handle = INVALID_HANDLE_VALUE;
    return file;
}

void DeleteSearchedFile(SearchedFile* file) {
    if (file != nullptr) HeapFree(GetProcessHeap(), 0, file);
}

bool OpenSearchedFile(SearchedFile* file, const char* path) {
    file->handle = strlen(path) >= MAX_PATH
                       ? OpenLongPath(file, path)
                       : CreateFileA(path, GENERIC_READ, kShareMode, nullptr, OPEN_EXISTING, kFlags, nullptr);
    if (file->handle == INVALID_HANDLE_VALUE) return false;
    // Device names ('aux.h', 'nul.inc') open serial ports or the null device,
    // and reading a port can block for ever.
    if (GetFileType(file->handle) != FILE_TYPE_DISK) {
        CloseSearchedFile(file);
        return false;
    }
    return true;
}

bool SearchedFileSize(SearchedFile* file, unsigned long long* size) {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(file->handle, &value)) return false;
    *size = static_cast<unsigned long long>(value.QuadPart);
    return true;
}

bool ReadSearchedFile(SearchedFile* file, char* into, size_t want, size_t* got) {
    DWORD read = 0;
    const BOOL ok = ReadFile(file->handle, into, static_cast<DWORD>(want), &read, nullptr);
    *got = read;
    return ok != FALSE;
}

void CloseSearchedFile(SearchedFile* file) {
    CloseHandle(file->handle);
    file->handle = INVALID_HANDLE_VALUE;
}
