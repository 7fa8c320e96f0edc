#pragma once

#include <windows.h>

// The splitter between the result list and the lines pane: the bar between
// them, which the mouse drags up and down. The list keeps its share of the
// height as the window grows, and each list at least three rows' height.

// Measures the lists' rows and the bar; called once the lists are set up,
// with the places the template gave them.
void PrepareSplitter(const RECT& list, const RECT& pane);

// Where the list and the pane go in `shared`, the space they share, by the
// split; kept for dragging.
void PlaceSplitLists(const RECT& shared, RECT* list, RECT* pane);

// The main window's mouse messages (WM_SETCURSOR, WM_LBUTTONDOWN,
// WM_MOUSEMOVE, WM_LBUTTONUP, WM_CAPTURECHANGED) over the bar or during a
// drag: true when the splitter took it.
bool OnSplitterMouse(UINT message, WPARAM wParam, LPARAM lParam);
