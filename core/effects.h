#pragma once

#include <windows.h>

// What the tool does that cannot be seen on screen goes through here, so a
// test build can link a recorder in place of the system's effects.

void PlayTone(DWORD frequency, DWORD duration);

// Starts a program, or opens a document with its associated program when
// parameters is null.
void StartProgram(HWND owner, const char* file, const char* parameters);
