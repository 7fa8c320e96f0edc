#pragma once
#include <windows.h>

// The form of a full wide path that the wide file calls take at any length:
// "\\?\C:\..." or, for a share, "\\?\UNC\server\...". out holds at least
// lstrlenW(full) + 8 characters.
void ToExtendedLengthPath(const WCHAR* full, WCHAR* out);
