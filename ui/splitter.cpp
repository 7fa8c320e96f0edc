#include "ui/splitter.h"

#include <windowsx.h>
#include <commctrl.h>

#include "app_state.h"
#include "ui/lines_pane.h"
#include "ui/pane_split.h"
#include "ui/result_list.h"

namespace {

int Share = kOpeningShare;
int Bar;    // the bar's height, as the template left it between the lists
int Least;  // three rows' height
RECT Shared;
bool Dragging;
int Grip;  // where in the bar the drag took it

// The height of `rows` of the list's rows: a virtual list is given a row
// for a moment to measure it.
int RowsHeight(HWND list, int rows) {
    SendMessageA(list, LVM_SETITEMCOUNT, 1, 0);
    RECT row = {};
    row.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    SendMessageA(list, LVM_SETITEMCOUNT, 0, 0);
    return rows * (row.bottom - row.top);
}

RECT BarRect() {
    RECT list, pane;
    PlaceSplitLists(Shared, &list, &pane);
    return {Shared.left, list.bottom, Shared.right, pane.top};
}

bool OverBar(POINT at) {
    const RECT bar = BarRect();
    return PtInRect(&bar, at) != FALSE;
}

// The lists move as the bar does.
void MoveLists() {
    RECT list, pane;
    PlaceSplitLists(Shared, &list, &pane);
    HDWP moves = BeginDeferWindowPos(2);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (moves != nullptr)
        moves = DeferWindowPos(moves, App.ResultList, nullptr, list.left, list.top, list.right - list.left,
                               list.bottom - list.top, flags);
    if (moves != nullptr)
        moves = DeferWindowPos(moves, App.LinesPane, nullptr, pane.left, pane.top, pane.right - pane.left,
                               pane.bottom - pane.top, flags);
    if (moves == nullptr || !EndDeferWindowPos(moves)) {
        SetWindowPos(App.ResultList, nullptr, list.left, list.top, list.right - list.left, list.bottom - list.top, flags);
        SetWindowPos(App.LinesPane, nullptr, pane.left, pane.top, pane.right - pane.left, pane.bottom - pane.top, flags);
    }
    FitResultColumns();
    FitLinesPaneColumns();
    // The bar is the dialog's own background between them.
    InvalidateRect(App.MainWindow, &Shared, TRUE);
}

void Drag(int y) {
    const int shared = Shared.bottom - Shared.top;
    const int share = ShareOf(shared, Bar, y - Grip - Shared.top);
    if (share == Share) return;
    Share = share;
    MoveLists();
}

void EndDrag() {
    Dragging = false;
    if (GetCapture() == App.MainWindow) ReleaseCapture();
}

}  // namespace

void PrepareSplitter(const RECT& list, const RECT& pane) {
    Bar = pane.top - list.bottom;
    Least = RowsHeight(App.LinesPane, 3);
}

void PlaceSplitLists(const RECT& shared, RECT* list, RECT* pane) {
    Shared = shared;
    const SplitHeights heights = SplitShared(shared.bottom - shared.top, Bar, Share, Least);
    *list = {shared.left, shared.top, shared.right, shared.top + heights.list};
    *pane = {shared.left, shared.bottom - heights.pane, shared.right, shared.bottom};
}

bool OnSplitterMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_SETCURSOR: {
        POINT cursor;
        GetCursorPos(&cursor);
        ScreenToClient(App.MainWindow, &cursor);
        if (reinterpret_cast<HWND>(wParam) != App.MainWindow || (!Dragging && !OverBar(cursor))) return false;
        SetCursor(LoadCursor(nullptr, IDC_SIZENS));
        return true;
    }
    case WM_LBUTTONDOWN:
        if (!OverBar(at)) return false;
        Dragging = true;
        Grip = at.y - BarRect().top;
        SetCapture(App.MainWindow);
        return true;
    case WM_MOUSEMOVE:
        if (!Dragging) return false;
        // A move with the button up comes after a release that was not seen.
        if ((wParam & MK_LBUTTON) == 0) EndDrag();
        else Drag(at.y);
        return true;
    case WM_LBUTTONUP:
        if (!Dragging) return false;
        Drag(at.y);
        EndDrag();
        return true;
    case WM_CAPTURECHANGED:
        Dragging = false;
        return false;
    default:
        return false;
    }
}
