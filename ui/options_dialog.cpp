#include "ui/options_dialog.h"

#include "app_state.h"
#include "core/content_index_run.h"
#include "core/file_index.h"
#include "core/search_run.h"
#include "res/resource.h"
#include "settings/settings_file.h"
#include "ui/search_pattern.h"

namespace {

// Field IDC_OPT_PATH1 + i and button IDC_OPT_BROWSE1 + i belong to slot i.
void FillFields() {
    for (int slot = 0; slot < kSlotCount; ++slot)
        SetDlgItemTextA(App.OptionsWindow, IDC_OPT_PATH1 + slot, App.Settings.Slots[slot]);
}

// Ok reads 254 characters of a field; holding no more, a field saves
// exactly what it shows, and scrolling, it takes all of them.
void LimitFields() {
    for (int slot = 0; slot < kSlotCount; ++slot)
        SendDlgItemMessageA(App.OptionsWindow, IDC_OPT_PATH1 + slot, EM_LIMITTEXT, kFieldTextLimit - 1, 0);
}

INT_PTR OnInitDialog(HWND window) {
    App.OptionsWindow = window;
    LimitFields();
    FillFields();
    return TRUE;
}

INT_PTR EndOptions() {
    EndDialog(App.OptionsWindow, 0);
    return TRUE;
}

INT_PTR OnOk() {
    EndSearch();  // a search of the old index stops, as for Enter
    for (int slot = 0; slot < kSlotCount; ++slot)
        GetDlgItemTextA(App.OptionsWindow, IDC_OPT_PATH1 + slot, App.Settings.Slots[slot], kFieldTextLimit);
    SaveSettings();
    BuildFileIndex();
    StartContentIndex();
    return EndOptions();
}

INT_PTR OnCommand(WORD id) {
    if (id >= IDC_OPT_BROWSE1 && id < IDC_OPT_BROWSE1 + kPathSlotCount) {
        BrowseForPattern(Path1 + (id - IDC_OPT_BROWSE1));
        return TRUE;
    }
    switch (id) {
    case IDC_OPT_OK:
        return OnOk();
    case IDC_OPT_CANCEL:
    case IDCANCEL:  // Escape
        return EndOptions();
    case IDC_OPT_BROWSE_EDITOR:
        BrowseForProgram(Editor);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK OptionsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_CLOSE:
    case WM_DESTROY:
        return EndOptions();
    default:
        return FALSE;
    }
}

namespace {

// Owned by the options dialog, which stays disabled meanwhile: a second browse
// started under the first would share its request and file buffer.
// Windows' Open dialog makes the chosen file's folder the current directory,
// whatever its flags say, and a search path such as \inc\*.inc is read on
// the current drive: the directory is put back, whatever the outcome (wide,
// so that a folder outside the code page comes back as it was).
bool ChooseFile() {
    static WCHAR kept[kLongPathSize];
    const DWORD length = GetCurrentDirectoryW(kLongPathSize, kept);
    App.OpenRequest.hwndOwner = App.OptionsWindow;
    const bool chosen = GetOpenFileNameA(&App.OpenRequest) != FALSE;
    if (length > 0 && length < kLongPathSize) SetCurrentDirectoryW(kept);
    return chosen;
}

}  // namespace

void RunOptions() {
    // A second command posted behind the first reaches the main window while
    // the dialog is up: one dialog at a time.
    if (App.OptionsWindow != nullptr) return;
    DialogBoxParamA(App.Instance, MAKEINTRESOURCEA(IDD_OPTIONS), App.MainWindow, OptionsDialogProc, 0);
    App.OptionsWindow = nullptr;
}

// The chosen file stands as a sample of the files to search. The slot is
// written at once; the settings file only by a later Ok.
void BrowseForPattern(int slot) {
    if (!ChooseFile()) return;
    DeriveSearchPattern(App.OpenFileName, App.Settings.Slots[slot], kTextSize);
    FillFields();
}

void BrowseForProgram(int slot) {
    if (!ChooseFile()) return;
    lstrcpynA(App.Settings.Slots[slot], App.OpenFileName, kTextSize);
    FillFields();
}
