#pragma once
#include <stddef.h>

#include "core/line_locator.h"

// The lines of the files a search found, read on a thread of the engine's
// own, so that the window never waits for a file: a row's Line, Text and
// Hits cells, the lines pane's listing, and the line to open a file at.
// The worker follows the engine's rules of ownership and stopping (see
// search_engine.h): it copies what it reads, its caller never waits for it,
// it frees itself after `finished`, and running out of memory stops it. It
// reads each file with a handle and a buffer of its own, one at a time:
// an opening first, then the pane, then the rows on screen, the latest
// asked for first.

// What is asked of a file.
enum LineAsk {
    kRowLines,   // its first line that holds a match, and how many do
    kPaneLines,  // its first kPaneLineLimit such lines, and how many there are
    kOpenLine,   // its first such line, as it is now; no count
};

enum { kPaneLineLimit = 10000 };

struct LineAnswer {
    LineAsk ask;
    size_t row;
    unsigned ticket;  // as asked, for the pane and the opening
    bool opened;      // false when the file could not be opened
    LineListing listing;
};
void FreeLineAnswer(LineAnswer* answer);

struct LineEvents {
    void* context;
    // An answer for the receiver to own: true when it took it, or is gone
    // and freed it; false leaves it with the worker, which offers it again
    // every kDeliveryPollMs.
    bool (*answer)(void* context, LineAnswer* answer);
    // Last of all, once the worker has stopped; false when the receiver
    // could not take it: it is called again every kDeliveryPollMs.
    bool (*finished)(void* context);
};

struct LineWorker;

// Starts the worker on the lines that hold a match of what the matcher
// looks for; it copies the matcher. Null when it cannot start (no memory,
// no thread).
LineWorker* StartLineWorker(const QueryMatcher& matcher, const LineEvents& events);

// The row's cells. shownFrom and shownTo (past the last) are the rows on
// screen now: what is asked for others is dropped, and so is the row being
// read when it is one of them. Asked again while waiting, a row comes next.
void AskRowLines(LineWorker* worker, size_t row, const char* path, size_t shownFrom, size_t shownTo);

// The pane's listing of the row's file, in place of what the pane asked before.
void AskPaneLines(LineWorker* worker, size_t row, const char* path, unsigned ticket);
// Drops what the pane asked for.
void ForgetPaneLines(LineWorker* worker);

// The line to open the row's file at, in place of any opening asked before.
void AskOpenLine(LineWorker* worker, size_t row, const char* path, unsigned ticket);
// Drops the opening asked for.
void ForgetOpenLine(LineWorker* worker);

// The caller is done with the worker: stops it and returns at once, even
// while it waits on a file that does not answer. Answers may still come, up
// to `finished`.
void ReleaseLineWorker(LineWorker* worker);
