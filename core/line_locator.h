#pragma once
#include <stddef.h>

#include "core/query_matcher.h"
#include "core/search_engine.h"

// Finds the first line of a file that holds a match of what a search looks
// for (see query_matcher.h), reading the file in the search's own pieces,
// and gives its number and its text for display.

// The text of a line as the result list shows it: at most this many characters.
enum { kLineTextLimit = 200 };

// Room for that many characters in UTF-8, four bytes each at the most.
enum { kLineTextRoom = 4 * kLineTextLimit + 1 };

// A buffer for LocateLine: a piece and the overlap before it.
enum { kLocatorBufferSize = kReadPiece + kMaxKept };

// How the line's text is written: as the file's bytes, as UTF-8 (the line
// was found by the query's UTF-8 form), or in UTF-16 LE code units (the
// file begins with their byte-order mark).
enum LineEncoding { kAnsiLine, kUtf8Line, kUtf16Line };

struct LineLocation {
    unsigned long long line;  // counted from 1; 0 when the file holds no match
    LineEncoding encoding;
    // The line from its first visible character: tabs and other control
    // characters as spaces, blanks at its end dropped, cut to kLineTextLimit
    // characters; text[0, length), zero-terminated. Empty when line is 0.
    size_t length;
    char text[kLineTextRoom + 1];
};

// One read of at most want bytes into into; fewer than wanted means the end
// of the file. False on a read error, with got holding what arrived before it.
typedef bool (*ReadPieceFunction)(void* context, char* into, size_t want, size_t* got);

// Lines end at LF, so CR LF counts as one line end; in a UTF-16 file at the
// LF character. A read error ends the file where it happened.
void LocateLine(ReadPieceFunction read, void* context, char* buffer, const QueryMatcher& matcher,
                LineLocation* out);
