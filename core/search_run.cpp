#include "core/search_run.h"

#include "app_state.h"
#include "core/effects.h"
#include "core/search_engine.h"
#include "res/resource.h"

namespace {

// The status line follows the search at a pace the eye can follow: a path is
// shown and painted at once when this long has passed since the last one.
// Setting it for every file costs more than reading a small file, and without
// the paint nothing of it would appear before the search ends anyway.
const DWORD kStatusInterval = 100;
DWORD LastShown;

void ShowSearchedPath(const char* path) {
    const DWORD now = GetTickCount();
    if (now - LastShown < kStatusInterval) return;
    LastShown = now;
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, path);
    UpdateWindow(GetDlgItem(App.MainWindow, IDC_MAIN_STATUS));
}

void AddResultRow(const char* path) {
    App.Row.mask = LVIF_TEXT;
    App.Row.iItem = App.HitCount;
    App.Row.iSubItem = 0;
    App.Row.pszText = const_cast<char*>(path);
    SendMessageA(App.ResultList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&App.Row));
    ++App.HitCount;
}

void SoundTone(unsigned hertz) { PlayTone(hertz, 500); }

const SearchEvents kProgramEvents = {ShowSearchedPath, AddResultRow, SoundTone};

// The ANSI query in the other spellings that files hold text in. The
// conversion cannot fail for a query that fits the field; should it, the
// query is still sought in its ANSI bytes.
bool PrepareSpellings() {
    WCHAR* wide = reinterpret_cast<WCHAR*>(App.WideQuery);
    if (MultiByteToWideChar(CP_ACP, 0, App.Query, -1, wide, kTextSize) == 0) wide[0] = L'\0';
    return PrepareQuerySpellings(App.Query, App.WideQuery, App.Spellings);
}

}  // namespace

void SearchCommand() {
    App.HitCount = 0;
    SendMessageA(App.ResultList, LVM_DELETEALLITEMS, 0, 0);
    // Nothing is painted before the search ends; without redrawing, a row
    // costs the list no work beyond storing it.
    SendMessageA(App.ResultList, WM_SETREDRAW, FALSE, 0);
    RunSearch();
    SendMessageA(App.ResultList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(App.ResultList, nullptr, TRUE);
}

void RunSearch() {
    GetDlgItemTextA(App.MainWindow, IDC_MAIN_QUERY, App.Query, kFieldTextLimit);
    DWORD start = GetTickCount();
    SearchIndexedFiles();
    DWORD elapsed = GetTickCount() - start;
    FormatDecimal(static_cast<int32_t>(elapsed), App.ElapsedText);
    lstrcpyA(App.StatusText, kSearchCompleteText);
    lstrcatA(App.StatusText, App.ElapsedText);
    lstrcatA(App.StatusText, kMillisecondsText);
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, App.StatusText);
}

void SearchIndexedFiles() {
    LastShown = GetTickCount() - kStatusInterval;  // the first file is always shown
    if (!PrepareSpellings()) return;
    SearchIndex(App.FileIndex, App.Spellings, App.CaseInsensitive == 1, App.FullPath, sizeof App.FullPath,
                kProgramEvents);
}
