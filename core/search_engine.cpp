#include "core/search_engine.h"

#include <string.h>

#include "core/index_format.h"
#include "core/searched_file.h"

namespace {

// Every file is read through this one buffer, so memory stays bounded
// whatever the file sizes, and no page is faulted in afresh per file.
enum { kReadBufferSize = kReadPiece + kMaxQueryLength };
char ReadBuffer[kReadBufferSize];

void SoundUnreadable(const SearchEvents& events) {
    events.tone(200);
    events.tone(300);
    events.tone(400);
}

// Reads the open file in pieces, each starting with the last bytes of the one
// before, as many as the longest spelling sought in it less one, so no
// occurrence falls between two. Stops at the first hit, at the size, or at a
// short read.
bool ScanOpenFile(unsigned long long size, const QuerySpellings& query, bool caseInsensitive,
                  const SearchEvents& events) {
    unsigned long long remaining = size;
    unsigned long long offset = 0;  // of ReadBuffer[0] in the file: UTF-16 hits count on whole characters
    size_t kept = 0;
    size_t overlap = 0;
    bool utf16 = false;
    while (remaining > 0) {
        const bool first = remaining == size;
        size_t want = first ? kFirstReadPiece : kReadPiece;
        if (remaining < want) want = static_cast<size_t>(remaining);
        size_t got = 0;
        const bool ok = ReadSearchedFile(ReadBuffer + kept, want, &got);
        const size_t have = kept + got;
        if (first) {
            utf16 = StartsWithUtf16Mark(ReadBuffer, have);
            overlap = SpellingOverlap(query, utf16);
        }
        if (PieceHoldsQuery(ReadBuffer, have, offset, query, utf16, caseInsensitive)) return true;
        if (!ok) {
            events.tone(400);
            return false;
        }
        if (got < want) return false;  // the end of the file, wherever the size said it was
        remaining -= got;
        kept = have < overlap ? have : overlap;
        offset += have - kept;
        memmove(ReadBuffer, ReadBuffer + have - kept, kept);
    }
    return false;
}

bool SearchFile(const char* path, const QuerySpellings& query, bool caseInsensitive, const SearchEvents& events) {
    const bool opened = OpenSearchedFile(path);
    events.visiting(path);
    if (!opened) {
        SoundUnreadable(events);
        return false;
    }
    unsigned long long size = 0;
    if (!SearchedFileSize(&size)) {
        events.tone(300);
        size = 0;
    }
    const bool found = ScanOpenFile(size, query, caseInsensitive, events);
    CloseSearchedFile();
    return found;
}

}  // namespace

void SearchIndex(const char* index, const QuerySpellings& query, bool caseInsensitive, char* path, size_t pathSize,
                 const SearchEvents& events) {
    IndexCursor cursor = StartIndexWalk(index);
    const char* name;
    while (NextIndexedFile(cursor, &name)) {
        if (!ComposeFullPath(cursor.directory, cursor.directoryLength, name, path, pathSize)) {
            SoundUnreadable(events);
            continue;
        }
        if (SearchFile(path, query, caseInsensitive, events)) events.found(path);
    }
}
