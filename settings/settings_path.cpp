#include "settings/settings_path.h"

#include <string.h>

#include "core/index_format.h"

bool SettingsPathFromExecutable(char* path, size_t size, LeadByteTable leadBytes) {
    const size_t length = strlen(path);
    const size_t nameLength = length - SearchPathDirectoryLength(path, leadBytes);
    // "a.b.c" has the one-character extension "c": its last three are not one.
    if (nameLength >= 4 && path[length - 4] == '.' && memchr(path + length - 3, '.', 3) == nullptr) {
        memcpy(path + length - 3, "ini", 3);
        return true;
    }
    if (nameLength == 0 || length + 5 > size) return false;
    memcpy(path + length, ".ini", 5);
    return true;
}
