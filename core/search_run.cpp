#include "core/search_run.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "app_state.h"
#include "core/content_index_run.h"
#include "core/effects.h"
#include "core/index_format.h"
#include "core/search_engine.h"
#include "res/resource.h"

namespace {

// --- On the engine's threads: post to the window, never send --------------

UINT_PTR GenerationOf(void* context) { return reinterpret_cast<UINT_PTR>(context); }

// A posted message owns what lParam points to: when it cannot be posted, the
// queue being full for a second, or the window gone, it is dropped here.
bool Post(UINT message, void* context, LPARAM lParam) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (PostMessageA(App.MainWindow, message, GenerationOf(context), lParam)) return true;
        if (!IsWindow(App.MainWindow)) return false;
        Sleep(10);
    }
    return false;
}

void PostVisiting(void* context, const char* path) {
    const size_t size = strlen(path) + 1;
    char* copy = static_cast<char*>(malloc(size));
    if (copy == nullptr) return;
    memcpy(copy, path, size);
    if (!Post(WM_APP_SEARCH_PROGRESS, context, reinterpret_cast<LPARAM>(copy))) free(copy);
}

void PostRows(void* context, RowBatch* batch) {
    if (!Post(WM_APP_SEARCH_ROWS, context, reinterpret_cast<LPARAM>(batch))) FreeRowBatch(batch);
}

// On the delivering thread, so that the window stays alive meanwhile.
void SoundTone(void*, unsigned hertz) { PlayTone(hertz, 500); }

void PostEnd(void* context, bool) { Post(WM_APP_SEARCH_END, context, static_cast<LPARAM>(GetTickCount())); }

// --- On the window's thread ------------------------------------------------

void ShowStatus(const char* text, DWORD elapsed) {
    FormatDecimal(static_cast<int32_t>(elapsed), App.ElapsedText);
    lstrcpyA(App.StatusText, text);
    lstrcatA(App.StatusText, App.ElapsedText);
    lstrcatA(App.StatusText, kMillisecondsText);
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, App.StatusText);
}

bool IsCurrent(WPARAM generation) { return generation == App.SearchGeneration && App.Search != nullptr; }

void AddResultRow(const char* path) {
    App.Row.mask = LVIF_TEXT;
    App.Row.iItem = App.HitCount;
    App.Row.iSubItem = 0;
    App.Row.pszText = const_cast<char*>(path);
    SendMessageA(App.ResultList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&App.Row));
    ++App.HitCount;
}

void OnProgress(WPARAM generation, char* path) {
    if (IsCurrent(generation) && App.SearchShown) SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, path);
    free(path);
}

// A batch is drawn once, not once per row: a list that draws as each row
// comes in takes longer over a row than over reading its file. The next
// batch is asked for only now, so rows never pile up in the queue ahead of
// the user's keys.
void OnRows(WPARAM generation, RowBatch* batch) {
    if (IsCurrent(generation) && App.SearchShown && batch->count > 0) {
        SendMessageA(App.ResultList, WM_SETREDRAW, FALSE, 0);
        const char* row = batch->paths.data();
        for (size_t i = 0; i < batch->count; ++i, row += strlen(row) + 1) AddResultRow(row);
        SendMessageA(App.ResultList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(App.ResultList, nullptr, TRUE);
    }
    FreeRowBatch(batch);
    if (IsCurrent(generation)) RowsTaken(App.Search);
}

void OnEnd(WPARAM generation, DWORD end) {
    if (!IsCurrent(generation)) return;  // already ended by EndSearch
    FinishSearch(App.Search);
    App.Search = nullptr;
    if (!App.SearchShown) return;  // stopped: its status is shown already
    App.SearchShown = false;
    ShowStatus(kSearchCompleteText, end - App.SearchStart);
}

// The ANSI query in the other spellings that files hold text in. The
// conversion cannot fail for a query that fits the field; should it, the
// query is still sought in its ANSI bytes.
bool PrepareSpellings() {
    WCHAR* wide = reinterpret_cast<WCHAR*>(App.WideQuery);
    if (MultiByteToWideChar(CP_ACP, 0, App.Query, -1, wide, kTextSize) == 0) wide[0] = L'\0';
    return PrepareQuerySpellings(App.Query, App.WideQuery, App.Spellings);
}

// The path of the index's first file, shown at once: the readers' own
// reports of what they read follow.
void ShowFirstPath() {
    IndexCursor cursor = StartIndexWalk(App.FileIndex);
    const char* name;
    if (NextIndexedFile(cursor, &name) &&
        ComposeFullPath(cursor.directory, cursor.directoryLength, name, App.FullPath, sizeof App.FullPath))
        SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, App.FullPath);
}

}  // namespace

void SearchCommand() {
    EndSearch();
    App.HitCount = 0;
    SendMessageA(App.ResultList, LVM_DELETEALLITEMS, 0, 0);
    RunSearch();
}

void RunSearch() {
    GetDlgItemTextA(App.MainWindow, IDC_MAIN_QUERY, App.Query, kFieldTextLimit);
    App.SearchStart = GetTickCount();
    SearchIndexedFiles();
}

void SearchIndexedFiles() {
    EndSearch();
    ShowFirstPath();
    ++App.SearchGeneration;
    const SearchEvents events = {reinterpret_cast<void*>(static_cast<UINT_PTR>(App.SearchGeneration)), PostVisiting,
                                 PostRows, SoundTone, PostEnd, true};
    const int readers = App.SearchReaders > 0 ? App.SearchReaders : DefaultReaderCount();
    // A query too long to search searches no file, and so finds none.
    static const char kNoFiles[1] = "";
    const char* index = PrepareSpellings() ? FilesToSearch(App.Spellings) : kNoFiles;
    App.Search = StartSearch(index, App.Spellings, App.CaseInsensitive == 1, readers, events);
    App.SearchShown = App.Search != nullptr;
    // Without a thread to search on, nothing was searched: say so.
    if (App.Search == nullptr) ShowStatus(kSearchStoppedText, GetTickCount() - App.SearchStart);
}

void StopSearchCommand() {
    if (App.Search == nullptr || !App.SearchShown) return;
    StopSearch(App.Search);
    App.SearchShown = false;
    ShowStatus(kSearchStoppedText, GetTickCount() - App.SearchStart);
}

void EndSearch() {
    if (App.Search == nullptr) return;
    StopSearchCommand();
    FinishSearch(App.Search);
    App.Search = nullptr;
}

bool SearchRunning() { return App.Search != nullptr; }

bool HandleSearchMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_APP_SEARCH_PROGRESS:
        OnProgress(wParam, reinterpret_cast<char*>(lParam));
        return true;
    case WM_APP_SEARCH_ROWS:
        OnRows(wParam, reinterpret_cast<RowBatch*>(lParam));
        return true;
    case WM_APP_SEARCH_END:
        OnEnd(wParam, static_cast<DWORD>(lParam));
        return true;
    default:
        return false;
    }
}
