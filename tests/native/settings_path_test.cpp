#include "settings/settings_path.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

TEST(SettingsPath, BesideTheExecutable) {
    const struct {
        const char* executable;
        const char* settings;
    } cases[] = {
        {"C:\\tools\\finder.exe", "C:\\tools\\finder.ini"},
        {"C:\\TOOLS\\FINDER.EXE", "C:\\TOOLS\\FINDER.ini"},
        {"Z:\\a.b\\vantrel.exe", "Z:\\a.b\\vantrel.ini"},
        // No three-character extension: the name is kept whole.
        {"C:\\tools\\finder", "C:\\tools\\finder.ini"},
        {"C:\\tools\\fi", "C:\\tools\\fi.ini"},
        {"C:\\tools\\finder.ex", "C:\\tools\\finder.ex.ini"},
        {"C:\\my.dir\\tool", "C:\\my.dir\\tool.ini"},
        {"C:\\x\\.exe", "C:\\x\\.ini"},
        // The last three characters hold a dot, so they are no extension.
        {"C:\\tools\\finder.1.2", "C:\\tools\\finder.1.2.ini"},
        {"C:\\tools\\a..bc", "C:\\tools\\a..bc.ini"},
    };
    for (const auto& c : cases) {
        char path[64];
        strcpy(path, c.executable);
        ASSERT_TRUE(SettingsPathFromExecutable(path, sizeof path)) << c.executable;
        EXPECT_STREQ(path, c.settings) << c.executable;
    }
}

TEST(SettingsPath, RefusedWhenItCannotBeFormedWhole) {
    char exact[19] = "C:\\tools\\finder";  // one byte short of ".ini"
    EXPECT_FALSE(SettingsPathFromExecutable(exact, 19));
    EXPECT_STREQ(exact, "C:\\tools\\finder");
    char fits[20] = "C:\\tools\\finder";
    EXPECT_TRUE(SettingsPathFromExecutable(fits, sizeof fits));
    char folder[16] = "C:\\tools\\";
    EXPECT_FALSE(SettingsPathFromExecutable(folder, sizeof folder));
}
