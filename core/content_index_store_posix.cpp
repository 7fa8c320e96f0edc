#include "core/content_index_store.h"

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

bool WriteAll(void* context, const void* bytes, size_t length) {
    return fwrite(bytes, 1, length, static_cast<FILE*>(context)) == length;
}

size_t ReadSome(void* context, void* into, size_t length) { return fread(into, 1, length, static_cast<FILE*>(context)); }

}  // namespace

bool StoreContentIndex(const ContentIndex* index, const char* path, const char* builtFor, size_t builtForLength) {
    const std::string temporary = std::string(path) + ".tmp";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (file == nullptr) return false;
    const IndexFileSink sink = {file, WriteAll};
    bool written = SaveContentIndex(index, builtFor, builtForLength, sink) && fflush(file) == 0 && fsync(fileno(file)) == 0;
    written = fclose(file) == 0 && written;
    if (written && rename(temporary.c_str(), path) == 0) return true;
    remove(temporary.c_str());
    return false;
}

ContentIndex* RestoreContentIndex(const char* path, const char* builtFor, size_t builtForLength, size_t memoryCap,
                                  IndexFileVerdict* verdict) {
    *verdict = kIndexFileForeign;
    FILE* file = fopen(path, "rb");
    if (file == nullptr) return nullptr;
    struct stat info;
    ContentIndex* index = nullptr;
    if (fstat(fileno(file), &info) == 0) {
        const IndexFileSource source = {file, ReadSome};
        index = LoadContentIndex(source, static_cast<unsigned long long>(info.st_size), builtFor, builtForLength,
                                 memoryCap, verdict);
    }
    fclose(file);
    return index;
}
