#include "core/searched_file.h"

#include "app_state.h"
#include "core/long_path.h"

struct SearchedFile {
    HANDLE handle;
};

SearchedFile* NewSearchedFile() {
    SearchedFile* file = static_cast<SearchedFile*>(HeapAlloc(GetProcessHeap(), 0, sizeof(SearchedFile)));
    if (file != nullptr) file->handle = INVALID_HANDLE_VALUE;
    return file;
}

void DeleteSearchedFile(SearchedFile* file) {
    if (file != nullptr) HeapFree(GetProcessHeap(), 0, file);
}

// A file that another program holds open for writing, or may delete or
// rename, is still read; only one held without any sharing is not. Device
// names ('aux.h', 'nul.inc') are refused, since reading a port can block for
// ever.
bool OpenSearchedFile(SearchedFile* file, const char* path) {
    file->handle = OpenFileForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      FILE_FLAG_SEQUENTIAL_SCAN);
    return file->handle != INVALID_HANDLE_VALUE;
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
