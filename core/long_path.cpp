#include "core/long_path.h"

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
