#pragma once

#include <windows.h>

// The main window's sizing: it opens at its template's size, cannot be made
// smaller than that, and its controls follow its size.

// Takes the layout as the template made it; called at the end of WM_INITDIALOG.
void CaptureMainLayout();

// The status bar's two parts: what the search shows, and at the right, in
// kIndexStatusWidth pixels, how far the content index is.
enum { kIndexStatusWidth = 160 };
void FitStatusParts();

// WM_SIZE: the query box across the top, the result list and the lines
// pane in the middle, the status bar at the bottom.
void LayOutMainWindow(WPARAM kind);

// WM_GETMINMAXINFO.
void LimitMainWindowSize(MINMAXINFO* limits);
