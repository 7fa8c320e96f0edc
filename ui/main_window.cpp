#include "ui/main_window.h"

#include <shellapi.h>

#include "app_state.h"
#include "core/file_index.h"
#include "core/result_opener.h"
#include "core/search_run.h"
#include "res/resource.h"
#include "settings/settings_file.h"
#include "ui/options_dialog.h"

namespace {

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

void PrepareResultList() {
    App.ResultList = GetDlgItem(App.MainWindow, IDC_MAIN_RESULTS);
    App.Column.mask = LVCF_WIDTH | LVCF_TEXT;
    App.Column.cx = 174;
    App.Column.pszText = const_cast<char*>(kColumnTitle);
    SendMessageA(App.ResultList, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&App.Column));
    // The list takes the colour of the dialog.
    SendMessageA(App.ResultList, LVM_SETTEXTCOLOR, 0, GetSysColor(COLOR_WINDOWTEXT));
    SendMessageA(App.ResultList, LVM_SETBKCOLOR, 0, GetSysColor(COLOR_BTNFACE));
    SendMessageA(App.ResultList, LVM_SETTEXTBKCOLOR, 0, GetSysColor(COLOR_BTNFACE));
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
    AllocateFileIndex();
    LoadSettings();
    ShowSearchingStatus();
    BuildFileIndex();
    PrepareResultList();
    return TRUE;  // the focus goes to the query field
}

void ToggleCaseMode() {
    const char* caption = App.CaseInsensitive == 0 ? kCaseInsensitiveItem : kCaseSensitiveItem;
    App.CaseInsensitive = App.CaseInsensitive == 0 ? 1 : 0;
    ModifyMenuA(App.MenuBar, IDM_CASE, MF_BYCOMMAND | MF_STRING, IDM_CASE, caption);
    DrawMenuBar(App.MainWindow);
}

INT_PTR OnCommand(WORD id) {
    switch (id) {
    case IDC_MAIN_SEARCH:
        SearchCommand();
        return TRUE;
    case IDM_OPTIONS:
        DialogBoxParamA(App.Instance, MAKEINTRESOURCEA(IDD_OPTIONS), App.MainWindow, OptionsDialogProc, 0);
        return TRUE;
    case IDM_REINDEX:
        BuildFileIndex();
        return TRUE;
    case IDM_EXIT:
        SendMessageA(App.MainWindow, WM_CLOSE, 0, 0);
        return TRUE;
    case IDM_CASE:
        ToggleCaseMode();
        return TRUE;
    case IDM_ABOUT:
        ShellAboutA(App.MainWindow, kCaptionText, kAboutCredit, nullptr);
        return TRUE;
    default:
        return FALSE;
    }
}

// The row that has the focus is opened, read back whole however long it is.
INT_PTR OnResultDoubleClick() {
    static char path[kLongPathSize];
    int row = static_cast<int>(SendMessageA(App.ResultList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (row < 0) return TRUE;
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = path;
    item.cchTextMax = sizeof path;
    path[0] = '\0';
    SendMessageA(App.ResultList, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    OpenResult(path, 0);
    return TRUE;
}

INT_PTR OnNotify(const NMHDR* header) {
    if (header->idFrom == IDC_MAIN_RESULTS && header->code == static_cast<UINT>(NM_DBLCLK)) return OnResultDoubleClick();
    return FALSE;
}

INT_PTR OnClose() {
    ReleaseFileIndex();
    EndDialog(App.MainWindow, 0);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_CLOSE:
        return OnClose();
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}
