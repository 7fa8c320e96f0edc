#pragma once

#include <windows.h>
#include <commctrl.h>

// The result list: its columns, and what it does with its rows (open, copy,
// the context menu). Rows are added by the search run.

// Sets up the list's columns, styles and colours.
void PrepareResultList();

// The columns fill the list's width; called when the list's size changed.
void FitResultColumns();

// WM_NOTIFY from the list; TRUE when handled.
INT_PTR OnResultListNotify(const NMHDR* header);

bool ResultListHasFocus();

// Enter on the list: the focused row, if any, is opened at its line.
void OpenFocusedResult();

// WM_CONTEXTMENU from the list, at a screen point, or (-1, -1) from the keyboard.
void ShowResultMenu(LPARAM at);
