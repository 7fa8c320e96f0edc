#include "support/unix_files.h"

#include <string.h>
#include <windows.h>

#include <algorithm>

std::string FolderFromEnvironment(const char* variable) {
    char value[MAX_PATH];
    DWORD length = GetEnvironmentVariableA(variable, value, sizeof value);
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

std::string UnixFilesFolder() { return FolderFromEnvironment("VANTREL_UNIX_FILES"); }

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}
