#include "settings/settings_file.h"

#include "app_state.h"
#include "core/executable_path.h"
#include "settings/settings_path.h"

void LoadSettings() {
    // With no location of its own the tool must not read or write elsewhere:
    // an empty name would reach the system's own profile files, and
    // SaveSettings refuses it.
    if (!GetExecutablePath(App.SettingsFile, sizeof App.SettingsFile) ||
        !SettingsPathFromExecutable(App.SettingsFile, sizeof App.SettingsFile))
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
