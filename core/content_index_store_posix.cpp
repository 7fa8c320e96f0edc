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

struct IndexFileDraft {
    FILE* file;
    std::string temporary, path;
};

IndexFileDraft* DraftContentIndex(const ContentIndex* index, const char* path, const char* builtFor,
                                  size_t builtForLength) {
    IndexFileDraft* draft = new IndexFileDraft{nullptr, std::string(path) + ".tmp", path};
    draft->file = fopen(draft->temporary.c_str(), "wb");
    if (draft->file != nullptr) {
        const IndexFileSink sink = {draft->file, WriteAll};
        if (SaveContentIndex(index, builtFor, builtForLength, sink)) return draft;
        fclose(draft->file);
        remove(draft->temporary.c_str());
    }
    delete draft;
    return nullptr;
}

bool CommitContentIndex(IndexFileDraft* draft) {
    bool written = fflush(draft->file) == 0 && fsync(fileno(draft->file)) == 0;
    written = fclose(draft->file) == 0 && written;
    written = written && rename(draft->temporary.c_str(), draft->path.c_str()) == 0;
    if (!written) remove(draft->temporary.c_str());
    delete draft;
    return written;
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
