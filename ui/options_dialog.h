#pragma once

#include <windows.h>

INT_PTR CALLBACK OptionsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// "&Options": the dialog over the live settings, unless it is open already.
void RunOptions();

// Fill one settings slot from a file chosen in the Open dialog, then refresh
// every field from the slots.
void BrowseForPattern(int slot);
void BrowseForProgram(int slot);
