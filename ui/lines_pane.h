#pragma once

#include <windows.h>
#include <commctrl.h>

#include "core/search_engine_lines.h"

// The lines pane below the result list: every line of the focused row's
// file that holds a match of the search that found the rows, in file
// order, up to kPaneLineLimit, then a row "... and N more lines". A virtual
// list over the worker's listing, which it keeps.

// Its columns: the line's number and its text.
enum { kPaneLineSubItem = 0, kPaneTextSubItem = 1 };

// Sets up the pane's columns, styles and colours, as the result list's.
void PrepareLinesPane();

// The columns fill the pane's width; called when its size changed.
void FitLinesPaneColumns();

// The result list's focus is on `row` now (-1: none): the pane empties and,
// for a row, asks for its file's lines.
void FollowFocusedRow(int row);

// Empties the pane and drops what it asked for: the focus moved, or a new
// search starts.
void EmptyLinesPane();

// The worker's listing for the pane, which the pane takes over; one it no
// longer waits for is freed.
void ShowPaneLines(LineAnswer* answer);

// WM_NOTIFY from the pane; TRUE when handled.
INT_PTR OnLinesPaneNotify(const NMHDR* header);

bool LinesPaneHasFocus();

// Enter on the pane: the focused line, if any, opens in the editor.
void OpenFocusedLine();
