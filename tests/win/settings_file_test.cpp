#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/settings_probe_runner.h"
#include "support/temp_folder.h"

namespace {

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class SettingsFileTest : public ::testing::Test {
protected:
    LoadedSettings RunAs(const std::string& exeName) { return RunSettingsProbe(folder / exeName); }

    void WriteIni(const std::string& name, const std::string& text) { folder.Write(name, text); }

    TempFolder folder;
};

TEST_F(SettingsFileTest, FirstRunWritesTheSixKeysInOrderWithTheDefaultPath) {
    LoadedSettings loaded = RunAs("vantrel.exe");
    EXPECT_EQ(loaded.file, folder / "vantrel.ini");
    EXPECT_EQ(loaded.slots[0], "\\korvan\\include\\*.inc");
    for (int slot = 1; slot < 6; ++slot) EXPECT_EQ(loaded.slots[slot], "") << slot;
    EXPECT_EQ(ReadFileBytes(folder / "vantrel.ini"),
              "[TRESKO]\r\nPath1=\\korvan\\include\\*.inc\r\nPath2=\r\nPath3=\r\nPath4=\r\nPath5=\r\nEditor=\r\n");
}

TEST_F(SettingsFileTest, AnExistingFileIsReadAsItIsWithoutTheDefault) {
    const std::string text = "[TRESKO]\r\nPath3=C:\\inc\\*.h\r\nEditor=C:\\Program Files\\ed\\ed.exe\r\n";
    WriteIni("vantrel.ini", text);
    LoadedSettings loaded = RunAs("vantrel.exe");
    EXPECT_EQ(loaded.slots[0], "");
    EXPECT_EQ(loaded.slots[2], "C:\\inc\\*.h");
    EXPECT_EQ(loaded.slots[5], "C:\\Program Files\\ed\\ed.exe");
    EXPECT_EQ(ReadFileBytes(folder / "vantrel.ini"), text);

    WriteIni("vantrel.ini", "[OTHER]\r\nPath1=C:\\x\\*.inc\r\n");
    EXPECT_EQ(RunAs("vantrel.exe").slots[0], "");
}

TEST_F(SettingsFileTest, ValuesAreReadUpTo254Characters) {
    const std::string whole(254, 'w');
    const std::string longer(300, 'l');
    WriteIni("vantrel.ini", "[TRESKO]\r\nPath1=" + whole + "\r\nPath2=" + longer + "\r\n");
    LoadedSettings loaded = RunAs("vantrel.exe");
    EXPECT_EQ(loaded.slots[0], whole);
    EXPECT_EQ(loaded.slots[1], longer.substr(0, 254));
}

TEST_F(SettingsFileTest, TheFileIsNamedAfterTheExecutable) {
    WriteIni("FINDER.ini", "[TRESKO]\r\nPath2=C:\\found\\*.inc\r\n");
    LoadedSettings upper = RunAs("FINDER.EXE");
    EXPECT_EQ(upper.file, folder / "FINDER.ini");
    EXPECT_EQ(upper.slots[1], "C:\\found\\*.inc");

    // A name without a three-character extension keeps its whole name.
    LoadedSettings bare = RunAs("locator");
    EXPECT_EQ(bare.file, folder / "locator.ini");
    EXPECT_EQ(bare.slots[0], "\\korvan\\include\\*.inc");
    EXPECT_NE(GetFileAttributesA((folder / "locator.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((folder / "loca.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((folder / "locaini").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
