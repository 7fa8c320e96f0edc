#pragma once

#include <windows.h>

// A search runs on threads of its own (core/search_engine); the window hears
// of it through these messages, which carry the search's generation in
// wParam, so that what an earlier search still sends is told apart.
enum {
    WM_APP_SEARCH_PROGRESS = WM_APP + 1,  // lParam: the path being read, malloc'ed
    WM_APP_SEARCH_ROWS,                   // lParam: a RowBatch
    WM_APP_SEARCH_END,                    // lParam: the tick count at its end
    WM_APP_SEARCH_STOPPED,                // the same, for a run that stopped before its end
};

// The Search command: stops a search that runs, empties the result list and
// starts a new search.
void SearchCommand();

// Reads the query and starts searching the indexed files.
void RunSearch();

// Shows the first file's path and starts the readers on the index.
void SearchIndexedFiles();

// Escape: a running search stops at once; the rows found so far stay.
void StopSearchCommand();

// Stops a running search and lets go of it without waiting for its threads,
// which may be held for long in a call to a share that stopped answering:
// before a new search, before the index changes and before the program ends.
void EndSearch();

// True from the start of a search until its end is taken or EndSearch.
bool SearchRunning();

// Takes one of the search's messages; false for any other message.
bool HandleSearchMessage(UINT message, WPARAM wParam, LPARAM lParam);
