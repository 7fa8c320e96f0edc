#pragma once

#include <windows.h>

#include "core/query_matcher.h"

// The content index on the window's side: a worker for every listing of the
// file index, its progress in the status bar's second part, and the files a
// search reads.
enum {
    WM_APP_INDEX_PROGRESS = WM_APP + 16,  // wParam: the listing; lParam: an IndexProgress, malloc'ed
    // Answers how many files the last search was given to read: for tests,
    // which count what a search opens without timing it.
    WM_APP_SEARCHED_FILES,
};

// After every build of the file index: lets go of the worker of the listing
// before and starts one for this listing.
void StartContentIndex();

// At the end of the program: lets go of the worker, without waiting for it.
void StopContentIndex();

// The files a search through this matcher must read, as a file index block:
// only those the index cannot rule out, or App.FileIndex when it cannot say
// (a spelling shorter than three bytes, a pattern with no literal, a listing
// not yet taken, the index busy). Valid until the next call.
const char* FilesToSearch(const QueryMatcher& matcher);

// Takes one of the index's messages; false for any other message.
bool HandleIndexMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
