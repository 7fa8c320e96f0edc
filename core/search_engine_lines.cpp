#include "core/search_engine_lines.h"

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "core/searched_file.h"

namespace {

struct LineJob {
    LineAsk ask;
    size_t row;
    unsigned ticket;
    std::string path;
};

}  // namespace

struct LineWorker {
    ~LineWorker() {
        DeleteSearchedFile(file);
        free(buffer);
    }

    std::atomic<int> holders{2};  // the caller and the worker's thread
    QueryMatcher matcher;         // its own copy, sharing only the compiled patterns
    LineEvents events;

    std::atomic<bool> stop{false};
    // The file being read is wanted no more, or not now: its reading ends
    // before the next piece.
    std::atomic<bool> abandon{false};

    std::mutex lock;
    std::condition_variable wake;  // something asked for, or a stop
    std::vector<LineJob> rows;     // the latest asked for last
    LineJob pane, open;
    bool paneAsked = false, openAsked = false;
    size_t shownFrom = 0, shownTo = 0;
    // The job being read, and whether it is still wanted once abandoned
    // (only put off for one that comes first).
    bool serving = false;
    bool servingWanted = false;
    LineAsk servingAsk = kRowLines;
    size_t servingRow = 0;

    SearchedFile* file = nullptr;
    char* buffer = nullptr;
};

namespace {

// The order in which asks are served.
int Rank(LineAsk ask) { return ask == kOpenLine ? 0 : ask == kPaneLines ? 1 : 2; }

// Puts off the job being read for one that comes before it. Under the lock.
void PutOffFor(LineWorker& worker, LineAsk ask) {
    if (worker.serving && Rank(ask) < Rank(worker.servingAsk)) worker.abandon = true;
}

// Drops the job being read. Under the lock.
void DropServed(LineWorker& worker) {
    worker.servingWanted = false;
    worker.abandon = true;
}

bool TakeJob(LineWorker& worker, LineJob* job) {
    std::unique_lock<std::mutex> held(worker.lock);
    worker.wake.wait(held, [&] { return worker.stop || worker.openAsked || worker.paneAsked || !worker.rows.empty(); });
    if (worker.stop) return false;
    if (worker.openAsked) {
        *job = std::move(worker.open);
        worker.openAsked = false;
    } else if (worker.paneAsked) {
        *job = std::move(worker.pane);
        worker.paneAsked = false;
    } else {
        *job = std::move(worker.rows.back());
        worker.rows.pop_back();
    }
    worker.serving = true;
    worker.servingWanted = true;
    worker.servingAsk = job->ask;
    worker.servingRow = job->row;
    worker.abandon = false;
    return true;
}

// A job put off for another comes back, unless it was asked for again meanwhile.
void PutBack(LineWorker& worker, LineJob& job) {
    if (job.ask == kOpenLine && !worker.openAsked) {
        worker.open = std::move(job);
        worker.openAsked = true;
    } else if (job.ask == kPaneLines && !worker.paneAsked) {
        worker.pane = std::move(job);
        worker.paneAsked = true;
    } else if (job.ask == kRowLines) {
        for (const LineJob& queued : worker.rows)
            if (queued.row == job.row) return;
        worker.rows.push_back(std::move(job));
    }
}

// True when the job was read to its end; false when it was abandoned.
bool EndJob(LineWorker& worker, LineJob& job) {
    std::lock_guard<std::mutex> held(worker.lock);
    worker.serving = false;
    if (!worker.abandon && !worker.stop) return true;
    if (worker.servingWanted && !worker.stop) PutBack(worker, job);
    return false;
}

bool ReadPiece(void* context, char* into, size_t want, size_t* got) {
    LineWorker& worker = *static_cast<LineWorker*>(context);
    *got = 0;
    return !worker.abandon.load(std::memory_order_relaxed) && !worker.stop.load(std::memory_order_relaxed) &&
           ReadSearchedFile(worker.file, into, want, got);
}

LineAnswer* Answer(LineWorker& worker, const LineJob& job) {
    LineAnswer* answer = new LineAnswer();
    answer->ask = job.ask;
    answer->row = job.row;
    answer->ticket = job.ticket;
    answer->opened = OpenSearchedFile(worker.file, job.path.c_str());
    if (!answer->opened) return answer;
    const size_t keep = job.ask == kPaneLines ? kPaneLineLimit : 1;
    try {
        ListMatchingLines(ReadPiece, &worker, worker.buffer, worker.matcher, keep, job.ask != kOpenLine, &worker.abandon,
                          &answer->listing);
    } catch (const std::bad_alloc&) {
        CloseSearchedFile(worker.file);
        delete answer;
        throw;
    }
    CloseSearchedFile(worker.file);
    return answer;
}

// Until the receiver takes it, or the worker stops.
void HandOn(LineWorker& worker, LineAnswer* answer) {
    while (!worker.events.answer(worker.events.context, answer)) {
        if (worker.stop) {
            FreeLineAnswer(answer);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kDeliveryPollMs));
    }
}

void LetGo(LineWorker* worker) {
    if (worker->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete worker;
}

void Serve(LineWorker* worker) {
    try {
        LineJob job;
        while (TakeJob(*worker, &job)) {
            LineAnswer* answer = Answer(*worker, job);
            if (EndJob(*worker, job))
                HandOn(*worker, answer);
            else
                FreeLineAnswer(answer);
        }
    } catch (const std::bad_alloc&) {
        // No room for an answer or a path: the cells stay empty, as before any answer.
    }
    const LineEvents events = worker->events;
    LetGo(worker);
    while (!events.finished(events.context)) std::this_thread::sleep_for(std::chrono::milliseconds(kDeliveryPollMs));
}

// Each ask is taken whole or not at all: a copy of the path that finds no
// memory drops it, as a row scrolled away would be.
template <class Change>
void Ask(LineWorker* worker, Change change) {
    std::lock_guard<std::mutex> held(worker->lock);
    try {
        change(*worker);
    } catch (const std::bad_alloc&) {
        return;
    }
    worker->wake.notify_one();
}

}  // namespace

void FreeLineAnswer(LineAnswer* answer) { delete answer; }

LineWorker* StartLineWorker(const QueryMatcher& matcher, const LineEvents& events) {
    LineWorker* worker = new (std::nothrow) LineWorker;
    if (worker == nullptr) return nullptr;
    try {
        CopyQueryMatcher(matcher, worker->matcher);
        worker->events = events;
        worker->file = NewSearchedFile();
        worker->buffer = static_cast<char*>(malloc(kLocatorBufferSize));
        if (worker->file != nullptr && worker->buffer != nullptr) {
            std::thread(Serve, worker).detach();
            return worker;
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::system_error&) {
    }
    delete worker;
    return nullptr;
}

void AskRowLines(LineWorker* worker, size_t row, const char* path, size_t shownFrom, size_t shownTo) {
    Ask(worker, [&](LineWorker& w) {
        w.shownFrom = shownFrom;
        w.shownTo = shownTo;
        auto away = [&](size_t r) { return r < shownFrom || r >= shownTo; };
        size_t kept = 0;
        for (size_t i = 0; i < w.rows.size(); ++i)
            if (!away(w.rows[i].row) && w.rows[i].row != row) {
                if (kept != i) w.rows[kept] = std::move(w.rows[i]);
                ++kept;
            }
        w.rows.resize(kept);
        const bool readingRow = w.serving && w.servingAsk == kRowLines;
        if (readingRow && away(w.servingRow)) DropServed(w);
        if (!away(row) && !(readingRow && w.servingRow == row)) w.rows.push_back({kRowLines, row, 0, path});
    });
}

void AskPaneLines(LineWorker* worker, size_t row, const char* path, unsigned ticket) {
    Ask(worker, [&](LineWorker& w) {
        w.pane = {kPaneLines, row, ticket, path};
        w.paneAsked = true;
        if (w.serving && w.servingAsk == kPaneLines) DropServed(w);
        PutOffFor(w, kPaneLines);
    });
}

void ForgetPaneLines(LineWorker* worker) {
    Ask(worker, [](LineWorker& w) {
        w.paneAsked = false;
        if (w.serving && w.servingAsk == kPaneLines) DropServed(w);
    });
}

void AskOpenLine(LineWorker* worker, size_t row, const char* path, unsigned ticket) {
    Ask(worker, [&](LineWorker& w) {
        w.open = {kOpenLine, row, ticket, path};
        w.openAsked = true;
        if (w.serving && w.servingAsk == kOpenLine) DropServed(w);
        PutOffFor(w, kOpenLine);
    });
}

void ForgetOpenLine(LineWorker* worker) {
    Ask(worker, [](LineWorker& w) {
        w.openAsked = false;
        if (w.serving && w.servingAsk == kOpenLine) DropServed(w);
    });
}

void ReleaseLineWorker(LineWorker* worker) {
    worker->stop = true;
    worker->abandon = true;
    {
        std::lock_guard<std::mutex> held(worker->lock);
        worker->wake.notify_one();
    }
    LetGo(worker);
}
