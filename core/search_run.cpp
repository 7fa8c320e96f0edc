#include "core/search_run.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "app_state.h"
#include "core/ansi_lead_bytes.h"
#include "core/effects.h"
#include "core/index_format.h"
#include "core/search_engine.h"
#include "res/resource.h"
#include "ui/result_list.h"

namespace {

// --- On the engine's threads: post to the window, never send --------------

// Where a search's messages go. The engine's threads read this and nothing
// of App; the end message, the run's last, frees it.
struct SearchTarget {
    HWND window;
    UINT generation;
};

SearchTarget& TargetOf(void* context) { return *static_cast<SearchTarget*>(context); }

bool Post(const SearchTarget& target, UINT message, LPARAM lParam) {
    return PostMessageA(target.window, message, target.generation, lParam) != FALSE;
}

// A posted message owns what lParam points to. Progress that cannot be
// posted is dropped: the next file's follows soon.
void PostVisiting(void* context, const char* path) {
    const size_t size = strlen(path) + 1;
    char* copy = static_cast<char*>(malloc(size));
    if (copy == nullptr) return;
    memcpy(copy, path, size);
    if (!Post(TargetOf(context), WM_APP_SEARCH_PROGRESS, reinterpret_cast<LPARAM>(copy))) free(copy);
}

// While the window lives but its queue is full (10,000 messages), the
// engine keeps the rows and tries again; a window gone takes nothing more.
bool PostRows(void* context, RowBatch* batch) {
    const SearchTarget& target = TargetOf(context);
    if (Post(target, WM_APP_SEARCH_ROWS, reinterpret_cast<LPARAM>(batch))) return true;
    if (IsWindow(target.window)) return false;
    FreeRowBatch(batch);
    return true;
}

// On the delivering thread, so that the window stays alive meanwhile.
void SoundTone(void*, unsigned hertz) { PlayTone(hertz, 500); }

// Tried again until the window takes it, so that the search always ends there.
bool PostEnd(void* context, bool stopped) {
    SearchTarget* target = &TargetOf(context);
    const UINT message = stopped ? WM_APP_SEARCH_STOPPED : WM_APP_SEARCH_END;
    if (!Post(*target, message, static_cast<LPARAM>(GetTickCount())) && IsWindow(target->window)) return false;
    delete target;
    return true;
}

// --- On the window's thread ------------------------------------------------

void ShowStatus(const char* text, DWORD elapsed) {
    FormatDecimal(static_cast<int32_t>(elapsed), App.ElapsedText);
    lstrcpyA(App.StatusText, text);
    lstrcatA(App.StatusText, App.ElapsedText);
    lstrcatA(App.StatusText, kMillisecondsText);
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, App.StatusText);
}

// A search stopped by Escape stays current until its end comes: the rows it
// had put in order before the stop still reach the list.
bool IsCurrent(WPARAM generation) { return generation == App.SearchGeneration && App.Search != nullptr; }

void OnProgress(WPARAM generation, char* path) {
    if (IsCurrent(generation) && App.SearchShown) SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, path);
    free(path);
}

// A batch is drawn once, not once per row: a list that draws as each row
// comes in takes longer over a row than over reading its file. The next
// batch is asked for only now, so rows never pile up in the queue ahead of
// the user's keys.
void OnRows(WPARAM generation, RowBatch* batch) {
    if (IsCurrent(generation) && batch->count > 0)
        ListResultRows(batch->paths.data(), batch->count);
    FreeRowBatch(batch);
    if (IsCurrent(generation)) RowsTaken(App.Search);
}

// A run that stopped by itself, having no memory to go on, ends as Escape would.
void OnEnd(WPARAM generation, DWORD end, bool stopped) {
    if (!IsCurrent(generation)) return;  // already let go of by EndSearch
    ReleaseSearch(App.Search);
    App.Search = nullptr;
    if (!App.SearchShown) return;  // stopped by Escape: its status is shown already
    App.SearchShown = false;
    ShowStatus(stopped ? kSearchStoppedText : kSearchCompleteText, end - App.SearchStart);
}

// What the search looks for, in the modes of the menu: the ANSI query, in
// the other spellings that files hold text in too. The conversion cannot
// fail for a query that fits the field; should it, the query is still
// sought in its ANSI bytes. The last search has ended, and its rows are gone.
MatcherResult PrepareMatcher() {
    ReleaseQueryMatcher(App.Matcher);
    WCHAR* wide = reinterpret_cast<WCHAR*>(App.WideQuery);
    if (MultiByteToWideChar(CP_ACP, 0, App.Query, -1, wide, kTextSize) == 0) wide[0] = L'\0';
    return PrepareQueryMatcher(App.Query, App.WideQuery, AnsiLeadBytes(), App.CaseInsensitive == 1, App.WholeWords,
                               App.RegularExpression, App.Matcher, &App.MatcherError);
}

// " Pattern error at N: " and the library's own message, cut to the room.
void ShowPatternError() {
    char position[kDecimalTextSize];
    FormatDecimal(static_cast<int32_t>(App.MatcherError.position), position);
    lstrcpyA(App.StatusText, kPatternErrorText);
    lstrcatA(App.StatusText, position);
    lstrcatA(App.StatusText, ": ");
    const int used = lstrlenA(App.StatusText);
    lstrcpynA(App.StatusText + used, App.MatcherError.message.c_str(), static_cast<int>(sizeof App.StatusText) - used);
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, App.StatusText);
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
    EmptyResultList();
    RunSearch();
}

void RunSearch() {
    GetDlgItemTextA(App.MainWindow, IDC_MAIN_QUERY, App.Query, kFieldTextLimit);
    App.SearchStart = GetTickCount();
    SearchIndexedFiles();
}

void SearchIndexedFiles() {
    EndSearch();
    // A bad pattern searches nothing and says where the fault lies.
    const MatcherResult prepared = PrepareMatcher();
    if (prepared == kBadPattern) {
        ShowPatternError();
        return;
    }
    ShowFirstPath();
    ++App.SearchGeneration;
    SearchTarget* target = new (std::nothrow) SearchTarget{App.MainWindow, App.SearchGeneration};
    const SearchEvents events = {target, PostVisiting, PostRows, SoundTone, PostEnd, true};
    const int readers = App.SearchReaders > 0 ? App.SearchReaders : DefaultReaderCount();
    // A query too long to search searches no file, and so finds none.
    static const char kNoFiles[1] = "";
    const char* index = prepared == kMatcherReady ? App.FileIndex : kNoFiles;
    App.Search = target != nullptr ? StartSearch(index, App.Matcher, readers, events) : nullptr;
    App.SearchShown = App.Search != nullptr;
    // Without the memory or a thread to search with, nothing was searched: say so.
    if (App.Search == nullptr) {
        delete target;
        ShowStatus(kSearchStoppedText, GetTickCount() - App.SearchStart);
    }
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
    ReleaseSearch(App.Search);
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
    case WM_APP_SEARCH_STOPPED:
        OnEnd(wParam, static_cast<DWORD>(lParam), message == WM_APP_SEARCH_STOPPED);
        return true;
    default:
        return false;
    }
}
