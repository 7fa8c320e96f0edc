#include "ui/main_layout.h"

#include "app_state.h"
#include "res/resource.h"
#include "ui/lines_pane.h"
#include "ui/result_list.h"
#include "ui/splitter.h"

namespace {

// How a control follows the window: its right edge keeps its distance from
// the window's right edge (its width grows) or the whole control does (it
// moves); likewise its bottom edge.
enum Follow { Stays, Stretches, Moves };

struct Anchor {
    int id;
    Follow across;
    Follow down;
};

// The result list and the lines pane stretch together: the splitter shares
// out their space between them.
const Anchor kAnchors[] = {
    {IDC_MAIN_QUERY_GROUP, Stretches, Stays},
    {IDC_MAIN_QUERY, Stretches, Stays},
    {IDC_MAIN_SEARCH, Moves, Stays},  // never shown; it stays under the field's right end
    {IDC_MAIN_RESULTS, Stretches, Stretches},
    {IDC_MAIN_LINES, Stretches, Stretches},
};
const int kAnchorCount = sizeof kAnchors / sizeof kAnchors[0];
const int kListAnchor = 3, kPaneAnchor = 4;

// Taken once, so repeated sizing cannot drift.
bool Captured;
SIZE OpeningClient;
SIZE OpeningWindow;
RECT OpeningPlace[kAnchorCount];
RECT OpeningShared;  // what the two lists share

void Shift(Follow how, int change, LONG* low, LONG* high) {
    if (how == Moves) *low += change;
    if (how != Stays) *high += change;
}

RECT PlaceFor(int i, int wider, int taller) {
    const bool split = i == kListAnchor || i == kPaneAnchor;
    RECT place = split ? OpeningShared : OpeningPlace[i];
    Shift(kAnchors[i].across, wider, &place.left, &place.right);
    Shift(kAnchors[i].down, taller, &place.top, &place.bottom);
    if (split) {
        RECT list, pane;
        PlaceSplitLists(place, &list, &pane);
        place = i == kListAnchor ? list : pane;
    }
    return place;
}

const UINT kMoveFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;

// All in one batch, so the window is redrawn once.
bool MoveTogether(int wider, int taller) {
    HDWP moves = BeginDeferWindowPos(kAnchorCount);
    for (int i = 0; i < kAnchorCount && moves != nullptr; ++i) {
        const RECT place = PlaceFor(i, wider, taller);
        moves = DeferWindowPos(moves, GetDlgItem(App.MainWindow, kAnchors[i].id), nullptr, place.left, place.top,
                               place.right - place.left, place.bottom - place.top, kMoveFlags);
    }
    return moves != nullptr && EndDeferWindowPos(moves);
}

}  // namespace

void FitStatusParts() {
    RECT client;
    GetClientRect(App.MainWindow, &client);
    int rightEdges[2] = {client.right - kIndexStatusWidth, -1};
    if (rightEdges[0] < 0) rightEdges[0] = 0;
    SendDlgItemMessageA(App.MainWindow, IDC_MAIN_STATUS, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(rightEdges));
}

void CaptureMainLayout() {
    RECT client, window;
    GetClientRect(App.MainWindow, &client);
    GetWindowRect(App.MainWindow, &window);
    OpeningClient = {client.right, client.bottom};
    OpeningWindow = {window.right - window.left, window.bottom - window.top};
    for (int i = 0; i < kAnchorCount; ++i) {
        RECT& place = OpeningPlace[i];
        GetWindowRect(GetDlgItem(App.MainWindow, kAnchors[i].id), &place);
        MapWindowPoints(nullptr, App.MainWindow, reinterpret_cast<POINT*>(&place), 2);
    }
    UnionRect(&OpeningShared, &OpeningPlace[kListAnchor], &OpeningPlace[kPaneAnchor]);
    PrepareSplitter(OpeningPlace[kListAnchor], OpeningPlace[kPaneAnchor]);
    Captured = true;
    // The template's places are only near the split: it is laid out now.
    LayOutMainWindow(SIZE_RESTORED);
}

void LayOutMainWindow(WPARAM kind) {
    if (!Captured || kind == SIZE_MINIMIZED) return;
    RECT client;
    GetClientRect(App.MainWindow, &client);
    const int wider = client.right - OpeningClient.cx;
    const int taller = client.bottom - OpeningClient.cy;
    if (!MoveTogether(wider, taller)) {
        for (int i = 0; i < kAnchorCount; ++i) {
            const RECT place = PlaceFor(i, wider, taller);
            SetWindowPos(GetDlgItem(App.MainWindow, kAnchors[i].id), nullptr, place.left, place.top,
                         place.right - place.left, place.bottom - place.top, kMoveFlags);
        }
    }
    // The status bar places itself at the bottom.
    SendDlgItemMessageA(App.MainWindow, IDC_MAIN_STATUS, WM_SIZE, 0, 0);
    FitStatusParts();
    FitResultColumns();
    FitLinesPaneColumns();
    // A group box paints no background of its own: where its old edge was,
    // only the dialog's repaint clears it.
    RedrawWindow(App.MainWindow, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void LimitMainWindowSize(MINMAXINFO* limits) {
    // Asked for before WM_INITDIALOG too, when there is nothing to go by yet.
    if (!Captured) return;
    limits->ptMinTrackSize.x = OpeningWindow.cx;
    limits->ptMinTrackSize.y = OpeningWindow.cy;
}
