#pragma once
#include <stddef.h>

#include "core/search_engine.h"

// Finds the first line of a file that holds the query, reading the file in
// the search's own pieces, and gives its number and its text for display.

// The text of a line as the result list shows it: at most this many characters.
enum { kLineTextLimit = 200 };

// A buffer for LocateLine: a piece and the query's overlap before it.
enum { kLocatorBufferSize = kReadPiece + kMaxQueryLength };

struct LineLocation {
    unsigned long long line;  // counted from 1; 0 when the file does not hold the query
    // Tabs and other control bytes as spaces, leading and trailing blanks
    // dropped, cut to kLineTextLimit characters; empty when line is 0.
    char text[kLineTextLimit + 1];
};

// One read of at most want bytes into into; fewer than wanted means the end
// of the file. False on a read error, with got holding what arrived before it.
typedef bool (*ReadPieceFunction)(void* context, char* into, size_t want, size_t* got);

// Lines end at LF, so CR LF counts as one line end. A read error ends the
// file where it happened.
void LocateLine(ReadPieceFunction read, void* context, char* buffer, const char* query, bool caseInsensitive,
                LineLocation* out);
