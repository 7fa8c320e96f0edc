#pragma once
#include <stddef.h>

#include "core/query_spellings.h"

// The walk over the file index, the reading and the matching, apart from the
// system they run on: the file calls come from searched_file.h and the
// program's reactions from these events.
struct SearchEvents {
    void (*visiting)(const char* path);  // the file about to be read
    void (*found)(const char* path);     // it holds the query
    void (*tone)(unsigned hertz);        // half a second each; three for an unopenable file
};

// Files are read in pieces: a small first one, since most hits come early,
// then larger ones that still stay in the processor's cache until scanned.
enum { kFirstReadPiece = 16 << 10, kReadPiece = 128 << 10 };

// Searches every file of the index block in order for the query's spellings
// (see PrepareQuerySpellings). Each full path is composed in
// path[0, pathSize); a file whose path does not fit counts as unopenable.
void SearchIndex(const char* index, const QuerySpellings& query, bool caseInsensitive, char* path, size_t pathSize,
                 const SearchEvents& events);
