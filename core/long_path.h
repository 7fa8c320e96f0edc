#pragma once
#include <windows.h>

// The form of a full wide path that the wide file calls take at any length:
// "\\?\C:\..." or, for a share, "\\?\UNC\server\...". out holds at least
// lstrlenW(full) + 8 characters.
void ToExtendedLengthPath(const WCHAR* full, WCHAR* out);

// Opens an existing file by an ANSI path of any length for reading: the ANSI
// call below MAX_PATH, the wide one with the \\?\ prefix from there on.
// Anything but a disk file (a device such as 'aux.h', whose reads can block
// for ever; a pipe) is closed again and gives INVALID_HANDLE_VALUE.
HANDLE OpenFileForReading(const char* path, DWORD shareMode, DWORD flags);
