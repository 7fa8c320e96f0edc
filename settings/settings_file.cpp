#include "settings/settings_file.h"

#include <string.h>

#include "app_state.h"
#include "core/ansi_lead_bytes.h"
#include "core/executable_path.h"
#include "core/index_format.h"
#include "core/long_path.h"
#include "settings/settings_path.h"

namespace {

// The short form of the folder that ends at folderLength, asked for with the
// prefix that allows any length and given back without it; false if none.
bool ShortFolder(const char* path, size_t folderLength, char* out, size_t outSize) {
    static char folder[kLongPathSize];
    static WCHAR wide[kLongPathSize];
    static WCHAR prefixed[kLongPathSize + 8];
    static WCHAR shortForm[kLongPathSize + 8];
    memcpy(folder, path, folderLength);
    folder[folderLength] = '\0';
    if (MultiByteToWideChar(CP_ACP, 0, folder, -1, wide, kLongPathSize) == 0) return false;
    const bool extended = IsExtendedLengthPath(wide);
    const bool unc = !extended && wide[0] == L'\\' && wide[1] == L'\\';
    ToExtendedLengthPath(wide, prefixed);
    DWORD length = GetShortPathNameW(prefixed, shortForm, kLongPathSize + 8);
    if (length == 0 || length >= kLongPathSize + 8) return false;
    // "\\?\UNC\server" becomes "\\server" again, "\\?\C:" becomes "C:"; a
    // folder written with the prefix keeps it.
    WCHAR* plain = extended ? shortForm : shortForm + 4;
    if (unc) {
        plain = shortForm + 6;
        plain[0] = L'\\';
    }
    BOOL lossy = FALSE;
    const bool utf8 = GetACP() == CP_UTF8;
    if (WideCharToMultiByte(CP_ACP, 0, plain, -1, out, static_cast<int>(outSize), nullptr, utf8 ? nullptr : &lossy) == 0)
        return false;
    return !lossy;
}

// The profile functions take a name of at most MAX_PATH - 1 characters; given
// a longer one, Wine writes some other file. A longer path goes by the short
// form of its folder; when even that does not fit, false.
bool FitProfileName(char* path) {
    if (strlen(path) < MAX_PATH) return true;
    static char shortPath[kLongPathSize];
    const size_t folderLength = SearchPathDirectoryLength(path, AnsiLeadBytes());
    if (!ShortFolder(path, folderLength, shortPath, sizeof shortPath)) return false;
    if (strlen(shortPath) + strlen(path + folderLength) >= MAX_PATH) return false;
    lstrcatA(shortPath, path + folderLength);
    lstrcpyA(path, shortPath);
    return true;
}

}  // namespace

void LoadSettings() {
    // With no location of its own the tool must not read or write elsewhere:
    // an empty name would reach the system's own profile files, and
    // SaveSettings refuses it. The settings then live in memory only.
    if (!GetExecutablePath(App.SettingsFile, sizeof App.SettingsFile) ||
        !SettingsPathFromExecutable(App.SettingsFile, sizeof App.SettingsFile, AnsiLeadBytes()) ||
        !FitProfileName(App.SettingsFile))
        App.SettingsFile[0] = '\0';
    if (App.SettingsFile[0] != '\0' && GetFileAttributesA(App.SettingsFile) != INVALID_FILE_ATTRIBUTES) {
        ReadSettings();
        return;
    }
    lstrcpyA(App.Settings.Slots[Path1], kDefaultPath1);
    SaveSettings();
}

void ReadSettings() {
    for (int slot = 0; slot < kSlotCount; ++slot)
        GetPrivateProfileStringA(kSettingsSection, kSettingsKeys[slot], "", App.Settings.Slots[slot], kFieldTextLimit,
                                 App.SettingsFile);
}

void SaveSettings() {
    if (App.SettingsFile[0] == '\0') return;
    for (int slot = 0; slot < kSlotCount; ++slot)
        WritePrivateProfileStringA(kSettingsSection, kSettingsKeys[slot], App.Settings.Slots[slot], App.SettingsFile);
}
