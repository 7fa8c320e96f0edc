#include "ui/marked_cells.h"

namespace {

HFONT Bold;

// As the list draws a selected row: highlighted while it has the focus.
bool DrawnSelected(HWND list, int row) {
    const UINT state = static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_SELECTED));
    return (state & LVIS_SELECTED) != 0 &&
           (GetFocus() == list || (GetWindowLongA(list, GWL_STYLE) & LVS_SHOWSELALWAYS) != 0);
}

// One run of the text from `left`, cut with "..." where the cell ends;
// the new left, or right once the cell is full.
int DrawRun(HDC dc, const char* text, int length, int left, const RECT& cell) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, length, &size);
    RECT room = {left, cell.top, cell.right, cell.bottom};
    DrawTextA(dc, text, length, &room, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    return left + size.cx < cell.right ? left + static_cast<int>(size.cx) : cell.right;
}

void DrawCell(const NMLVCUSTOMDRAW& draw, const ShownText& shown) {
    HWND list = draw.nmcd.hdr.hwndFrom;
    const int row = static_cast<int>(draw.nmcd.dwItemSpec);
    RECT cell = {};
    cell.top = draw.iSubItem;
    cell.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    const bool selected = DrawnSelected(list, row);
    const COLORREF back = selected ? GetSysColor(COLOR_HIGHLIGHT)
                                   : static_cast<COLORREF>(SendMessageA(list, LVM_GETTEXTBKCOLOR, 0, 0));
    HDC dc = draw.nmcd.hdc;
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, &cell, brush);
    DeleteObject(brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                              : static_cast<COLORREF>(SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0)));
    // The list's own margin before a cell's text.
    const int margin = 3 * GetSystemMetrics(SM_CXEDGE);
    cell.left += margin;
    cell.right -= margin;
    HFONT normal = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, normal);
    int left = cell.left;
    size_t at = 0;
    for (size_t m = 0; m <= shown.markCount && left < cell.right; ++m) {
        const size_t begin = m < shown.markCount ? shown.marks[m].begin : shown.length;
        SelectObject(dc, normal);
        left = DrawRun(dc, shown.text + at, static_cast<int>(begin - at), left, cell);
        if (m == shown.markCount || left >= cell.right) break;
        SelectObject(dc, Bold != nullptr ? Bold : normal);
        left = DrawRun(dc, shown.text + begin, static_cast<int>(shown.marks[m].end - begin), left, cell);
        at = shown.marks[m].end;
    }
    SelectObject(dc, old);
}

}  // namespace

void PrepareMarkedCells(HWND list) {
    if (Bold != nullptr) return;
    LOGFONTA face = {};
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
    if (font == nullptr || GetObjectA(font, sizeof face, &face) == 0) return;
    face.lfWeight = FW_BOLD;
    Bold = CreateFontIndirectA(&face);
}

LRESULT DrawMarkedCells(NMLVCUSTOMDRAW* draw, int textSubItem, const ShownText* (*textOf)(int row)) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        if (draw->iSubItem != textSubItem) return CDRF_DODEFAULT;
        const ShownText* shown = textOf(static_cast<int>(draw->nmcd.dwItemSpec));
        if (shown == nullptr || shown->markCount == 0) return CDRF_DODEFAULT;
        DrawCell(*draw, *shown);
        return CDRF_SKIPDEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}
