#include "core/search_engine_index.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <set>
#include <thread>

#include "core/changed_files.h"
#include "core/content_index_store.h"
#include "core/folder_watch.h"
#include "core/index_format.h"
#include "core/query_spellings.h"
#include "core/search_engine.h"
#include "core/searched_file.h"
#include "core/trigram_set.h"

namespace {

using Clock = std::chrono::steady_clock;

// A search waits about this long for the index, in steps of a millisecond;
// a worker that holds it longer (writing it to its file, compacting it)
// leaves the search to read every file.
enum { kChooseWaitMs = 20 };

const unsigned long long kNoListing = ~0ull;

enum { kPathSize = 32768, kPageSize = 4096 };

}  // namespace

struct IndexKeeper {
    std::mutex lock;
    size_t memoryCap;
    ContentIndex* index = nullptr;         // none until the first worker has one
    unsigned long long listing = kNoListing;  // the listing the index's files are
    std::vector<uint32_t> changes;         // per file: how often a change touched it
    bool dirty = false;                    // changed since it was last written
};

struct IndexWorker {
    IndexKeeper* keeper;
    IndexJob job;
    IndexEvents events;
    std::atomic<bool> stop{false};
    std::atomic<int> holders{2};  // the caller and the worker's thread: the last to let go frees it

    // The worker's thread alone uses these.
    ChangedFiles map;
    std::vector<std::string> watchedFolders;  // each folder watched, by its number
    FolderWatches* watches = nullptr;
    std::vector<bool> unwatched;  // read in full until the next listing
    bool marked = true;           // files were marked to be read since the last pass was planned

    // A pass: the files to read, handed out in order.
    struct Work {
        uint32_t file;
        const char* directory;
        size_t directoryLength;
        const char* name;
    };
    std::vector<Work> work;
    std::atomic<size_t> nextWork{0};
    std::atomic<int> readersRunning{0};
};

namespace {

void LetGo(IndexWorker* worker) {
    if (--worker->holders == 0) delete worker;
}

// --- Readers ---------------------------------------------------------------

// A reader's own: no reader shares a handle or a buffer with another.
struct IndexReader {
    SearchedFile* file = nullptr;
    char* buffer = nullptr;  // as allocated
    char* piece = nullptr;   // within it, on a page boundary: the system copies into that at twice the speed
    char* path = nullptr;
    TrigramCollector* collector = nullptr;
};

void FreeReader(IndexReader& reader) {
    DeleteSearchedFile(reader.file);
    free(reader.buffer);
    free(reader.path);
    DeleteTrigramCollector(reader.collector);
}

// Reads the open file as a search would, whole: pieces up to the size it
// has, stopping at a short read. False on a failure a search would sound.
bool CollectFile(IndexWorker* worker, IndexReader& reader, bool* utf16) {
    unsigned long long size = 0;
    if (!SearchedFileSize(reader.file, &size)) return false;
    StartTrigrams(reader.collector);
    *utf16 = false;
    for (unsigned long long done = 0; done < size;) {
        if (worker->stop.load(std::memory_order_relaxed)) return false;
        size_t want = done == 0 ? kFirstReadPiece : kReadPiece;
        if (size - done < want) want = static_cast<size_t>(size - done);
        size_t got = 0;
        const bool ok = ReadSearchedFile(reader.file, reader.piece, want, &got);
        if (done == 0) *utf16 = StartsWithUtf16Mark(reader.piece, got);
        AddTrigramPiece(reader.collector, reader.piece, got);
        if (!ok) return false;
        if (got < want) break;
        done += got;
    }
    return true;
}

void IndexFiles(IndexWorker* worker, IndexReader* reader);

void ReadFiles(IndexWorker* worker, IndexReader* reader) {
    IndexFiles(worker, reader);
    --worker->readersRunning;
}

void IndexFiles(IndexWorker* worker, IndexReader* reader) {
    IndexKeeper* keeper = worker->keeper;
    for (;;) {
        const size_t at = worker->nextWork++;
        if (at >= worker->work.size() || worker->stop) return;
        const IndexWorker::Work& work = worker->work[at];
        uint32_t seen;
        {
            std::lock_guard<std::mutex> held(keeper->lock);
            if (keeper->listing != worker->job.listing) return;
            if (keeper->index->files[work.file].state != kFileUnread) continue;
            seen = keeper->changes[work.file];
        }
        bool read = false, utf16 = false;
        if (ComposeFullPath(work.directory, work.directoryLength, work.name, reader->path, kPathSize) &&
            OpenSearchedFile(reader->file, reader->path)) {
            read = CollectFile(worker, *reader, &utf16);
            CloseSearchedFile(reader->file);
        }
        if (worker->stop) return;
        size_t count = 0;
        const Trigram* trigrams = read ? FinishTrigrams(reader->collector, &count) : nullptr;
        std::lock_guard<std::mutex> held(keeper->lock);
        ContentIndex* index = keeper->index;
        // A change since it was taken: what was read may be old already.
        if (keeper->listing != worker->job.listing || keeper->changes[work.file] != seen ||
            index->files[work.file].state != kFileUnread)
            continue;
        if (read)
            HoldFile(index, work.file, index->files[work.file].stamp, utf16, trigrams, count);
        else
            MarkFileUnreadable(index, work.file);
        keeper->dirty = true;
    }
}

// --- The worker's thread ---------------------------------------------------

IndexProgress Progress(IndexKeeper* keeper) {
    IndexProgress progress = {0, 0};
    std::lock_guard<std::mutex> held(keeper->lock);
    if (keeper->index == nullptr) return progress;
    progress.files = keeper->index->fileCount;
    for (size_t file = 0; file < progress.files; ++file) progress.done += keeper->index->files[file].state != kFileUnread;
    return progress;
}

// Marks the files a change touches: to be read again, or, when the watch
// is lost, read in full until the next listing.
void MarkTouched(IndexWorker* worker, const std::string& path, bool lost) {
    std::vector<uint32_t> files;
    try {
        FilesTouched(worker->map, path.data(), path.size(), files);
    } catch (const std::bad_alloc&) {
        // Without the names touched, the whole folder is.
        lost = true;
    }
    IndexKeeper* keeper = worker->keeper;
    std::lock_guard<std::mutex> held(keeper->lock);
    if (keeper->listing != worker->job.listing) return;
    for (uint32_t file : files) {
        if (lost) worker->unwatched[file] = true;
        if (worker->unwatched[file])
            MarkFileReadAlways(keeper->index, file);
        else
            MarkFileChanged(keeper->index, file);
        ++keeper->changes[file];
    }
    keeper->dirty = keeper->dirty || !files.empty();
    worker->marked = worker->marked || !files.empty();
}

void OnChanged(void* context, size_t folder, const char* name) {
    IndexWorker* worker = static_cast<IndexWorker*>(context);
    // A name the code page cannot carry stands for the whole folder.
    MarkTouched(worker, worker->watchedFolders[folder] + name, false);
}

void OnLost(void* context, size_t folder) {
    IndexWorker* worker = static_cast<IndexWorker*>(context);
    MarkTouched(worker, worker->watchedFolders[folder], true);
}

void WatchFor(IndexWorker* worker, unsigned milliseconds) {
    const FolderChangeEvents events = {worker, OnChanged, OnLost};
    if (worker->watches != nullptr)
        WaitForFolderChanges(worker->watches, milliseconds, events);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Reads the index file the first time, then takes the listing.
bool TakeListing(IndexWorker* worker) {
    IndexKeeper* keeper = worker->keeper;
    const IndexJob& job = worker->job;
    bool first;
    {
        std::lock_guard<std::mutex> held(keeper->lock);
        first = keeper->index == nullptr;
    }
    ContentIndex* restored = nullptr;
    if (first && !job.indexFile.empty()) {
        IndexFileVerdict verdict;
        restored = RestoreContentIndex(job.indexFile.c_str(), job.builtFor.data(), job.builtFor.size(),
                                       keeper->memoryCap, &verdict);
    }
    std::lock_guard<std::mutex> held(keeper->lock);
    if (keeper->index == nullptr) keeper->index = restored != nullptr ? restored : NewContentIndex(keeper->memoryCap);
    else DeleteContentIndex(restored);
    if (keeper->index == nullptr) return false;
    keeper->listing = kNoListing;
    if (!RelistFiles(keeper->index, job.fileIndex.data(), job.stamps.data(), job.stamps.size())) return false;
    keeper->changes.assign(job.stamps.size(), 0);
    keeper->listing = job.listing;
    // A file read back with its stamp unchanged needs no writing again.
    keeper->dirty = restored == nullptr;
    if (WorthCompacting(keeper->index)) CompactContentIndex(keeper->index);
    return true;
}

// The folders to watch: each search path's folder, and for a tree every
// folder that holds a file of the index, and those between it and the
// tree's base, whose renaming moves the files below.
std::vector<std::string> FoldersToWatch(const IndexJob& job) {
    std::set<std::string> folders;
    std::vector<std::string> bases;
    for (const WatchedFolder& folder : job.folders) {
        folders.insert(folder.directory);
        if (folder.subtree) bases.push_back(folder.directory);
    }
    IndexCursor cursor = StartIndexWalk(job.fileIndex.data());
    const char* name;
    const char* last = nullptr;
    while (NextIndexedFile(cursor, &name)) {
        if (cursor.directory == last) continue;
        last = cursor.directory;
        const std::string directory(cursor.directory, cursor.directoryLength);
        for (const std::string& base : bases) {
            if (directory.compare(0, base.size(), base) != 0) continue;
            for (size_t end = base.size(); end < directory.size(); ++end)
                if (directory[end] == '\\' || directory[end] == '/') folders.insert(directory.substr(0, end + 1));
        }
    }
    return std::vector<std::string>(folders.begin(), folders.end());
}

// Every folder watched before any file is read, so that no change after a
// file was read goes unseen; what cannot be watched is read in full.
void StartWatches(IndexWorker* worker) {
    MapChangedFiles(worker->map, worker->job.fileIndex.data());
    worker->unwatched.assign(worker->job.stamps.size(), false);
    worker->watchedFolders = FoldersToWatch(worker->job);
    const size_t count = worker->watchedFolders.size();
    std::vector<const char*> paths;
    for (const std::string& folder : worker->watchedFolders) paths.push_back(folder.c_str());
    std::unique_ptr<bool[]> watched(new bool[count + 1]);
    const size_t watching = count < size_t{kMaxWatchedFolders} ? count : size_t{kMaxWatchedFolders};
    worker->watches = StartFolderWatches(paths.data(), watching, watched.get());
    for (size_t i = 0; i < count; ++i)
        if (worker->watches == nullptr || i >= watching || !watched[i])
            MarkTouched(worker, worker->watchedFolders[i], true);
}

void StopWatches(IndexWorker* worker) {
    StopFolderWatches(worker->watches);
    worker->watches = nullptr;
}

// The files still to be read, in index order; false when there are none.
bool PlanPass(IndexWorker* worker) {
    if (!worker->marked) return false;
    worker->marked = false;
    worker->work.clear();
    worker->nextWork = 0;
    IndexKeeper* keeper = worker->keeper;
    std::lock_guard<std::mutex> held(keeper->lock);
    if (keeper->listing != worker->job.listing) return false;
    IndexCursor cursor = StartIndexWalk(worker->job.fileIndex.data());
    const char* name;
    for (uint32_t file = 0; NextIndexedFile(cursor, &name); ++file)
        if (file < keeper->index->fileCount && keeper->index->files[file].state == kFileUnread)
            worker->work.push_back({file, cursor.directory, cursor.directoryLength, name});
    return !worker->work.empty();
}

// Reads the pass's files on readers of its own, watching meanwhile.
void RunPass(IndexWorker* worker) {
    std::vector<IndexReader> readers(static_cast<size_t>(worker->job.readers));
    std::vector<std::thread> threads;
    threads.reserve(readers.size());  // no thread may be lost to a growth that fails
    for (IndexReader& reader : readers) {
        reader.file = NewSearchedFile();
        reader.buffer = static_cast<char*>(malloc(kReadPiece + kPageSize));
        const uintptr_t start = reinterpret_cast<uintptr_t>(reader.buffer);
        reader.piece = reinterpret_cast<char*>((start + kPageSize - 1) & ~uintptr_t{kPageSize - 1});
        reader.path = static_cast<char*>(malloc(kPathSize));
        reader.collector = NewTrigramCollector();
        if (reader.file == nullptr || reader.buffer == nullptr || reader.path == nullptr || reader.collector == nullptr)
            break;
        ++worker->readersRunning;
        try {
            threads.emplace_back(ReadFiles, worker, &reader);
        } catch (const std::system_error&) {
            --worker->readersRunning;
            break;
        } catch (const std::bad_alloc&) {
            --worker->readersRunning;
            break;
        }
    }
    Clock::time_point shown = Clock::now();
    // The end of the pass is seen within a delivery poll, as a search's end is.
    while (worker->readersRunning > 0) {
        WatchFor(worker, kDeliveryPollMs);
        if (Clock::now() - shown >= std::chrono::milliseconds(kIndexWatchPollMs)) {
            worker->events.progress(worker->events.context, Progress(worker->keeper));
            shown = Clock::now();
        }
    }
    for (std::thread& thread : threads) thread.join();
    for (IndexReader& reader : readers) FreeReader(reader);
}

// Writes the index. Only drafting it holds the index; searches go on using
// it while the file reaches the disk, and a change from the draft on leaves
// it to be written again. False when the file could not be written: the
// index stays to be written.
bool Save(IndexWorker* worker) {
    IndexKeeper* keeper = worker->keeper;
    const std::string& path = worker->job.indexFile;
    IndexFileDraft* draft = nullptr;
    {
        std::lock_guard<std::mutex> held(keeper->lock);
        if (keeper->listing != worker->job.listing) return true;
        if (WorthCompacting(keeper->index)) CompactContentIndex(keeper->index);
        if (!path.empty())
            draft = DraftContentIndex(keeper->index, path.c_str(), worker->job.builtFor.data(),
                                      worker->job.builtFor.size());
        keeper->dirty = !path.empty() && draft == nullptr;
    }
    if (path.empty() || (draft != nullptr && CommitContentIndex(draft))) return true;
    std::lock_guard<std::mutex> held(keeper->lock);
    keeper->dirty = true;
    return false;
}

void Work(IndexWorker* worker) {
    try {
        if (TakeListing(worker)) {
            StartWatches(worker);
            bool saved = false, shown = false;
            Clock::time_point lastSave = Clock::now();
            int saveWaitMs = kIndexSaveIntervalMs;
            bool failing = false;
            while (!worker->stop) {
                const bool pass = PlanPass(worker);
                if (pass) RunPass(worker);
                if (worker->stop) break;
                // Once at the start, nothing to read or not, then after each pass.
                if (pass || !shown) worker->events.progress(worker->events.context, Progress(worker->keeper));
                shown = true;
                bool dirty;
                {
                    std::lock_guard<std::mutex> held(worker->keeper->lock);
                    dirty = worker->keeper->dirty;
                }
                if (dirty && (!saved || Clock::now() - lastSave >= std::chrono::milliseconds(saveWaitMs))) {
                    const bool stored = Save(worker);
                    if (stored) saveWaitMs = kIndexSaveIntervalMs;
                    else saveWaitMs = failing ? std::min(2 * saveWaitMs, int{kIndexSaveIntervalMs}) : kIndexRetryMs;
                    failing = !stored;
                    saved = true;
                    lastSave = Clock::now();
                }
                WatchFor(worker, kIndexWatchPollMs);
            }
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the index stops growing; searches read what it cannot vouch for.
    }
    StopWatches(worker);
    worker->events.finished(worker->events.context);
    LetGo(worker);
}

}  // namespace

IndexKeeper* NewIndexKeeper(size_t memoryCap) {
    IndexKeeper* keeper = new (std::nothrow) IndexKeeper;
    if (keeper != nullptr) keeper->memoryCap = memoryCap;
    return keeper;
}

void DeleteIndexKeeper(IndexKeeper* keeper) {
    if (keeper == nullptr) return;
    DeleteContentIndex(keeper->index);
    delete keeper;
}

size_t IndexMemoryUsed(IndexKeeper* keeper) {
    std::lock_guard<std::mutex> held(keeper->lock);
    return keeper->index != nullptr ? keeper->index->memoryUsed : 0;
}

bool ChooseIndexedFiles(IndexKeeper* keeper, unsigned long long listing, const LiteralQuery& plain,
                        const LiteralQuery& utf16, std::vector<uint32_t>& files) {
    std::unique_lock<std::mutex> held(keeper->lock, std::try_to_lock);
    for (int waited = 0; !held.owns_lock() && waited < kChooseWaitMs; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        held.try_lock();
    }
    if (!held.owns_lock() || keeper->index == nullptr || keeper->listing != listing) return false;
    return ChooseFiles(keeper->index, plain, utf16, files);
}

IndexWorker* StartIndexWorker(IndexKeeper* keeper, const IndexJob& job, const IndexEvents& events) {
    IndexWorker* worker = nullptr;
    try {
        worker = new IndexWorker;
        worker->keeper = keeper;
        worker->job = job;
        worker->events = events;
        if (worker->job.readers < 1) worker->job.readers = 1;
        if (worker->job.readers > kMaxReaders) worker->job.readers = kMaxReaders;
        std::thread(Work, worker).detach();
        return worker;
    } catch (const std::bad_alloc&) {
    } catch (const std::system_error&) {
    }
    delete worker;
    return nullptr;
}

void ReleaseIndexWorker(IndexWorker* worker) {
    worker->stop = true;
    LetGo(worker);
}
