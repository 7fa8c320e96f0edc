#include "app_state.h"
#include "res/resource.h"
#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    App.Instance = GetModuleHandleA(nullptr);
    InitCommonControls();
    DialogBoxParamA(App.Instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ExitProcess(0);
}
