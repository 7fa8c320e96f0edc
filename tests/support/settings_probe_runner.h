#pragma once

#include <string>

// What settings_probe.exe printed: the settings file it chose, then the six slots.
struct LoadedSettings {
    std::string file;
    std::string slots[6];
};

// Copies the probe to exe (a path of any length) and runs it there, in the
// given working directory or else the test's own; fails the test when it
// cannot start.
LoadedSettings RunSettingsProbe(const std::string& exe, const std::string& workingDirectory = std::string());
