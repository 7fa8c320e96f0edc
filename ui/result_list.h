#pragma once

#include <windows.h>
#include <commctrl.h>
#include <stddef.h>

#include "ui/result_rows.h"

// The result list: its rows and columns, and what it does with its rows
// (open, copy, the context menu). The list is virtual: the rows live here and
// the control asks for each cell it shows, so that no action on it costs
// more with more rows.

// The list's columns: the row's full path, its line, that line's text, and
// how many lines hold a match, which shows between the line and its text.
enum { kPathSubItem = 0, kLineSubItem = 1, kTextSubItem = 2, kHitsSubItem = 3 };

// Sets up the list's columns, styles and colours.
void PrepareResultList();

// The columns fill the list's width; called when the list's size changed.
void FitResultColumns();

// Removes every row, with what was kept for each.
void EmptyResultList();

// Adds rows after the last: `count` full paths packed one after another,
// each ended by a zero byte.
void ListResultRows(const char* paths, size_t count);

// The row's full path; empty for a row that is not there.
const char* ResultPath(int row);

// The row's cells besides its path, null until known; SetResultCells hands
// them over (null: unknown again).
const RowCells* ResultCells(int row);
void SetResultCells(int row, RowCells* cells);
void RedrawResultRow(int row);

// The rows on screen: from the first to before the last.
void ShownResultRows(int* from, int* to);

// WM_NOTIFY from the list; TRUE when handled.
INT_PTR OnResultListNotify(const NMHDR* header);

bool ResultListHasFocus();

// Ctrl+A on a report list, this one or the lines pane.
void SelectEveryRow(HWND list);

// A column of a report list, this one or the lines pane, at its sub-item.
void InsertListColumn(HWND list, int subItem, const char* title, int width, int format);

// Enter on the list: the focused row, if any, is opened at its line.
void OpenFocusedResult();

// The focused row, -1 for none.
int FocusedResult();

// WM_CONTEXTMENU from the list, at a screen point, or (-1, -1) from the keyboard.
void ShowResultMenu(LPARAM at);
