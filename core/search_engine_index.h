#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "core/content_index.h"
#include "core/file_stamp.h"
#include "core/literal_query.h"

// The content index's side of the engine: the index shared by the window
// and a worker, and the worker that keeps it, apart from the system: files
// are read through searched_file.h, folders watched through folder_watch.h
// and the index kept through content_index_store.h.
//
// The worker, one per listing of the file index, runs on a thread of its
// own and:
// - reads the index file back, the first time, when it was built for the
//   same search paths, and takes the listing (files whose stamp differs, or
//   that are new, are to be read);
// - watches the searched folders, and marks the files a change touches, so
//   that searches read them in full; a folder it cannot watch, or whose
//   watch overflows, has its files read in full by every search until the
//   next listing;
// - reads the files to be read, with several readers sharing the work as in
//   a search, each file whole, in the search's pieces; again whenever
//   changes leave files to be read;
// - writes the index file after its first pass, and after later ones at
//   most every kIndexSaveIntervalMs; a write that fails (another program
//   holding the old file open, say) is tried again after kIndexRetryMs,
//   then after twice as long each time, up to kIndexSaveIntervalMs.
//
// It follows the search's rules of ownership and stopping: it copies what
// it is given, its caller never waits for it (ReleaseIndexWorker returns at
// once, even while a reader sits in a stalled call) and it frees itself
// after `finished`. Escape does not stop it; a new listing or the end of
// the program does.

// A tree's folders are watched one by one, up to kMaxWatchedFolders in all;
// the files of any further folder are read in full by every search.
enum { kIndexSaveIntervalMs = 30000, kIndexRetryMs = 1000, kIndexWatchPollMs = 100, kMaxWatchedFolders = 16384 };

// The index kept in 32-bit processes is at most 512 MiB; files past it are
// read in full by every search.
const size_t kContentIndexCap = sizeof(void*) == 4 ? size_t{512} << 20 : size_t{4} << 30;

struct IndexKeeper;

// Lives until the end of the program: workers that were let go may still
// use it. Null when there is no memory for one.
IndexKeeper* NewIndexKeeper(size_t memoryCap);
// Only once no worker is left (tests).
void DeleteIndexKeeper(IndexKeeper* keeper);

// The files a search of the listing numbered `listing` must read, in index
// order. False when the index cannot say (not built for that listing yet,
// kept busy longer than a moment, no memory): then every file is read.
bool ChooseIndexedFiles(IndexKeeper* keeper, unsigned long long listing, const LiteralQuery& plain,
                        const LiteralQuery& utf16, std::vector<uint32_t>& files);

// What the index takes in memory, as allocated.
size_t IndexMemoryUsed(IndexKeeper* keeper);

// How far the index is: files read (or never to be) of all files.
struct IndexProgress {
    size_t done;
    size_t files;
};

struct IndexEvents {
    void* context;
    // From the worker: what it has done, at most every kIndexWatchPollMs
    // while it reads, and once when a pass ends (done == files unless
    // changes came meanwhile).
    void (*progress)(void* context, IndexProgress progress);
    // Last of all, once its readers and watches are gone.
    void (*finished)(void* context);
};

// A search path's folder: a directory ending with a separator and, with
// subtree, the folders below it that hold indexed files.
struct WatchedFolder {
    std::string directory;
    bool subtree;
};

struct IndexJob {
    unsigned long long listing;  // numbers the listing, so that searches of another are not answered
    std::string fileIndex;       // the block, its end marker included
    std::vector<FileStamp> stamps;
    std::vector<WatchedFolder> folders;
    std::string builtFor;   // the resolved search paths, each ended by a zero byte
    std::string indexFile;  // where the index is kept; empty to keep it in memory only
    int readers;
};

struct IndexWorker;

// Null when it cannot start (no memory, no thread), having done nothing.
IndexWorker* StartIndexWorker(IndexKeeper* keeper, const IndexJob& job, const IndexEvents& events);
// Stops the worker and lets go of it at once.
void ReleaseIndexWorker(IndexWorker* worker);
