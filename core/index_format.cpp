#include "core/index_format.h"

#include <string.h>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Makes room for extra bytes plus the end marker, which must always fit.
bool Reserve(IndexWriter& writer, size_t extra) {
    if (writer.failed) return false;
    size_t needed = writer.used + extra + 1;
    if (needed < writer.used || !GrowBlock(writer.block, writer.size, needed, writer.grow))
        return (writer.failed = true, false);
    return true;
}

void Put(IndexWriter& writer, const char* bytes, size_t length) {
    memcpy(writer.block + writer.used, bytes, length);
    writer.used += length;
}

}  // namespace

bool GrowBlock(char*& block, size_t& size, size_t needed, IndexGrowFn grow) {
    if (block != nullptr && needed <= size) return true;
    size_t newSize = size < 4096 ? 4096 : size;
    while (newSize < needed) {
        if (newSize > (size_t)-1 / 2) return false;
        newSize *= 2;
    }
    char* grown = grow ? grow(block, newSize) : nullptr;
    if (grown == nullptr) return false;
    block = grown;
    size = newSize;
    return true;
}

void BeginIndex(IndexWriter& writer) {
    writer.used = 0;
    writer.failed = false;
    writer.inGroup = false;
}

bool AddGroupEntry(IndexWriter& writer, const char* directory, size_t directoryLength, const char* name) {
    writer.inGroup = false;
    // The reader knows a directory entry by its first two characters alone.
    const bool absolute =
        directoryLength > 0 && (IsSeparator(directory[0]) || (directoryLength >= 2 && directory[1] == ':'));
    if (!absolute || memchr(directory, '*', directoryLength) != nullptr) return false;
    size_t nameLength = strlen(name);
    if (!Reserve(writer, directoryLength + 1 + nameLength + 1)) return false;
    Put(writer, directory, directoryLength);
    Put(writer, "*", 1);
    Put(writer, name, nameLength + 1);
    writer.inGroup = true;
    return true;
}

bool AddNameEntry(IndexWriter& writer, const char* name) {
    if (!writer.inGroup || name[0] == '\0' || IsDirectoryEntry(name)) return false;
    size_t length = strlen(name) + 1;
    if (!Reserve(writer, length)) return false;
    Put(writer, name, length);
    return true;
}

bool AddListedName(IndexWriter& writer, const char* directory, size_t directoryLength, const char* name) {
    return IsDirectoryEntry(name) ? AddGroupEntry(writer, directory, directoryLength, name)
                                  : AddNameEntry(writer, name);
}

void EndIndex(IndexWriter& writer) {
    if (writer.block == nullptr) return;
    writer.block[writer.used] = '\0';
}

IndexCursor StartIndexWalk(const char* block) {
    IndexCursor cursor = {block, "", 0};
    return cursor;
}

bool NextIndexedFile(IndexCursor& cursor, const char** name) {
    while (cursor.next != nullptr && *cursor.next != '\0') {
        const char* entry = cursor.next;
        cursor.next = entry + strlen(entry) + 1;
        if (!IsDirectoryEntry(entry)) {
            *name = entry;
            return true;
        }
        const char* star = strchr(entry, '*');
        if (star == nullptr) continue;  // not written by AddGroupEntry
        cursor.directory = entry;
        cursor.directoryLength = static_cast<size_t>(star - entry);
        *name = star + 1;
        return true;
    }
    return false;
}

bool SelectIndexedFiles(const char* block, const unsigned* files, size_t count, IndexWriter& writer) {
    IndexCursor cursor = StartIndexWalk(block);
    const char* name;
    const char* group = nullptr;  // the directory entry the last file written joined
    size_t next = 0;
    for (unsigned file = 0; next < count && NextIndexedFile(cursor, &name); ++file) {
        if (file != files[next]) continue;
        ++next;
        const bool stored = cursor.directory == group
                                ? AddListedName(writer, cursor.directory, cursor.directoryLength, name)
                                : AddGroupEntry(writer, cursor.directory, cursor.directoryLength, name);
        if (!stored) return false;
        group = cursor.directory;
    }
    return true;
}

bool IsAbsoluteSearchPath(const char* path) {
    return IsSeparator(path[0]) || (path[0] != '\0' && path[1] == ':');
}

bool IsDirectoryEntry(const char* entry) { return IsAbsoluteSearchPath(entry); }

size_t SearchPathDirectoryLength(const char* path, LeadByteTable leadBytes) {
    size_t length = 0;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        if (leadBytes != nullptr && leadBytes[static_cast<unsigned char>(path[i])] && path[i + 1] != '\0')
            ++i;  // the trail byte may be 0x5C
        else if (IsSeparator(path[i]))
            length = i + 1;
    }
    if (length == 0 && path[0] != '\0' && path[1] == ':') length = 2;
    return length;
}

bool ResolveSearchPath(const char* path, const char* baseDirectory, char* out, size_t outSize) {
    if (IsAbsoluteSearchPath(path)) return ComposeFullPath("", 0, path, out, outSize);
    return ComposeFullPath(baseDirectory, strlen(baseDirectory), path, out, outSize);
}

bool ComposeFullPath(const char* directory, size_t directoryLength, const char* name, char* out, size_t outSize) {
    size_t nameLength = strlen(name);
    if (directoryLength >= outSize || nameLength >= outSize - directoryLength) return false;
    memcpy(out, directory, directoryLength);
    memcpy(out + directoryLength, name, nameLength + 1);
    return true;
}
