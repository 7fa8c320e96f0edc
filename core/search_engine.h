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
//
// Who owns what, and how a run stops (every worker of the engine follows it):
// - The run reads nothing its caller owns: it copies the index and the query
//   when it starts, so the caller may rebuild or free them at once.
// - The caller never waits for a thread. StopSearch asks the run to stop and
//   ReleaseSearch lets go of it; both return at once, even while a reader
//   sits for a minute in a call to a share that stopped answering.
// - The run is held by its caller and by its delivering thread, which starts
//   the readers and joins them. Whichever lets go last frees the run: after
//   a stop it ends on its own, once its readers are back from the system.
// - `finished` is the last event and comes after every reader has ended, so
//   nothing of a run arrives after it; the caller's context must live until
//   then, even after ReleaseSearch.
// - Running out of memory stops a run (`finished` with stopped set), or keeps
//   it from starting; it never ends the process. The callbacks must not throw.

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
    // batches, at most every kRowsIntervalMs, before any tone and at the end
    // or a stop. True when the receiver took the batch, or is gone and freed
    // it; false leaves it with the engine (a window's queue being full),
    // which hands it on later with the rows found meanwhile.
    bool (*rows)(void* context, RowBatch* batch);
    // Half a second each; three for an unopenable file. Played in index
    // order on the delivering thread, so the rows after it wait.
    void (*tone)(void* context, unsigned hertz);
    // Last of all, once every reader has ended; after a stop only the rows
    // already put in order come before it. False when the receiver could
    // not take it: it is called again every kDeliveryPollMs until it can.
    bool (*finished)(void* context, bool stopped);
    // When set, a batch waits until RowsTaken has been called for the one
    // before (but for the last, one before a tone and one at a stop): a
    // window that takes long over a batch gets fewer and larger ones, and its
    // queue never fills with rows while its user's keys wait behind them.
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
// looks for (see PrepareQueryMatcher); the run copies both. Null when it cannot start
// (no memory, no thread), having delivered nothing.
SearchRun* StartSearch(const char* index, const QueryMatcher& matcher, int readers,
                       const SearchEvents& events);
// Asks the run to stop and returns at once: readers end within a piece, or
// when the call they are blocked in returns.
void StopSearch(SearchRun* run);
// The receiver of paced rows is done with the last batch.
void RowsTaken(SearchRun* run);
// The caller is done with the run: stops it, if it still runs, and returns
// at once. The run's events may still come, up to `finished`.
void ReleaseSearch(SearchRun* run);

// The whole search on the calling thread's behalf: start, wait for
// `finished`, release. False when it could not start.
bool SearchIndex(const char* index, const QueryMatcher& matcher, int readers,
                 const SearchEvents& events);
