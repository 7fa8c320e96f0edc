#include "ui/result_list.h"

#include <windowsx.h>
#include <string.h>

#include "app_state.h"
#include "core/effects.h"
#include "res/resource.h"
#include "ui/clipboard_text.h"
#include "ui/lines_pane.h"
#include "ui/marked_cells.h"
#include "ui/result_lines.h"

namespace {

ResultRows Rows;

// "File Results" opens 174 pixels wide as it always has; the two columns
// after it are measured in dialog units, so they follow the dialog's font.
const int kPathColumnWidth = 174;
const int kLineColumnUnits = 32;
const int kHitsColumnUnits = 24;
const int kTextColumnUnits = 160;
int LineColumnWidth;
int HitsColumnWidth;
int TextColumnWidth;

// Hits is the fourth column, so that the others keep their sub-items, and
// shows before the text through the column order.
void InsertLineColumns() {
    RECT units = {kHitsColumnUnits, 0, kLineColumnUnits, kTextColumnUnits};
    MapDialogRect(App.MainWindow, &units);
    LineColumnWidth = units.right;
    HitsColumnWidth = units.left;
    TextColumnWidth = units.bottom;
    InsertListColumn(App.ResultList, kLineSubItem, kLineColumnTitle, LineColumnWidth, LVCFMT_RIGHT);
    InsertListColumn(App.ResultList, kTextSubItem, kTextColumnTitle, TextColumnWidth, LVCFMT_LEFT);
    InsertListColumn(App.ResultList, kHitsSubItem, kHitsColumnTitle, HitsColumnWidth, LVCFMT_RIGHT);
    int order[] = {kPathSubItem, kLineSubItem, kHitsSubItem, kTextSubItem};
    SendMessageA(App.ResultList, LVM_SETCOLUMNORDERARRAY, 4, reinterpret_cast<LPARAM>(order));
}

// A row's path, copied: rows that come in while the shell or a started
// program lets messages through may move the rows' memory.
const char* CopyOfPath(int row) {
    static char path[kLongPathSize];
    lstrcpynA(path, ResultPath(row), sizeof path);
    return path;
}

void OpenContainingFolder(int row) {
    static char parameters[kLongPathSize + 16];
    lstrcpyA(parameters, kExplorerSelect);
    lstrcatA(parameters, "\"");
    lstrcatA(parameters, CopyOfPath(row));
    lstrcatA(parameters, "\"");
    StartProgram(App.MainWindow, kExplorerProgram, parameters);
}

// The rows to copy in order: the one given, or with -1 every selected row.
int NextCopiedRow(int only, int row) {
    if (only >= 0) return row < 0 ? only : -1;
    return static_cast<int>(SendMessageA(App.ResultList, LVM_GETNEXTITEM, row, LVNI_SELECTED));
}

// Full paths joined by CR LF, with none after the last, as text. Each path
// is measured in bytes here: a list control's own count of a text may be in
// characters, fewer than its bytes under a double-byte code page.
void CopyPaths(int only) {
    size_t rows = 0, bytes = 0;
    for (int row = NextCopiedRow(only, -1); row >= 0; row = NextCopiedRow(only, row), ++rows)
        bytes += lstrlenA(ResultPath(row));
    if (rows == 0) return;
    bytes += 2 * (rows - 1);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes + 1);
    char* text = block != nullptr ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (text == nullptr) {
        if (block != nullptr) GlobalFree(block);
        return;
    }
    size_t used = 0;
    for (int row = NextCopiedRow(only, -1); row >= 0; row = NextCopiedRow(only, row)) {
        const char* path = ResultPath(row);
        const size_t length = lstrlenA(path);
        const size_t separator = used > 0 ? 2 : 0;
        if (used + separator + length > bytes) break;
        memcpy(text + used, "\r\n", separator);
        memcpy(text + used + separator, path, length);
        used += separator + length;
    }
    text[used] = '\0';
    GlobalUnlock(block);
    PutOnClipboard(block);
}

// Ctrl with Alt up: AltGr, which some layouts need for letters, is Ctrl+Alt.
void OnKeyDown(const NMLVKEYDOWN* key) {
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0) return;
    if (key->wVKey == 'A') SelectEveryRow(App.ResultList);
    if (key->wVKey == 'C' || key->wVKey == VK_INSERT) CopyPaths(-1);
}

// The row under the pointer, which is -1 below the last row.
void OnDoubleClick(const NMITEMACTIVATE* click) { OpenResultAtLine(click->iItem); }

// The list holds no text of its own: every cell, the path's too, comes from here.
const char* CellText(int row, int subItem) {
    if (row < 0 || static_cast<size_t>(row) >= Rows.count) return "";
    switch (subItem) {
    case kPathSubItem:
        return ResultRowPath(Rows, static_cast<size_t>(row));
    case kLineSubItem:
        return ResultLineNumber(row);
    case kTextSubItem:
        return ResultLineText(row);
    case kHitsSubItem:
        return ResultHits(row);
    default:
        return "";
    }
}

// LVN_GETDISPINFO: a cell's text, cut to the room given.
void FillResultCell(NMLVDISPINFOA* info) {
    LVITEMA& item = info->item;
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
    lstrcpynA(item.pszText, CellText(item.iItem, item.iSubItem), item.cchTextMax);
}

// Typing on the list: the row, from `start` on, whose path begins with what
// was typed, without regard to case, as a list holding its rows finds it.
int FindRow(int start, UINT flags, const char* typed) {
    if ((flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || typed == nullptr) return -1;
    const int count = static_cast<int>(Rows.count);
    const int length = (flags & LVFI_PARTIAL) != 0 ? lstrlenA(typed) : -1;
    if (start < 0 || start >= count) start = 0;
    const int end = (flags & LVFI_WRAP) != 0 ? start + count : count;
    for (int i = start; i < end; ++i) {
        const char* path = ResultRowPath(Rows, static_cast<size_t>(i % count));
        if (length >= 0 && lstrlenA(path) < length) continue;
        if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, path, length, typed, length) == CSTR_EQUAL)
            return i % count;
    }
    return -1;
}

// Wine's list asks in UTF-16 whatever its parent's form of notices.
int FindRow(const NMLVFINDITEMW* find) {
    static char typed[kTextSize];
    if (find->lvfi.psz == nullptr ||
        WideCharToMultiByte(CP_ACP, 0, find->lvfi.psz, -1, typed, sizeof typed, nullptr, nullptr) == 0)
        return -1;
    return FindRow(find->iStart, find->lvfi.flags, typed);
}

// The whole path, for a row whose path the column cuts off.
void GiveInfoTip(NMLVGETINFOTIPA* tip) {
    if ((tip->dwFlags & LVGIT_UNFOLDED) != 0 || tip->cchTextMax <= 0) return;
    lstrcpynA(tip->pszText, ResultPath(tip->iItem), tip->cchTextMax);
}

const ShownText* ShownTextOfRow(int row) {
    return row >= 0 && static_cast<size_t>(row) < Rows.count ? ResultShownText(row) : nullptr;
}

// The pane follows the focus, whatever moved it.
void OnItemChanged(const NMLISTVIEW* change) {
    if ((change->uChanged & LVIF_STATE) != 0 && ((change->uOldState ^ change->uNewState) & LVIS_FOCUSED) != 0)
        FollowFocusedRow(FocusedResult());
}

// Where a menu asked for from the keyboard opens: on the focused row, kept
// inside the list when the row is scrolled out of sight.
bool FocusedRowPoint(int* row, POINT* point) {
    *row = static_cast<int>(SendMessageA(App.ResultList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (*row < 0) return false;
    RECT bounds = {};
    bounds.left = LVIR_LABEL;
    SendMessageA(App.ResultList, LVM_GETITEMRECT, *row, reinterpret_cast<LPARAM>(&bounds));
    RECT client;
    GetClientRect(App.ResultList, &client);
    point->x = bounds.left + (bounds.bottom - bounds.top);
    point->y = (bounds.top + bounds.bottom) / 2;
    if (point->x < client.left) point->x = client.left;
    if (point->x >= client.right) point->x = client.right - 1;
    if (point->y < client.top) point->y = client.top;
    if (point->y >= client.bottom) point->y = client.bottom - 1;
    ClientToScreen(App.ResultList, point);
    return true;
}

int RowAt(POINT screen) {
    LVHITTESTINFO hit = {};
    hit.pt = screen;
    ScreenToClient(App.ResultList, &hit.pt);
    const int row = static_cast<int>(SendMessageA(App.ResultList, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & LVHT_ONITEM) != 0 ? row : -1;
}

int ChooseFromResultMenu(POINT at) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return 0;
    AppendMenuA(menu, MF_STRING, IDM_RESULT_OPEN, kOpenResultItem);
    AppendMenuA(menu, MF_STRING, IDM_RESULT_OPEN_FOLDER, kOpenFolderItem);
    AppendMenuA(menu, MF_STRING, IDM_RESULT_COPY_PATH, kCopyPathItem);
    SetMenuDefaultItem(menu, IDM_RESULT_OPEN, FALSE);
    const int chosen = static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, App.MainWindow, nullptr));
    DestroyMenu(menu);
    return chosen;
}

}  // namespace

void PrepareResultList() {
    App.ResultList = GetDlgItem(App.MainWindow, IDC_MAIN_RESULTS);
    // A click anywhere on a row selects it; a path cut off shows whole in a tip.
    const DWORD styles = LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_LABELTIP;
    SendMessageA(App.ResultList, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
    App.Column.mask = LVCF_WIDTH | LVCF_TEXT;
    App.Column.cx = kPathColumnWidth;
    App.Column.pszText = const_cast<char*>(kColumnTitle);
    SendMessageA(App.ResultList, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&App.Column));
    InsertLineColumns();
    // The list takes the colour of the dialog.
    SendMessageA(App.ResultList, LVM_SETTEXTCOLOR, 0, GetSysColor(COLOR_WINDOWTEXT));
    SendMessageA(App.ResultList, LVM_SETBKCOLOR, 0, GetSysColor(COLOR_BTNFACE));
    SendMessageA(App.ResultList, LVM_SETTEXTBKCOLOR, 0, GetSysColor(COLOR_BTNFACE));
}

// A list wider than the four columns gives two thirds of its extra width
// to the path, whose file name at its end is what a user looks for, and a
// third to the text; the line number and the count keep their widths. Room
// is left for a vertical scroll bar, so that rows filling the list add none
// across.
void FitResultColumns() {
    RECT client;
    GetClientRect(App.ResultList, &client);
    const int room = client.right - GetSystemMetrics(SM_CXVSCROLL);
    const int natural = kPathColumnWidth + LineColumnWidth + HitsColumnWidth + TextColumnWidth;
    const int extra = room > natural ? room - natural : 0;
    const int toPath = extra * 2 / 3;
    SendMessageA(App.ResultList, LVM_SETCOLUMNWIDTH, kPathSubItem, kPathColumnWidth + toPath);
    SendMessageA(App.ResultList, LVM_SETCOLUMNWIDTH, kLineSubItem, LineColumnWidth);
    SendMessageA(App.ResultList, LVM_SETCOLUMNWIDTH, kHitsSubItem, HitsColumnWidth);
    SendMessageA(App.ResultList, LVM_SETCOLUMNWIDTH, kTextSubItem, TextColumnWidth + extra - toPath);
}

INT_PTR OnResultListNotify(const NMHDR* header) {
    switch (header->code) {
    case LVN_GETDISPINFOA:
        FillResultCell(reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header)));
        return TRUE;
    case LVN_ODFINDITEMA: {
        const NMLVFINDITEMA* find = reinterpret_cast<const NMLVFINDITEMA*>(header);
        SetWindowLongPtrA(App.MainWindow, DWLP_MSGRESULT, FindRow(find->iStart, find->lvfi.flags, find->lvfi.psz));
        return TRUE;
    }
    case LVN_ODFINDITEMW:
        SetWindowLongPtrA(App.MainWindow, DWLP_MSGRESULT, FindRow(reinterpret_cast<const NMLVFINDITEMW*>(header)));
        return TRUE;
    case LVN_KEYDOWN:
        OnKeyDown(reinterpret_cast<const NMLVKEYDOWN*>(header));
        return TRUE;
    case NM_DBLCLK:
        OnDoubleClick(reinterpret_cast<const NMITEMACTIVATE*>(header));
        return TRUE;
    case LVN_GETINFOTIPA:
        GiveInfoTip(reinterpret_cast<NMLVGETINFOTIPA*>(const_cast<NMHDR*>(header)));
        return TRUE;
    case LVN_ITEMCHANGED:
        OnItemChanged(reinterpret_cast<const NMLISTVIEW*>(header));
        return TRUE;
    case NM_CUSTOMDRAW:
        SetWindowLongPtrA(App.MainWindow, DWLP_MSGRESULT,
                          DrawMarkedCells(reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(header)),
                                          kTextSubItem, ShownTextOfRow));
        return TRUE;
    default:
        return FALSE;
    }
}

void EmptyResultList() {
    SendMessageA(App.ResultList, LVM_DELETEALLITEMS, 0, 0);
    EmptyLinesPane();
    ForgetResultLines();
    ClearResultRows(Rows);
}

// Rows that find no memory are not listed, as an insert that fails would not be.
// The first row of a search takes the focus, and the pane shows its lines.
void ListResultRows(const char* paths, size_t count) {
    const bool first = Rows.count == 0;
    if (!AddResultRows(Rows, paths, count)) return;
    // Only the rows coming into sight are drawn, and the list does not scroll.
    SendMessageA(App.ResultList, LVM_SETITEMCOUNT, Rows.count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (first && Rows.count > 0) {
        LVITEMA focus = {};
        focus.stateMask = LVIS_FOCUSED;
        focus.state = LVIS_FOCUSED;
        SendMessageA(App.ResultList, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focus));
        FollowFocusedRow(FocusedResult());
    }
}

const char* ResultPath(int row) { return row >= 0 ? ResultRowPath(Rows, static_cast<size_t>(row)) : ""; }

const RowCells* ResultCells(int row) { return row >= 0 ? ResultRowCells(Rows, static_cast<size_t>(row)) : nullptr; }

void SetResultCells(int row, RowCells* cells) {
    if (row >= 0) SetResultRowCells(Rows, static_cast<size_t>(row), cells);
}

void RedrawResultRow(int row) { SendMessageA(App.ResultList, LVM_REDRAWITEMS, row, row); }

void ShownResultRows(int* from, int* to) {
    *from = static_cast<int>(SendMessageA(App.ResultList, LVM_GETTOPINDEX, 0, 0));
    *to = *from + static_cast<int>(SendMessageA(App.ResultList, LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
}

bool ResultListHasFocus() { return GetFocus() == App.ResultList; }

int FocusedResult() {
    return static_cast<int>(SendMessageA(App.ResultList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void OpenFocusedResult() { OpenResultAtLine(FocusedResult()); }

void ShowResultMenu(LPARAM at) {
    POINT point = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    int row = -1;
    if (point.x == -1 && point.y == -1) {
        if (!FocusedRowPoint(&row, &point)) return;
    } else {
        row = RowAt(point);
        if (row < 0) return;
    }
    switch (ChooseFromResultMenu(point)) {
    case IDM_RESULT_OPEN:
        OpenResultAtLine(row);
        break;
    case IDM_RESULT_OPEN_FOLDER:
        OpenContainingFolder(row);
        break;
    case IDM_RESULT_COPY_PATH:
        CopyPaths(row);
        break;
    default:
        break;
    }
}

// Drawn once: Wine's list draws each row's change of state in turn.
void SelectEveryRow(HWND list) {
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void InsertListColumn(HWND list, int subItem, const char* title, int width, int format) {
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM | LVCF_FMT;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<char*>(title);
    column.iSubItem = subItem;
    SendMessageA(list, LVM_INSERTCOLUMNA, subItem, reinterpret_cast<LPARAM>(&column));
}
