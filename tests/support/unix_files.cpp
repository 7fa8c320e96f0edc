#include "support/unix_files.h"

#include <windows.h>

std::string UnixFilesFolder() {
    char value[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("VANTREL_UNIX_FILES", value, sizeof value);
    if (length == 0 || length >= sizeof value) return std::string();
    std::string folder = value;
    if (folder[0] == '/') {
        for (char& c : folder)
            if (c == '/') c = '\\';
        folder = "Z:" + folder;
    }
    if (folder.back() != '\\') folder += '\\';
    return folder;
}
