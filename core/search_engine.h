#pragma once
#include <stddef.h>

#include <vector>

#include "core/query_matcher.h"

// The walk over the file index, the reading and the matching, apart from the
// system they run on: the file calls come from searched_file.h and the
// program's reactions from these events.
//
// A search runs on threads of its own. Several readers each take the next
// file of the index, open, read and scan it; one delivering thread hands on
// what they found strictly in index order, whatever order they finish in.
// So rows and tones come out exactly as from one reader, and a slow file
// holds back only what comes after it, never the reading of other files.

// Rows found, in index order: count zero-terminated full paths, one after
// the other. Whoever receives a batch owns it and frees it with FreeRowBatch.
struct RowBatch {
    size_t count = 0;
    std::vector<char> paths;
};
void FreeRowBatch(RowBatch* batch);

struct SearchEvents {
    void* context;
    // From a reader: the file it is about to read; the first file, then at
    // most one every kProgressIntervalMs.
    void (*visiting)(void* context, const char* path);
    // From the delivering thread, in index order. Rows are handed on in
    // batches, at most every kRowsIntervalMs, before any tone and at the end.
    void (*rows)(void* context, RowBatch* batch);
    // Half a second each; three for an unopenable file. Played in index
    // order on the delivering thread, so the rows after it wait.
    void (*tone)(void* context, unsigned hertz);
    // Last of all, once every reader has ended; nothing is delivered after a stop.
    void (*finished)(void* context, bool stopped);
    // When set, a batch waits until RowsTaken has been called for the one
    // before (but for the last, and one before a tone): a window that takes
    // long over a batch gets fewer and larger ones, and its queue never
    // fills with rows while its user's keys wait behind them.
    bool paced;
};

// Files are read in pieces: a small first one, since most hits come early,
// then larger ones that still stay in the processor's cache until scanned.
// A stop is seen between two pieces, so even a huge file ends at once.
enum { kFirstReadPiece = 16 << 10, kReadPiece = 128 << 10 };

// The delivery looks for results every kDeliveryPollMs.
enum { kMaxReaders = 8, kProgressIntervalMs = 100, kRowsIntervalMs = 100, kDeliveryPollMs = 20 };

// One reader per processor, at most kMaxReaders.
int DefaultReaderCount();

struct SearchRun;

// Starts searching every file of the index block for what the matcher
// looks for (see PrepareQueryMatcher). The block and the matcher must stay
// unchanged until FinishSearch. Null when no thread could start.
SearchRun* StartSearch(const char* index, const QueryMatcher& matcher, int readers, const SearchEvents& events);
// Asks the run to stop and returns at once: readers end within a piece.
void StopSearch(SearchRun* run);
// The receiver of paced rows is done with the last batch.
void RowsTaken(SearchRun* run);
// Waits for the run to end (after `finished`) and frees it.
void FinishSearch(SearchRun* run);

// The whole search on the calling thread's behalf: start, wait, finish.
// False when it could not start.
bool SearchIndex(const char* index, const QueryMatcher& matcher, int readers, const SearchEvents& events);
