#include "core/long_path.h"

#include <string.h>

#include "app_state.h"

void ToExtendedLengthPath(const WCHAR* full, WCHAR* out) {
    if (full[0] == L'\\' && full[1] == L'\\') {
        lstrcpyW(out, L"\\\\?\\UNC\\");
        lstrcatW(out, full + 2);
    } else {
        lstrcpyW(out, L"\\\\?\\");
        lstrcatW(out, full);
    }
}

namespace {

// The path made full and converted from the ANSI code page, then prefixed.
// The room for that is the caller's own, so that any thread may open.
HANDLE OpenLongPath(const char* path, DWORD shareMode, DWORD flags) {
    struct Room {
        WCHAR wide[kLongPathSize];
        WCHAR full[kLongPathSize];
        WCHAR prefixed[kLongPathSize + 8];
    };
    Room* room = static_cast<Room*>(GlobalAlloc(GPTR, sizeof(Room)));
    if (room == nullptr) return INVALID_HANDLE_VALUE;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, room->wide, kLongPathSize) != 0) {
        const DWORD length = GetFullPathNameW(room->wide, kLongPathSize, room->full, nullptr);
        if (length != 0 && length < kLongPathSize) {
            ToExtendedLengthPath(room->full, room->prefixed);
            file = CreateFileW(room->prefixed, GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | flags, nullptr);
        }
    }
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
