#include "core/content_index_store.h"

#include "app_state.h"

namespace {

// Beside the file, so the rename stays on one volume.
const char kTemporarySuffix[] = ".tmp";

bool WriteAll(void* context, const void* bytes, size_t length) {
    const char* at = static_cast<const char*>(bytes);
    while (length > 0) {
        const DWORD want = length < (1u << 30) ? static_cast<DWORD>(length) : (1u << 30);
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(context), at, want, &written, nullptr) || written == 0) return false;
        at += written;
        length -= written;
    }
    return true;
}

size_t ReadSome(void* context, void* into, size_t length) {
    char* at = static_cast<char*>(into);
    size_t got = 0;
    while (got < length) {
        DWORD read = 0;
        if (!ReadFile(static_cast<HANDLE>(context), at + got, static_cast<DWORD>(length - got), &read, nullptr) ||
            read == 0)
            break;
        got += read;
    }
    return got;
}

}  // namespace

struct IndexFileDraft {
    HANDLE file;
    char temporary[MAX_PATH];
    char path[MAX_PATH];
};

IndexFileDraft* DraftContentIndex(const ContentIndex* index, const char* path, const char* builtFor,
                                  size_t builtForLength) {
    if (lstrlenA(path) + sizeof kTemporarySuffix > MAX_PATH) return nullptr;
    IndexFileDraft* draft = new IndexFileDraft;
    lstrcpyA(draft->path, path);
    lstrcpyA(draft->temporary, path);
    lstrcatA(draft->temporary, kTemporarySuffix);
    draft->file = CreateFileA(draft->temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (draft->file != INVALID_HANDLE_VALUE) {
        const IndexFileSink sink = {draft->file, WriteAll};
        if (SaveContentIndex(index, builtFor, builtForLength, sink)) return draft;
        CloseHandle(draft->file);
        DeleteFileA(draft->temporary);
    }
    delete draft;
    return nullptr;
}

bool CommitContentIndex(IndexFileDraft* draft) {
    const bool flushed = FlushFileBuffers(draft->file) != 0;
    CloseHandle(draft->file);
    const bool written =
        flushed && MoveFileExA(draft->temporary, draft->path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!written) DeleteFileA(draft->temporary);
    delete draft;
    return written;
}

ContentIndex* RestoreContentIndex(const char* path, const char* builtFor, size_t builtForLength, size_t memoryCap,
                                  IndexFileVerdict* verdict) {
    *verdict = kIndexFileForeign;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size;
    ContentIndex* index = nullptr;
    if (GetFileSizeEx(file, &size)) {
        const IndexFileSource source = {file, ReadSome};
        index = LoadContentIndex(source, static_cast<unsigned long long>(size.QuadPart), builtFor, builtForLength,
                                 memoryCap, verdict);
    }
    CloseHandle(file);
    return index;
}
