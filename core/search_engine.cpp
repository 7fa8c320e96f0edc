#include "core/search_engine.h"

#include <string.h>

#include "core/index_format.h"
#include "core/searched_file.h"
#include "core/text_matcher.h"

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

// Reads the open file in pieces, each starting with the last queryLength - 1
// bytes of the one before, so no occurrence falls between two. Stops at the
// first hit, at the size, or at a short read.
bool ScanOpenFile(unsigned long long size, const char* query, size_t queryLength, bool caseInsensitive,
                  const SearchEvents& events) {
    const size_t overlap = queryLength > 0 ? queryLength - 1 : 0;
    unsigned long long remaining = size;
    size_t kept = 0;
    while (remaining > 0) {
        size_t want = remaining == size ? kFirstReadPiece : kReadPiece;
        if (remaining < want) want = static_cast<size_t>(remaining);
        size_t got = 0;
        const bool ok = ReadSearchedFile(ReadBuffer + kept, want, &got);
        const size_t have = kept + got;
        if (MatchText(ReadBuffer, have, query, caseInsensitive)) return true;
        if (!ok) {
            events.tone(400);
            return false;
        }
        if (got < want) return false;  // the end of the file, wherever the size said it was
        remaining -= got;
        kept = have < overlap ? have : overlap;
        memmove(ReadBuffer, ReadBuffer + have - kept, kept);
    }
    return false;
}

bool SearchFile(const char* path, const char* query, size_t queryLength, bool caseInsensitive,
                const SearchEvents& events) {
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
    const bool found = ScanOpenFile(size, query, queryLength, caseInsensitive, events);
    CloseSearchedFile();
    return found;
}

}  // namespace

void SearchIndex(const char* index, const char* query, bool caseInsensitive, char* path, size_t pathSize,
                 const SearchEvents& events) {
    const size_t queryLength = strlen(query);
    if (queryLength > kMaxQueryLength) return;
    IndexCursor cursor = StartIndexWalk(index);
    const char* name;
    while (NextIndexedFile(cursor, &name)) {
        if (!ComposeFullPath(cursor.directory, cursor.directoryLength, name, path, pathSize)) {
            SoundUnreadable(events);
            continue;
        }
        if (SearchFile(path, query, queryLength, caseInsensitive, events)) events.found(path);
    }
}
