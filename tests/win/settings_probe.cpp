// Loads the settings as the program does at start-up and prints what it got,
// so that a test can run it under any executable name beside any file.
#include <stdio.h>

#include "app_state.h"
#include "settings/settings_file.h"

int main() {
    LoadSettings();
    printf("file=%s\n", App.SettingsFile);
    for (int slot = 0; slot < kSlotCount; ++slot) printf("%d=%s\n", slot, App.Settings.Slots[slot]);
    return 0;
}
