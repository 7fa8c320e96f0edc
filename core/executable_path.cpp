#include "core/executable_path.h"

#include <windows.h>

#include "app_state.h"
#include "core/ansi_lead_bytes.h"
#include "core/index_format.h"

bool GetExecutablePath(char* out, size_t size) {
    DWORD length = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
    if (length == 0 || length >= size) {
        if (size > 0) out[0] = '\0';
        return false;
    }
    return true;
}

const char* ExecutableDirectory() {
    static char directory[kLongPathSize];
    if (directory[0] == '\0' && GetExecutablePath(directory, sizeof directory))
        directory[SearchPathDirectoryLength(directory, AnsiLeadBytes())] = '\0';
    return directory;
}
