#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app_state.h"
#include "settings/settings_file.h"
#include "support/settings_probe_runner.h"
#include "support/temp_folder.h"
#include "support/unix_files.h"

namespace {

using Slots = std::vector<std::string>;

const char kFirstRunFile[] =
    "[TRESKO]\r\nPath1=\\korvan\\include\\*.inc\r\nPath2=\r\nPath3=\r\nPath4=\r\nPath5=\r\nEditor=\r\n";

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileW(LongPathW(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    char chunk[4096];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}


// Reads the settings file as the program does at start-up, into slots that
// hold no terminator before.
class HostileSettingsTest : public ::testing::Test {
protected:
    void TearDown() override {
        App.SettingsFile[0] = '\0';
        memset(&App.Settings, 0, sizeof App.Settings);
    }

    void ReadFrom(const std::string& name, const std::string& bytes) {
        folder.Write(name, bytes);
        lstrcpyA(App.SettingsFile, (folder / name).c_str());
        memset(&App.Settings, 0xCC, sizeof App.Settings);
        ReadSettings();
    }

    Slots ReadSlots() const {
        Slots slots;
        for (const auto& slot : App.Settings.Slots)
            slots.push_back(memchr(slot, '\0', kFieldTextLimit) ? slot : "(not terminated)");
        return slots;
    }

    TempFolder folder;
};

TEST_F(HostileSettingsTest, FileFormsAreReadAsTheProfileFunctionsRead) {
    const std::string thousand(1000, 'L');
    const struct {
        const char* what;
        std::string bytes;
        Slots slots;
    } cases[] = {
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[TRESKO]\r\nPath1=C:\\kit\\*.inc\r\nEditor=C:\\caf\xC3\xA9.exe\r\n",
         {"C:\\kit\\*.inc", "", "", "", "", "C:\\caf\xE9.exe"}},
        {"LF line ends", "[TRESKO]\nPath1=C:\\a\\*.inc\nPath2=C:\\b\\*.h\n", {"C:\\a\\*.inc", "C:\\b\\*.h", "", "", "", ""}},
        {"CR line ends", "[TRESKO]\rPath1=C:\\a\\*.inc\rPath2=C:\\b\\*.h\r", {"C:\\a\\*.inc", "C:\\b\\*.h", "", "", "", ""}},
        {"CRLF and LF mixed, no final line end", "[TRESKO]\r\nPath1=C:\\a\\*.inc\nPath2=C:\\b\\*.h",
         {"C:\\a\\*.inc", "C:\\b\\*.h", "", "", "", ""}},
        {"quoted values lose one enclosing pair",
         "[TRESKO]\r\nPath1=\"C:\\a b\\*.inc\"\r\nPath2=\"unbalanced\r\nEditor=\"C:\\ed\\ed.exe\" -n\r\n",
         {"C:\\a b\\*.inc", "\"unbalanced", "", "", "", "\"C:\\ed\\ed.exe\" -n"}},
        {"spaces around keys and values", "[TRESKO]\r\n  Path1  =  C:\\a\\*.inc  \r\n",
         {"C:\\a\\*.inc", "", "", "", "", ""}},
        {"1,000 characters are cut to 254", "[TRESKO]\r\nPath1=" + thousand + "\r\nPath2=after\r\n",
         {thousand.substr(0, 254), "after", "", "", "", ""}},
        {"section and keys in another case", "[tresko]\r\nPATH1=x\r\neditor=y\r\n", {"x", "", "", "", "", "y"}},
        {"the first of a repeated key counts", "[TRESKO]\r\nPath1=first\r\nPath1=second\r\n",
         {"first", "", "", "", "", ""}},
        {"comments, and keys before the section",
         "Path1=before\r\n; Path2=comment\r\n[TRESKO]\r\n;Path3=comment\r\nPath4=C:\\c;d\\*.inc\r\n",
         {"", "", "", "C:\\c;d\\*.inc", "", ""}},
        {"an empty file", "", {"", "", "", "", "", ""}},
        {"a NUL byte ends what is read", std::string("[TRESKO]\r\nPath1=a\0b\r\nPath2=c\r\n", 27),
         {"a", "", "", "", "", ""}},
    };
    int row = 0;
    for (const auto& c : cases) {
        ReadFrom("form" + std::to_string(++row) + ".ini", c.bytes);
        EXPECT_EQ(ReadSlots(), c.slots) << c.what;
    }
}

// A few hundred files of pieces of the format mixed with random bytes, from
// a fixed seed: every value ends within its slot, and reading writes nothing.
TEST_F(HostileSettingsTest, GarbageFilesGiveTerminatedValuesAndStayUnchanged) {
    static const char* const pieces[] = {"[TRESKO]", "[tresko]", "[", "]",  "Path1=", "Path2=", "Path5", "Editor=",
                                         "=",        "\r\n",     "\n", "\r", ";",      "\"",     " ",     "\t"};
    uint32_t state = 0x2545F491u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int file = 0; file < 300; ++file) {
        std::string bytes;
        // Byte-order marks: UTF-8, and UTF-16 in both orders.
        const char* const marks[] = {"", "", "", "", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
        bytes += marks[next() % 7];
        for (int part = 0, parts = 1 + next() % 60; part < parts; ++part) {
            switch (next() % 4) {
            case 0:
            case 1:
                bytes += pieces[next() % (sizeof pieces / sizeof pieces[0])];
                break;
            case 2:
                for (int i = 0, n = 1 + next() % 40; i < n; ++i) bytes += static_cast<char>(next());
                break;
            default:
                bytes += std::string(200 + next() % 1300, static_cast<char>('A' + next() % 26));
                break;
            }
        }
        const std::string name = "garbage" + std::to_string(file) + ".ini";
        ReadFrom(name, bytes);
        for (int slot = 0; slot < kSlotCount; ++slot)
            ASSERT_NE(memchr(App.Settings.Slots[slot], '\0', kFieldTextLimit), nullptr)
                << "garbage file " << file << ", slot " << slot << " not terminated within 255 bytes";
        ASSERT_EQ(ReadBytes(folder / name), bytes) << "garbage file " << file << " was changed by reading it";
    }
}

// Wine starts a program only from a path under MAX_PATH, 259 characters at
// most, and then reports it whole. A name without an extension gains ".ini",
// which makes its settings file's path too long for the profile functions:
// given one, Wine writes some file in the working directory instead.
TEST_F(HostileSettingsTest, AnExecutablePathOfMoreThan255CharactersKeepsItsSettingsBesideIt) {
    const std::string name = "vantrel.exe";
    const std::string deepName = std::string(MAX_PATH - 1 - name.size() - folder.Path().size() - 1, 'd') + "\\";
    folder.MakeFolder(deepName);
    const std::string deep = folder / deepName;
    ASSERT_EQ((deep + name).size(), static_cast<size_t>(MAX_PATH - 1));
    TempFolder workingDirectory;

    const struct {
        std::string exe, settingsFile;
    } runs[] = {{deep + name, deep + "vantrel.ini"}, {deep + "vantrel_exe", deep + "vantrel_exe.ini"}};
    for (const auto& run : runs) {
        const std::string& exe = run.exe;
        const std::string& settingsFile = run.settingsFile;
        LoadedSettings firstRun = RunSettingsProbe(exe, workingDirectory.Path());
        EXPECT_EQ(firstRun.slots[0], "\\korvan\\include\\*.inc") << exe;
        EXPECT_EQ(ReadBytes(settingsFile), kFirstRunFile) << settingsFile;
        // The name it goes by, short where need be, is that same file.
        EXPECT_LT(firstRun.file.size(), static_cast<size_t>(MAX_PATH)) << firstRun.file;
        EXPECT_EQ(ReadBytes(firstRun.file), kFirstRunFile) << firstRun.file;
        EXPECT_EQ(FolderEntries(workingDirectory.Path()), std::vector<std::string>{});

        folder.Write(settingsFile.substr(folder.Path().size()), "[TRESKO]\r\nPath2=C:\\found\\*.inc\r\n");
        LoadedSettings nextRun = RunSettingsProbe(exe, workingDirectory.Path());
        EXPECT_EQ(nextRun.slots[0], "") << exe;
        EXPECT_EQ(nextRun.slots[1], "C:\\found\\*.inc") << exe;
        EXPECT_EQ(FolderEntries(workingDirectory.Path()), std::vector<std::string>{});
    }
}

}  // namespace
