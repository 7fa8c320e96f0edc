#include "ui/main_window.h"

#include <shellapi.h>

#include "app_state.h"
#include "core/content_index_run.h"
#include "core/file_index.h"
#include "core/line_run.h"
#include "core/search_run.h"
#include "res/resource.h"
#include "settings/settings_file.h"
#include "ui/lines_pane.h"
#include "ui/main_layout.h"
#include "ui/options_dialog.h"
#include "ui/result_lines.h"
#include "ui/result_list.h"
#include "ui/shown_text.h"
#include "ui/splitter.h"

namespace {

// A dialog's own message loop translates no accelerators; its message
// filter is where a key reaches them first, from any of the main window's
// controls (and not from the options dialog, which has a loop of its own).
LRESULT CALLBACK FilterMessage(int code, WPARAM wParam, LPARAM lParam) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && message != nullptr &&
        (message->hwnd == App.MainWindow || IsChild(App.MainWindow, message->hwnd)) &&
        TranslateAcceleratorA(App.MainWindow, App.Accelerators, message))
        return TRUE;
    return CallNextHookEx(App.MessageFilter, code, wParam, lParam);
}

void StartAccelerators() {
    App.Accelerators = LoadAcceleratorsA(App.Instance, MAKEINTRESOURCEA(IDR_MAIN_ACCELERATORS));
    App.MessageFilter = SetWindowsHookExA(WH_MSGFILTER, FilterMessage, nullptr, GetCurrentThreadId());
}

void StopAccelerators() {
    if (App.MessageFilter != nullptr) UnhookWindowsHookEx(App.MessageFilter);
    App.MessageFilter = nullptr;
}

void PrepareOpenRequest() {
    OPENFILENAMEA& request = App.OpenRequest;
    ZeroMemory(&request, sizeof request);
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = App.MainWindow;
    request.lpstrFilter = kOpenFilter;
    request.lpstrFile = App.OpenFileName;
    request.nMaxFile = kFieldTextLimit;
    request.lpstrTitle = kOpenTitle;
}

// A search reads at most 254 characters of the field; holding no more, the
// field shows exactly what is searched for.
void PrepareQueryField() {
    SendDlgItemMessageA(App.MainWindow, IDC_MAIN_QUERY, EM_LIMITTEXT, kFieldTextLimit - 1, 0);
}

void ShowSearchingStatus() {
    lstrcpyA(App.StatusText, kSearchingText);
    lstrcatA(App.StatusText, App.Settings.Slots[Path1]);
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, App.StatusText);
}

INT_PTR OnInitDialog(HWND window) {
    App.MainWindow = window;
    PrepareOpenRequest();
    PrepareQueryField();
    SetWindowTextA(window, kCaptionText);
    App.MenuBar = GetMenu(window);
    App.CaseInsensitive = 1;
    StartAccelerators();
    AllocateFileIndex();
    LoadSettings();
    ShowSearchingStatus();
    BuildFileIndex();
    PrepareShownTexts();
    PrepareResultList();
    PrepareLinesPane();
    CaptureMainLayout();
    FitStatusParts();
    StartContentIndex();
    return TRUE;  // the focus goes to the query field
}

void ToggleCaseMode() {
    const char* caption = App.CaseInsensitive == 0 ? kCaseInsensitiveItem : kCaseSensitiveItem;
    App.CaseInsensitive = App.CaseInsensitive == 0 ? 1 : 0;
    ModifyMenuA(App.MenuBar, IDM_CASE, MF_BYCOMMAND | MF_STRING, IDM_CASE, caption);
    DrawMenuBar(App.MainWindow);
}

// A check item of the Match menu, shown as the mode is.
void ToggleMatchMode(bool& mode, UINT item) {
    mode = !mode;
    CheckMenuItem(App.MenuBar, item, MF_BYCOMMAND | (mode ? MF_CHECKED : MF_UNCHECKED));
}

// The rows' cells and the pane look for what this search looked for; a bad
// pattern leaves no rows.
void Search() {
    SearchCommand();
    StartLineRun(SearchRunning() ? &App.Matcher : nullptr);
}

// Enter raises the hidden default button wherever the focus is: on the
// result list it opens the focused row, on the pane the focused line,
// elsewhere it searches.
void OnEnter() {
    if (ResultListHasFocus())
        OpenFocusedResult();
    else if (LinesPaneHasFocus())
        OpenFocusedLine();
    else
        Search();
}

// Escape gives up an opening that waits for its line, or else stops the search.
void OnEscape() {
    if (!GiveUpOpening()) StopSearchCommand();
}

INT_PTR OnCommand(WORD id) {
    switch (id) {
    case IDC_MAIN_SEARCH:
        OnEnter();
        return TRUE;
    case IDM_OPTIONS:
        RunOptions();
        return TRUE;
    case IDM_REINDEX:
        EndSearch();  // a search of the old index stops, as for Enter
        BuildFileIndex();
        StartContentIndex();
        return TRUE;
    case IDM_EXIT:
        SendMessageA(App.MainWindow, WM_CLOSE, 0, 0);
        return TRUE;
    case IDM_CASE:
        ToggleCaseMode();
        return TRUE;
    case IDM_REGEX:
        ToggleMatchMode(App.RegularExpression, IDM_REGEX);
        return TRUE;
    case IDM_WHOLE_WORDS:
        ToggleMatchMode(App.WholeWords, IDM_WHOLE_WORDS);
        return TRUE;
    case IDM_ABOUT:
        ShellAboutA(App.MainWindow, kCaptionText, kAboutCredit, nullptr);
        return TRUE;
    case IDCANCEL:  // Escape
        OnEscape();
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnNotify(const NMHDR* header) {
    if (header->idFrom == IDC_MAIN_RESULTS) return OnResultListNotify(header);
    return header->idFrom == IDC_MAIN_LINES ? OnLinesPaneNotify(header) : FALSE;
}

// The splitter's bar is the dialog's own surface between the two lists.
INT_PTR OnMouse(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!OnSplitterMouse(message, wParam, lParam)) return FALSE;
    if (message == WM_SETCURSOR) SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

INT_PTR OnContextMenu(HWND from, LPARAM at) {
    if (from != App.ResultList) return FALSE;
    ShowResultMenu(at);
    return TRUE;
}

// A dialog over the main window (Options, the Open dialog over it, the About
// box) runs a message loop of its own, inside which the main window is
// closing: each is ended as its Cancel would end it, or the program would
// go on, hidden, until it was dismissed.
BOOL CALLBACK CloseDialog(HWND window, LPARAM) {
    char kind[8];
    if (window != App.MainWindow && IsWindowVisible(window) && GetClassNameA(window, kind, sizeof kind) > 0 &&
        lstrcmpA(kind, kDialogClass) == 0)
        SendMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

INT_PTR OnClose() {
    StopContentIndex();
    EnumThreadWindows(GetCurrentThreadId(), CloseDialog, 0);
    EndLineRun();
    EndSearch();
    StopAccelerators();
    ReleaseFileIndex();
    EndDialog(App.MainWindow, 0);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleSearchMessage(message, wParam, lParam) || HandleLineMessage(message, wParam, lParam)) return TRUE;
    LRESULT result;
    if (HandleIndexMessage(message, wParam, lParam, &result)) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_CONTEXTMENU:
        return OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
    case WM_SIZE:
        LayOutMainWindow(wParam);
        return TRUE;
    case WM_GETMINMAXINFO:
        LimitMainWindowSize(reinterpret_cast<MINMAXINFO*>(lParam));
        return TRUE;
    case WM_SETCURSOR:
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        return OnMouse(window, message, wParam, lParam);
    case WM_CLOSE:
        return OnClose();
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}
