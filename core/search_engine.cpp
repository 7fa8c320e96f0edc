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
// buffer at twice the speed. The end of the piece before it, which an
// occurrence may straddle, is kept just in front.
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

// The bytes of an index block up to and including its end marker.
size_t IndexLength(const char* block) {
    const char* entry = block;
    while (*entry != '\0') entry += strlen(entry) + 1;
    return static_cast<size_t>(entry - block) + 1;
}

void FreeReader(const Reader& reader) {
    DeleteSearchedFile(reader.file);
    free(reader.buffer);
    free(reader.path);
}

}  // namespace

struct SearchRun {
    ~SearchRun() {
        for (const Reader& reader : readers) FreeReader(reader);
    }

    std::atomic<int> holders{2};  // the caller and the delivering thread
    std::vector<char> index;      // its own copy: the caller's block may be rebuilt meanwhile
    QueryMatcher matcher;         // its own copy, sharing the compiled patterns
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
    std::vector<std::thread> readerThreads;  // started and joined by the delivering thread
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
        if (first) BeginFileScan(run.matcher, text, have, scan, &run.stop);
        // The end of the file, wherever the size said it was.
        const bool last = !ok || got < want || got == remaining;
        if (PieceHoldsMatch(run.matcher, scan, text, have, last, &kept)) return kFound;
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
    try {
        while (TakeNextFile(*run, &sequence, &directory, &directoryLength, &name)) {
            unsigned char result = kUnopenable;  // a path that does not fit opens nothing
            if (ComposeFullPath(directory, directoryLength, name, reader->path, kPathSize))
                result = SearchFile(*run, *reader);
            Report(*run, sequence, result);
        }
    } catch (const std::bad_alloc&) {
        // A platform's file call found no memory. Its file is never
        // reported, so the run cannot end complete: it stops.
        StopSearch(run);
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
// whatever is out when `now` is set. False when the receiver could not take
// them: they stay pending, later rows join them, and the next try is due a
// rows interval later.
bool HandOnRows(SearchRun& run, Delivery& delivery, bool now) {
    if (delivery.pending == nullptr || (!now && run.events.paced && run.rowsOut)) return true;
    delivery.lastHanded = Clock::now();
    run.rowsOut = true;  // before the receiver can see the batch, which it may take at once
    if (run.events.rows(run.events.context, delivery.pending)) {
        delivery.pending = nullptr;
        return true;
    }
    // Nothing is out for the receiver to say it took. Should an earlier
    // batch still be out, the next one comes early: better than a flag left
    // set for good, which would hold back every row after it.
    run.rowsOut = false;
    return false;
}

// Before a tone, at the end and at a stop: until the receiver takes them.
void HandOnAllRows(SearchRun& run, Delivery& delivery) {
    while (!HandOnRows(run, delivery, true)) std::this_thread::sleep_for(std::chrono::milliseconds(kDeliveryPollMs));
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
        HandOnAllRows(run, delivery);
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

// True when every file was delivered, false after a stop.
bool DeliverAll(SearchRun& run, Delivery& delivery) {
    std::vector<unsigned char> ready;
    std::unique_lock<std::mutex> held(run.lock);
    while (!run.stop) {
        if (TakeReady(run, ready)) {
            held.unlock();
            for (unsigned char result : ready)
                if (!run.stop) Deliver(run, delivery, result);
            held.lock();
            continue;
        }
        if (run.readersRunning == 0 && run.delivered == run.handedOut) return run.indexEnded;
        run.delivererWake.wait_for(held, std::chrono::milliseconds(kDeliveryPollMs));
        // While a slow file holds back the rest, what came before it is shown.
        if (RowsDue(delivery)) {
            held.unlock();
            HandOnRows(run, delivery, false);
            held.lock();
        }
    }
    return false;
}

// Whichever of the caller and the delivering thread lets go last frees the run.
void LetGo(SearchRun* run) {
    if (run->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete run;
}

int StartReaders(SearchRun* run);

// The delivering thread. It lets go of the run before its last word, so
// that once `finished` has returned nothing of the run is left but what the
// caller still holds.
void DeliverInOrder(SearchRun* run) {
    Delivery delivery = {StartIndexWalk(run->index.data()), std::vector<char>(), nullptr, Clock::now()};
    bool completed = false;
    if (StartReaders(run) > 0) {
        try {
            delivery.path.resize(kPathSize);
            completed = DeliverAll(*run, delivery);
        } catch (const std::bad_alloc&) {
            StopSearch(run);  // no room for the next row or result; those found so far stay
        }
    }
    // Complete or stopped, the rows already put in order are handed on.
    HandOnAllRows(*run, delivery);
    for (std::thread& reader : run->readerThreads) reader.join();
    const SearchEvents events = run->events;
    LetGo(run);
    while (!events.finished(events.context, !completed))
        std::this_thread::sleep_for(std::chrono::milliseconds(kDeliveryPollMs));
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
            FreeReader(reader);
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
            run->readerThreads.emplace_back(ReadFiles, run, &reader);  // room reserved at the start
        } catch (const std::system_error&) {
            break;
        } catch (const std::bad_alloc&) {
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

SearchRun* StartSearch(const char* index, const QueryMatcher& matcher, int readers,
                       const SearchEvents& events) {
    SearchRun* run = new (std::nothrow) SearchRun;
    if (run == nullptr) return nullptr;
    try {
        run->index.assign(index, index + IndexLength(index));
        CopyQueryMatcher(matcher, run->matcher);
        run->events = events;
        run->cursor = StartIndexWalk(run->index.data());
        run->results.assign(kAhead, 0);
        run->readerThreads.reserve(kMaxReaders);
        PrepareReaders(run, readers < 1 ? 1 : readers > kMaxReaders ? kMaxReaders : readers);
        if (!run->readers.empty()) {
            std::thread(DeliverInOrder, run).detach();
            return run;
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::system_error&) {
    }
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

void ReleaseSearch(SearchRun* run) {
    StopSearch(run);
    LetGo(run);
}

namespace {

// SearchIndex's caller waits for `finished`; every event is relayed.
struct Waiter {
    SearchEvents events;
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
};

Waiter& WaiterOf(void* context) { return *static_cast<Waiter*>(context); }

void RelayVisiting(void* context, const char* path) {
    WaiterOf(context).events.visiting(WaiterOf(context).events.context, path);
}

bool RelayRows(void* context, RowBatch* batch) {
    return WaiterOf(context).events.rows(WaiterOf(context).events.context, batch);
}

void RelayTone(void* context, unsigned hertz) { WaiterOf(context).events.tone(WaiterOf(context).events.context, hertz); }

bool RelayFinished(void* context, bool stopped) {
    Waiter& waiter = WaiterOf(context);
    if (!waiter.events.finished(waiter.events.context, stopped)) return false;
    std::lock_guard<std::mutex> held(waiter.lock);
    waiter.done = true;
    waiter.ended.notify_one();
    return true;
}

}  // namespace

bool SearchIndex(const char* index, const QueryMatcher& matcher, int readers,
                 const SearchEvents& events) {
    Waiter waiter;
    waiter.events = events;
    const SearchEvents relayed = {&waiter, RelayVisiting, RelayRows, RelayTone, RelayFinished, events.paced};
    SearchRun* run = StartSearch(index, matcher, readers, relayed);
    if (run == nullptr) return false;
    {
        std::unique_lock<std::mutex> held(waiter.lock);
        waiter.ended.wait(held, [&] { return waiter.done; });
    }
    ReleaseSearch(run);
    return true;
}
