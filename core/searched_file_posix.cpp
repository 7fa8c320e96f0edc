#include "core/searched_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

struct SearchedFile {
    int file;
    bool typeChecked;
    // The folder of the reader's last file stays open: the files of one
    // group are then opened by their names alone, without walking the whole
    // path each time.
    int folder;
    size_t folderLength;
    char folderPath[4096];
};

namespace {

// Without blocking: a FIFO or a terminal gives what it has, and no more.
const int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

int OpenInFolder(SearchedFile* file, const char* path) {
    const char* slash = strrchr(path, '/');
    const size_t length = slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
    if (length == 0 || length >= sizeof file->folderPath) return open(path, kOpenFlags);
    if (length != file->folderLength || memcmp(path, file->folderPath, length) != 0) {
        if (file->folder >= 0) close(file->folder);
        memcpy(file->folderPath, path, length);
        file->folderPath[length] = '\0';
        file->folderLength = length;
        file->folder = open(file->folderPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    return file->folder >= 0 ? openat(file->folder, slash + 1, kOpenFlags) : open(path, kOpenFlags);
}

}  // namespace

SearchedFile* NewSearchedFile() {
    SearchedFile* file = static_cast<SearchedFile*>(malloc(sizeof(SearchedFile)));
    if (file == nullptr) return nullptr;
    file->file = -1;
    file->typeChecked = false;
    file->folder = -1;
    file->folderLength = 0;
    return file;
}

void DeleteSearchedFile(SearchedFile* file) {
    if (file == nullptr) return;
    if (file->folder >= 0) close(file->folder);
    free(file);
}

bool OpenSearchedFile(SearchedFile* file, const char* path) {
    file->file = OpenInFolder(file, path);
    file->typeChecked = false;
    return file->file >= 0;
}

// Most files end within the first read, which then tells the size: asking
// for it first would cost a system call per file.
bool SearchedFileSize(SearchedFile*, unsigned long long* size) {
    *size = ~0ull;
    return true;
}

bool ReadSearchedFile(SearchedFile* file, char* into, size_t want, size_t* got) {
    *got = 0;
    ssize_t n;
    do n = read(file->file, into, want);
    while (n < 0 && errno == EINTR);
    if (n < 0) return false;  // a folder, among others
    *got = static_cast<size_t>(n);
    // A full read may come from a device that never ends: only a regular
    // file is read on.
    if (!file->typeChecked && *got == want) {
        file->typeChecked = true;
        struct stat info;
        if (fstat(file->file, &info) != 0 || !S_ISREG(info.st_mode)) {
            *got = 0;
            return false;
        }
    }
    return true;
}

void CloseSearchedFile(SearchedFile* file) {
    close(file->file);
    file->file = -1;
}
