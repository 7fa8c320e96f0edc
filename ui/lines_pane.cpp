#include "ui/lines_pane.h"

#include <string.h>

#include "app_state.h"
#include "core/decimal_text.h"
#include "core/line_run.h"
#include "core/result_opener.h"
#include "res/resource.h"
#include "ui/clipboard_text.h"
#include "ui/marked_cells.h"
#include "ui/result_list.h"
#include "ui/shown_text.h"

namespace {

LineAnswer* Listing;  // what the pane shows; null while empty
int Row = -1;         // the result row it follows
bool Waiting;         // for the answer to the latest ask
unsigned Ticket;      // of the latest ask
char Path[kLongPathSize];
ShownText Shown;  // the line last asked for, converted
char Cell[kShownTextRoom + kLongDecimalTextSize + 32];

// In dialog units, as the result list's.
const int kLineColumnUnits = 32;
int LineColumnWidth;

size_t ListedLines() { return Listing != nullptr ? Listing->listing.lines.size() : 0; }

bool HasMoreRow() { return Listing != nullptr && Listing->listing.count > ListedLines(); }

void ShowRowCount() {
    SendMessageA(App.LinesPane, LVM_SETITEMCOUNT, ListedLines() + (HasMoreRow() ? 1 : 0), 0);
}

// "... and N more lines", N counted to the end of the file.
const char* MoreLinesText() {
    const unsigned long long more = Listing->listing.count - ListedLines();
    char number[kLongDecimalTextSize];
    FormatUnsignedDecimal(more, number);
    lstrcpyA(Cell, App.Ellipsis);
    lstrcatA(Cell, kMoreLinesText);
    lstrcatA(Cell, number);
    lstrcatA(Cell, more == 1 ? kOneMoreLineEnd : kMoreLinesEnd);
    return Cell;
}

const ShownText* ShownLine(int row) {
    if (row < 0 || static_cast<size_t>(row) >= ListedLines()) return nullptr;
    ShowListedLine(Listing->listing, static_cast<size_t>(row), &Shown);
    return &Shown;
}

const char* CellText(int row, int subItem) {
    if (row < 0 || Listing == nullptr) return "";
    if (static_cast<size_t>(row) >= ListedLines()) return subItem == kPaneTextSubItem ? MoreLinesText() : "";
    if (subItem == kPaneTextSubItem) return ShownLine(row)->text;
    FormatUnsignedDecimal(Listing->listing.lines[row].number, Cell);
    return Cell;
}

void FillCell(NMLVDISPINFOA* info) {
    LVITEMA& item = info->item;
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
    lstrcpynA(item.pszText, CellText(item.iItem, item.iSubItem), item.cchTextMax);
}

// The selected lines, or with `into` null only how many bytes they take:
// "path(line): text", joined by CR LF, with none after the last.
size_t WriteSelectedLines(char* into) {
    size_t used = 0;
    int row = -1;
    while ((row = static_cast<int>(SendMessageA(App.LinesPane, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0 &&
           static_cast<size_t>(row) < ListedLines()) {
        char number[kLongDecimalTextSize];
        FormatUnsignedDecimal(Listing->listing.lines[row].number, number);
        const char* parts[] = {used > 0 ? "\r\n" : "", Path, "(", number, "): ", ShownLine(row)->text};
        for (const char* part : parts) {
            const size_t length = static_cast<size_t>(lstrlenA(part));
            if (into != nullptr) memcpy(into + used, part, length);
            used += length;
        }
    }
    return used;
}

void CopySelectedLines() {
    const size_t bytes = WriteSelectedLines(nullptr);
    if (bytes == 0) return;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes + 1);
    char* text = block != nullptr ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (text == nullptr) {
        if (block != nullptr) GlobalFree(block);
        return;
    }
    text[WriteSelectedLines(text)] = '\0';
    GlobalUnlock(block);
    PutOnClipboard(block);
}

// Ctrl with Alt up: AltGr, which some layouts need for letters, is Ctrl+Alt.
void OnKeyDown(const NMLVKEYDOWN* key) {
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0) return;
    if (key->wVKey == 'A') SelectEveryRow(App.LinesPane);
    if (key->wVKey == 'C' || key->wVKey == VK_INSERT) CopySelectedLines();
}

// A listed line opens at its number; the row of lines not listed does nothing.
void OpenLine(int row) {
    if (row < 0 || static_cast<size_t>(row) >= ListedLines()) return;
    char path[kLongPathSize];  // the editor may let messages through, and with them a new search
    lstrcpynA(path, Path, sizeof path);
    OpenResult(path, Listing->listing.lines[row].number);
}

}  // namespace

void PrepareLinesPane() {
    App.LinesPane = GetDlgItem(App.MainWindow, IDC_MAIN_LINES);
    const DWORD styles = LVS_EX_FULLROWSELECT;
    SendMessageA(App.LinesPane, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
    RECT units = {0, 0, kLineColumnUnits, 0};
    MapDialogRect(App.MainWindow, &units);
    LineColumnWidth = units.right;
    InsertListColumn(App.LinesPane, kPaneLineSubItem, kLineColumnTitle, LineColumnWidth, LVCFMT_LEFT);
    InsertListColumn(App.LinesPane, kPaneTextSubItem, kTextColumnTitle, LineColumnWidth, LVCFMT_LEFT);
    SendMessageA(App.LinesPane, LVM_SETTEXTCOLOR, 0, GetSysColor(COLOR_WINDOWTEXT));
    SendMessageA(App.LinesPane, LVM_SETBKCOLOR, 0, GetSysColor(COLOR_BTNFACE));
    SendMessageA(App.LinesPane, LVM_SETTEXTBKCOLOR, 0, GetSysColor(COLOR_BTNFACE));
    PrepareMarkedCells(App.LinesPane);
}

// The text takes what the line number leaves, short of a vertical scroll bar.
void FitLinesPaneColumns() {
    RECT client;
    GetClientRect(App.LinesPane, &client);
    const int text = client.right - GetSystemMetrics(SM_CXVSCROLL) - LineColumnWidth;
    SendMessageA(App.LinesPane, LVM_SETCOLUMNWIDTH, kPaneLineSubItem, LineColumnWidth);
    SendMessageA(App.LinesPane, LVM_SETCOLUMNWIDTH, kPaneTextSubItem, text > LineColumnWidth ? text : LineColumnWidth);
}

void FollowFocusedRow(int row) {
    if (row == Row) return;
    EmptyLinesPane();
    if (row < 0) return;
    Row = row;
    lstrcpynA(Path, ResultPath(row), sizeof Path);
    Waiting = true;
    AskPaneLinesOf(row, Path, ++Ticket);
}

void EmptyLinesPane() {
    if (Waiting) ForgetPaneLinesAsked();
    Waiting = false;
    Row = -1;
    if (Listing != nullptr) FreeLineAnswer(Listing);
    Listing = nullptr;
    SendMessageA(App.LinesPane, LVM_DELETEALLITEMS, 0, 0);
}

void ShowPaneLines(LineAnswer* answer) {
    if (!Waiting || answer->ticket != Ticket) {
        FreeLineAnswer(answer);
        return;
    }
    Waiting = false;
    Listing = answer;
    ShowRowCount();
}

INT_PTR OnLinesPaneNotify(const NMHDR* header) {
    NMHDR* notice = const_cast<NMHDR*>(header);
    switch (header->code) {
    case LVN_GETDISPINFOA:
        FillCell(reinterpret_cast<NMLVDISPINFOA*>(notice));
        return TRUE;
    case LVN_KEYDOWN:
        OnKeyDown(reinterpret_cast<const NMLVKEYDOWN*>(header));
        return TRUE;
    case NM_DBLCLK:
        OpenLine(reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem);
        return TRUE;
    case NM_CUSTOMDRAW:
        SetWindowLongPtrA(App.MainWindow, DWLP_MSGRESULT,
                          DrawMarkedCells(reinterpret_cast<NMLVCUSTOMDRAW*>(notice), kPaneTextSubItem, ShownLine));
        return TRUE;
    default:
        return FALSE;
    }
}

bool LinesPaneHasFocus() { return GetFocus() == App.LinesPane; }

void OpenFocusedLine() {
    OpenLine(static_cast<int>(SendMessageA(App.LinesPane, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
}
