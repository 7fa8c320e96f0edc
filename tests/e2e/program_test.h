#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "program_driver.h"
#include "support/temp_folder.h"

using Rows = std::vector<std::string>;
using Lines = std::vector<std::string>;

std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);

// Lines without their line ends; blank lines at the end do not count.
Lines SplitLines(const std::string& text);

// A settings file as the program writes it: the section, then the six keys.
Lines SettingsLines(const Lines& paths, const std::string& editor = "");
std::string SettingsText(const Lines& paths, const std::string& editor = "");

FILETIME LastWrite(const std::string& path);
// Far in the past, so that any write by the program shows in the time.
void BackdateFile(const std::string& path);

// Each test runs its own copy of a program, so the settings file beside it
// is the test's own, and keeps its data in a folder apart.
class ProgramTest : public ::testing::Test {
protected:
    std::string Install(const std::string& exe = "vantrel.exe") const;
    static std::string SettingsFileOf(const std::string& exe) { return exe.substr(0, exe.size() - 3) + "ini"; }

    HWND OpenOptions(const Program& program) const;
    static void ClickAndWaitClosed(HWND dialog, int button);

    // Backdates the settings file and remembers it as it stands, so that
    // ExpectEndLeavingSettings can tell whether the program wrote it.
    void KeepSettings(const std::string& settings);
    // Ends the program by the message: it must leave with code 0 and the
    // kept settings file byte for byte and unwritten.
    void ExpectEndLeavingSettings(const Program& program, UINT message, WPARAM wParam) const;

    TempFolder home;
    TempFolder data;

private:
    std::string keptSettings_, keptBytes_;
    FILETIME keptWrite_ = {};
};
