#include "core/long_path.h"

void ToExtendedLengthPath(const WCHAR* full, WCHAR* out) {
    if (full[0] == L'\\' && full[1] == L'\\') {
        lstrcpyW(out, L"\\\\?\\UNC\\");
        lstrcatW(out, full + 2);
    } else {
        lstrcpyW(out, L"\\\\?\\");
        lstrcatW(out, full);
    }
}
