#include "core/search_engine.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/index_format.h"
#include "core/searched_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// What a reader learned of one file, kept until it is delivered. The tones
// of one file always come in this order: 200 Hz when it cannot be opened,
// 300 Hz when its size cannot be learned, 400 Hz when a read fails.
enum : unsigned char {
    kRead = 1,
    kFound = 2,
    kTone200 = 4,
    kTone300 = 8,
    kTone400 = 16,
    kUnopenable = kTone200 | kTone300 | kTone400,
};

// How far the readers may run ahead of the delivery: one byte of result per
// file, so a file that takes long holds back only the rows after it, while
// the others are read on up to this many files past it.
enum { kAhead = 1 << 16 };

// Full paths are composed whole, as long as the wide file calls allow.
enum { kPathSize = 32768 };

// Each piece is read to a page boundary: the system copies into an aligned
// buffer at twice the speed. What the matcher keeps of the piece before it
// (the end, which a hit may straddle, or an unfinished line) is just in front.
enum { kPageSize = 4096, kBufferSize = kMaxKept + kReadPiece + kPageSize };

// A reader's own: no reader shares a handle or a buffer with another.
struct Reader {
    SearchedFile* file;
    char* buffer;  // as allocated
    char* piece;   // where each piece is read: aligned, with kMaxKept bytes before it
    char* path;
};

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

}  // namespace

struct SearchRun {
    const char* index;
    const QueryMatcher* matcher;
    SearchEvents events;

    std::atomic<bool> stop{false};
    std::atomic<long long> nextProgressMs{0};  // the first file is always shown
    std::atomic<bool> rowsOut{false};          // paced rows handed on and not yet taken

    // The hand-out cursor and the results waiting for delivery.
    std::mutex lock;
    std::condition_variable readerWake;     // room ahead, or a stop
    // The readers gone, no room ahead, or a stop. A result alone wakes
    // nobody: waking a thread per file would cost more than reading it, so
    // the delivery looks every kDeliveryPollMs.
    std::condition_variable delivererWake;
    IndexCursor cursor = {};
    unsigned long long handedOut = 0;
    unsigned long long delivered = 0;
    int readersRunning = 0;
    bool indexEnded = false;
    std::vector<unsigned char> results;  // by sequence number, modulo kAhead

    std::vector<Reader> readers;
    std::vector<std::thread> readerThreads;
    std::thread deliverer;
};

namespace {

// --- Readers ---------------------------------------------------------------

bool TakeNextFile(SearchRun& run, unsigned long long* sequence, const char** directory, size_t* directoryLength,
                  const char** name) {
    std::unique_lock<std::mutex> held(run.lock);
    if (run.handedOut - run.delivered >= kAhead) run.delivererWake.notify_one();
    run.readerWake.wait(held, [&] { return run.stop || run.indexEnded || run.handedOut - run.delivered < kAhead; });
    if (run.stop || run.indexEnded) return false;
    if (!NextIndexedFile(run.cursor, name)) {
        run.indexEnded = true;
        run.readerWake.notify_all();
        return false;
    }
    *sequence = run.handedOut++;
    *directory = run.cursor.directory;
    *directoryLength = run.cursor.directoryLength;
    return true;
}

void Report(SearchRun& run, unsigned long long sequence, unsigned char result) {
    std::lock_guard<std::mutex> held(run.lock);
    run.results[sequence % kAhead] = static_cast<unsigned char>(result | kRead);
}

void ShowProgress(SearchRun& run, const char* path) {
    const long long now = NowMs();
    long long due = run.nextProgressMs.load(std::memory_order_relaxed);
    if (now < due || !run.nextProgressMs.compare_exchange_strong(due, now + kProgressIntervalMs)) return;
    run.events.visiting(run.events.context, path);
}

// Reads the open file in pieces, each starting with what the matcher kept
// of the one before (the last bytes, which a hit may straddle, or an
// unfinished line), so no match falls between two. Stops at the first
// match, at the size, at a short read, or at a stop.
unsigned char ScanOpenFile(SearchRun& run, Reader& reader, unsigned long long size) {
    unsigned long long remaining = size;
    size_t kept = 0;
    PieceScan scan;
    while (remaining > 0 && !run.stop.load(std::memory_order_relaxed)) {
        const bool first = remaining == size;
        size_t want = first ? kFirstReadPiece : kReadPiece;
        if (remaining < want) want = static_cast<size_t>(remaining);
        size_t got = 0;
        const bool ok = ReadSearchedFile(reader.file, reader.piece, want, &got);
        const char* text = reader.piece - kept;
        const size_t have = kept + got;
        if (first) BeginFileScan(*run.matcher, text, have, scan);
        // The end of the file, wherever the size said it was.
        const bool last = !ok || got < want || got == remaining;
        if (PieceHoldsMatch(*run.matcher, scan, text, have, last, &kept)) return kFound;
        if (!ok) return kTone400;
        if (got < want) return 0;
        remaining -= got;
        memmove(reader.piece - kept, text + have - kept, kept);
    }
    return 0;
}

unsigned char SearchFile(SearchRun& run, Reader& reader) {
    const bool opened = OpenSearchedFile(reader.file, reader.path);
    ShowProgress(run, reader.path);
    if (!opened) return kUnopenable;
    unsigned char result = 0;
    unsigned long long size = 0;
    if (!SearchedFileSize(reader.file, &size)) {
        result |= kTone300;
        size = 0;
    }
    result |= ScanOpenFile(run, reader, size);
    CloseSearchedFile(reader.file);
    return result;
}

void ReadFiles(SearchRun* run, Reader* reader) {
    unsigned long long sequence;
    const char* directory;
    size_t directoryLength;
    const char* name;
    while (TakeNextFile(*run, &sequence, &directory, &directoryLength, &name)) {
        unsigned char result = kUnopenable;  // a path that does not fit opens nothing
        if (ComposeFullPath(directory, directoryLength, name, reader->path, kPathSize))
            result = SearchFile(*run, *reader);
        Report(*run, sequence, result);
    }
    std::lock_guard<std::mutex> held(run->lock);
    if (--run->readersRunning == 0) run->delivererWake.notify_one();
}

// --- Delivery --------------------------------------------------------------

struct Delivery {
    IndexCursor cursor;
    std::vector<char> path;
    RowBatch* pending;
    Clock::time_point lastHanded;
};

// Hands on the rows found so far unless paced rows are still out, or
// whatever is out when `now` is set.
void HandOnRows(SearchRun& run, Delivery& delivery, bool now) {
    if (delivery.pending == nullptr || (!now && run.events.paced && run.rowsOut)) return;
    delivery.lastHanded = Clock::now();
    RowBatch* batch = delivery.pending;
    delivery.pending = nullptr;
    run.rowsOut = true;
    run.events.rows(run.events.context, batch);
}

bool RowsDue(const Delivery& delivery) {
    return delivery.pending != nullptr &&
           Clock::now() - delivery.lastHanded >= std::chrono::milliseconds(kRowsIntervalMs);
}

void AddRow(Delivery& delivery, const char* path) {
    if (delivery.pending == nullptr) delivery.pending = new RowBatch();
    RowBatch& batch = *delivery.pending;
    batch.paths.insert(batch.paths.end(), path, path + strlen(path) + 1);
    ++batch.count;
}

// The next file in index order, as its reader left it.
void Deliver(SearchRun& run, Delivery& delivery, unsigned char result) {
    const char* name = nullptr;
    NextIndexedFile(delivery.cursor, &name);
    if ((result & kFound) &&
        ComposeFullPath(delivery.cursor.directory, delivery.cursor.directoryLength, name, delivery.path.data(),
                        delivery.path.size()))
        AddRow(delivery, delivery.path.data());
    if (result & kUnopenable) {
        // What was found before it is shown before it sounds.
        HandOnRows(run, delivery, true);
        const unsigned hertz[] = {200, 300, 400};
        const unsigned char bits[] = {kTone200, kTone300, kTone400};
        for (int t = 0; t < 3; ++t)
            if ((result & bits[t]) && !run.stop) run.events.tone(run.events.context, hertz[t]);
    }
    if (RowsDue(delivery)) HandOnRows(run, delivery, false);
}

// Takes the results that are ready at the head, in order; false when there are none.
bool TakeReady(SearchRun& run, std::vector<unsigned char>& ready) {
    ready.clear();
    for (;;) {
        unsigned char& slot = run.results[run.delivered % kAhead];
        if (!(slot & kRead)) break;
        ready.push_back(slot);
        slot = 0;
        if (run.handedOut - run.delivered == kAhead) run.readerWake.notify_all();
        ++run.delivered;
    }
    return !ready.empty();
}

void DeliverInOrder(SearchRun* run) {
    Delivery delivery = {StartIndexWalk(run->index), std::vector<char>(kPathSize), nullptr, Clock::now()};
    std::vector<unsigned char> ready;
    bool completed = false;
    std::unique_lock<std::mutex> held(run->lock);
    while (!run->stop) {
        if (TakeReady(*run, ready)) {
            held.unlock();
            for (unsigned char result : ready)
                if (!run->stop) Deliver(*run, delivery, result);
            held.lock();
            continue;
        }
        if (run->readersRunning == 0 && run->delivered == run->handedOut) {
            completed = true;
            break;
        }
        run->delivererWake.wait_for(held, std::chrono::milliseconds(kDeliveryPollMs));
        // While a slow file holds back the rest, what came before it is shown.
        if (RowsDue(delivery)) {
            held.unlock();
            HandOnRows(*run, delivery, false);
            held.lock();
        }
    }
    held.unlock();
    for (std::thread& reader : run->readerThreads) reader.join();
    if (completed) {
        HandOnRows(*run, delivery, true);
    } else {
        delete delivery.pending;
    }
    run->events.finished(run->events.context, !completed);
}

void ReleaseReaders(SearchRun* run) {
    for (Reader& reader : run->readers) {
        DeleteSearchedFile(reader.file);
        free(reader.buffer);
        free(reader.path);
    }
    run->readers.clear();
}

// Each reader's memory is taken before any thread starts; fewer readers
// when there is not enough of it.
void PrepareReaders(SearchRun* run, int count) {
    run->readers.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Reader reader = {NewSearchedFile(), static_cast<char*>(malloc(kBufferSize)), nullptr,
                         static_cast<char*>(malloc(kPathSize))};
        const uintptr_t afterOverlap = reinterpret_cast<uintptr_t>(reader.buffer) + kMaxKept;
        reader.piece = reinterpret_cast<char*>((afterOverlap + kPageSize - 1) & ~uintptr_t{kPageSize - 1});
        if (reader.file == nullptr || reader.buffer == nullptr || reader.path == nullptr) {
            DeleteSearchedFile(reader.file);
            free(reader.buffer);
            free(reader.path);
            return;
        }
        run->readers.push_back(reader);
    }
}

// How many started.
int StartReaders(SearchRun* run) {
    int started = 0;
    for (Reader& reader : run->readers) {
        std::lock_guard<std::mutex> held(run->lock);
        try {
            run->readerThreads.emplace_back(ReadFiles, run, &reader);
        } catch (const std::system_error&) {
            break;
        }
        ++run->readersRunning;
        ++started;
    }
    return started;
}

}  // namespace

void FreeRowBatch(RowBatch* batch) { delete batch; }

int DefaultReaderCount() {
    const unsigned processors = std::thread::hardware_concurrency();
    if (processors == 0) return 1;
    return processors < kMaxReaders ? static_cast<int>(processors) : kMaxReaders;
}

SearchRun* StartSearch(const char* index, const QueryMatcher& matcher, int readers, const SearchEvents& events) {
    SearchRun* run = new (std::nothrow) SearchRun;
    if (run == nullptr) return nullptr;
    run->index = index;
    run->matcher = &matcher;
    run->events = events;
    run->cursor = StartIndexWalk(run->index);
    run->results.assign(kAhead, 0);
    PrepareReaders(run, readers < 1 ? 1 : readers > kMaxReaders ? kMaxReaders : readers);
    if (StartReaders(run) > 0) {
        try {
            run->deliverer = std::thread(DeliverInOrder, run);
            return run;
        } catch (const std::system_error&) {
        }
    }
    StopSearch(run);
    for (std::thread& reader : run->readerThreads) reader.join();
    ReleaseReaders(run);
    delete run;
    return nullptr;
}

void StopSearch(SearchRun* run) {
    run->stop = true;
    std::lock_guard<std::mutex> held(run->lock);
    run->readerWake.notify_all();
    run->delivererWake.notify_all();
}

void RowsTaken(SearchRun* run) {
    run->rowsOut = false;
    std::lock_guard<std::mutex> held(run->lock);
    run->delivererWake.notify_one();
}

void FinishSearch(SearchRun* run) {
    run->deliverer.join();
    ReleaseReaders(run);
    delete run;
}

bool SearchIndex(const char* index, const QueryMatcher& matcher, int readers, const SearchEvents& events) {
    SearchRun* run = StartSearch(index, matcher, readers, events);
    if (run == nullptr) return false;
    FinishSearch(run);
    return true;
}
