#include "core/long_path.h"

#include <string.h>

#include "app_state.h"

bool IsExtendedLengthPath(const WCHAR* path) {
    return path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\';
}

void ToExtendedLengthPath(const WCHAR* full, WCHAR* out) {
    if (IsExtendedLengthPath(full)) {
        lstrcpyW(out, full);
    } else if (full[0] == L'\\' && full[1] == L'\\') {
        lstrcpyW(out, L"\\\\?\\UNC\\");
        lstrcatW(out, full + 2);
    } else {
        lstrcpyW(out, L"\\\\?\\");
        lstrcatW(out, full);
    }
}

bool AnsiToExtendedLengthPath(const char* path, int length, WCHAR* scratch, WCHAR* out) {
    const int wideLength = length > 0 ? MultiByteToWideChar(CP_ACP, 0, path, length, scratch, kLongPathSize - 1) : 0;
    if (wideLength == 0) return false;
    scratch[wideLength] = L'\0';
    if (IsExtendedLengthPath(scratch)) {
        lstrcpyW(out, scratch);
        return true;
    }
    const DWORD fullLength = GetFullPathNameW(scratch, kLongPathSize, out, nullptr);
    if (fullLength == 0 || fullLength >= kLongPathSize) return false;
    lstrcpyW(scratch, out);
    ToExtendedLengthPath(scratch, out);
    return true;
}

namespace {

HANDLE OpenLongPath(const char* path, DWORD shareMode, DWORD flags) {
    struct Room {
        WCHAR scratch[kLongPathSize + 8];
        WCHAR prefixed[kLongPathSize + 8];
    };
    Room* room = static_cast<Room*>(GlobalAlloc(GPTR, sizeof(Room)));
    if (room == nullptr) return INVALID_HANDLE_VALUE;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (AnsiToExtendedLengthPath(path, lstrlenA(path), room->scratch, room->prefixed))
        file = CreateFileW(room->prefixed, GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    GlobalFree(room);
    return file;
}

}  // namespace

HANDLE OpenFileForReading(const char* path, DWORD shareMode, DWORD flags) {
    HANDLE file = strlen(path) >= MAX_PATH
                      ? OpenLongPath(path, shareMode, flags)
                      : CreateFileA(path, GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}
