#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/shown_text.h"

// The Text cells of the result list and of the lines pane, drawn with the
// matches in bold, so that the eye finds them at once. Every other cell,
// and a text without marks, the list draws itself.

// NM_CUSTOMDRAW from such a list, whose text column is textSubItem and
// whose rows' texts textOf gives (null: the list draws the cell). The result
// goes back through DWLP_MSGRESULT.
LRESULT DrawMarkedCells(NMLVCUSTOMDRAW* draw, int textSubItem, const ShownText* (*textOf)(int row));

// The bold face of the lists' font, made once; freed when the program ends.
void PrepareMarkedCells(HWND list);
