#include "core/effects.h"

#include <shellapi.h>

void PlayTone(DWORD frequency, DWORD duration) { Beep(frequency, duration); }

void StartProgram(HWND owner, const char* file, const char* parameters) {
    ShellExecuteA(owner, nullptr, file, parameters, nullptr, SW_SHOW);
}
