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
    EndSearch();  // its readers walk the index about to be rebuilt
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
bool ChooseFile() {
    App.OpenRequest.hwndOwner = App.OptionsWindow;
    return GetOpenFileNameA(&App.OpenRequest) != FALSE;
}

}  // namespace

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
