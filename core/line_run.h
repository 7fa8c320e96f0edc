#pragma once

#include <windows.h>

#include "core/search_engine_lines.h"

// The lines of the result rows' files are read by the engine's lines worker
// (core/search_engine_lines), one per search; the window hears of them
// through this message, which carries the search's generation in wParam.
// Messages from WM_APP + 32 to WM_APP + 39 are the worker's.
enum {
    WM_APP_LINES_ANSWER = WM_APP + 32,  // lParam: a LineAnswer
};

// Starts reading lines for the rows of the search that starts now, with
// what it looks for; the worker of the search before is let go. Null: the
// search has no rows (a bad pattern), and no worker is started.
void StartLineRun(const QueryMatcher* matcher);

// Lets go of the worker without waiting for it: before the program ends.
void EndLineRun();

// What the window asks of the row's file (see search_engine_lines.h); no
// more than a call when there is no worker (it found no memory or thread).
void AskRowLinesOf(int row, const char* path, int shownFrom, int shownTo);
void AskPaneLinesOf(int row, const char* path, unsigned ticket);
void ForgetPaneLinesAsked();
// False when there is no worker to ask.
bool AskOpenLineOf(int row, const char* path, unsigned ticket);
void ForgetOpenLineAsked();

// Takes the worker's message; false for any other message.
bool HandleLineMessage(UINT message, WPARAM wParam, LPARAM lParam);
