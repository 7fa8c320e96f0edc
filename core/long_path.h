#pragma once
#include <windows.h>

// The form of a full wide path that the wide file calls take at any length:
// "\\?\C:\..." or, for a share, "\\?\UNC\server\...". A path already in that
// form is kept as it is. out holds at least lstrlenW(full) + 8 characters.
void ToExtendedLengthPath(const WCHAR* full, WCHAR* out);
bool IsExtendedLengthPath(const WCHAR* path);

// The same from length bytes of an ANSI path, relative or full: converted
// from the ANSI code page and made full first, since the extended form is
// taken literally ("..", "." and "/" mean nothing in it). scratch and out hold
// kLongPathSize + 8 characters each. False when the path does not fit.
bool AnsiToExtendedLengthPath(const char* path, int length, WCHAR* scratch, WCHAR* out);

// Opens an existing file by an ANSI path of any length for reading: the ANSI
// call below MAX_PATH, the wide one with the \\?\ prefix from there on.
// Anything but a disk file (a device such as 'aux.h', whose reads can block
// for ever; a pipe) is closed again and gives INVALID_HANDLE_VALUE. Its room
// for the wide path is its own, so any thread may call it.
HANDLE OpenFileForReading(const char* path, DWORD shareMode, DWORD flags);
