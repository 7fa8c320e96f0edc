#include "core/searched_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Without blocking: a FIFO or a terminal gives what it has, and no more.
const int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

int File = -1;
bool TypeChecked;

// The folder of the last file stays open: the files of one group are then
// opened by their names alone, without walking the whole path each time.
int Folder = -1;
char FolderPath[4096];
size_t FolderLength;

int OpenInFolder(const char* path) {
    const char* slash = strrchr(path, '/');
    const size_t length = slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
    if (length == 0 || length >= sizeof FolderPath) return open(path, kOpenFlags);
    if (length != FolderLength || memcmp(path, FolderPath, length) != 0) {
        if (Folder >= 0) close(Folder);
        memcpy(FolderPath, path, length);
        FolderPath[length] = '\0';
        FolderLength = length;
        Folder = open(FolderPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    return Folder >= 0 ? openat(Folder, slash + 1, kOpenFlags) : open(path, kOpenFlags);
}

}  // namespace

bool OpenSearchedFile(const char* path) {
    File = OpenInFolder(path);
    TypeChecked = false;
    return File >= 0;
}

// Most files end within the first read, which then tells the size: asking
// for it first would cost a system call per file.
bool SearchedFileSize(unsigned long long* size) {
    *size = ~0ull;
    return true;
}

bool ReadSearchedFile(char* into, size_t want, size_t* got) {
    *got = 0;
    ssize_t n;
    do n = read(File, into, want);
    while (n < 0 && errno == EINTR);
    if (n < 0) return false;  // a folder, among others
    *got = static_cast<size_t>(n);
    // A full read may come from a device that never ends: only a regular
    // file is read on.
    if (!TypeChecked && *got == want) {
        TypeChecked = true;
        struct stat info;
        if (fstat(File, &info) != 0 || !S_ISREG(info.st_mode)) {
            *got = 0;
            return false;
        }
    }
    return true;
}

void CloseSearchedFile() {
    close(File);
    File = -1;
}
