#include "core/searched_file.h"

#include <string.h>

#include "app_state.h"
#include "core/long_path.h"

struct SearchedFile {
    HANDLE handle;
    // For paths past MAX_PATH; a reader's own, as readers run side by side.
    WCHAR wide[kLongPathSize + 8];
    WCHAR full[kLongPathSize];
};

namespace {

HANDLE OpenForReading(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// The ANSI calls stop at MAX_PATH; the wide call with the \\?\ prefix opens
// any length, once the path is made full and converted from the ANSI code page.
HANDLE OpenLongPath(SearchedFile* file, const char* path) {
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, file->wide, kLongPathSize) == 0) return INVALID_HANDLE_VALUE;
    DWORD length = GetFullPathNameW(file->wide, kLongPathSize, file->full, nullptr);
    if (length == 0 || length >= kLongPathSize) return INVALID_HANDLE_VALUE;
    ToExtendedLengthPath(file->full, file->wide);
    return CreateFileW(file->wide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
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
    file->handle = strlen(path) >= MAX_PATH ? OpenLongPath(file, path) : OpenForReading(path);
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
