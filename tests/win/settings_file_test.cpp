#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/executable_path.h"
#include "support/temp_folder.h"

namespace {

// What the probe printed: the settings file, then the six slots.
struct Loaded {
    std::string file;
    std::string slots[6];
};

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class SettingsFileTest : public ::testing::Test {
protected:
    // Copies the probe into the folder under the given name and runs it there.
    Loaded RunAs(const std::string& exeName) {
        std::string exe = folder / exeName;
        std::string probe = std::string(ExecutableDirectory()) + "settings_probe.exe";
        EXPECT_TRUE(CopyFileA(probe.c_str(), exe.c_str(), FALSE)) << probe;

        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE readEnd, writeEnd;
        CreatePipe(&readEnd, &writeEnd, &inherit, 0);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        PROCESS_INFORMATION process = {};
        std::string commandLine = "\"" + exe + "\"";
        Loaded loaded;
        if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &process)) {
            ADD_FAILURE() << "cannot start " << exe << ", error " << GetLastError();
            CloseHandle(readEnd);
            CloseHandle(writeEnd);
            return loaded;
        }
        CloseHandle(writeEnd);
        std::string output;
        char chunk[4096];
        DWORD got;
        while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) output.append(chunk, got);
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        CloseHandle(readEnd);

        std::istringstream lines(output);
        std::string line;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.compare(0, 5, "file=") == 0) loaded.file = line.substr(5);
            else if (line.size() >= 2 && line[0] >= '0' && line[0] <= '5' && line[1] == '=')
                loaded.slots[line[0] - '0'] = line.substr(2);
        }
        return loaded;
    }

    void WriteIni(const std::string& name, const std::string& text) { folder.Write(name, text); }

    TempFolder folder;
};

TEST_F(SettingsFileTest, FirstRunWritesTheSixKeysInOrderWithTheDefaultPath) {
    Loaded loaded = RunAs("vantrel.exe");
    EXPECT_EQ(loaded.file, folder / "vantrel.ini");
    EXPECT_EQ(loaded.slots[0], "\\korvan\\include\\*.inc");
    for (int slot = 1; slot < 6; ++slot) EXPECT_EQ(loaded.slots[slot], "") << slot;
    EXPECT_EQ(ReadFileBytes(folder / "vantrel.ini"),
              "[TRESKO]\r\nPath1=\\korvan\\include\\*.inc\r\nPath2=\r\nPath3=\r\nPath4=\r\nPath5=\r\nEditor=\r\n");
}

TEST_F(SettingsFileTest, AnExistingFileIsReadAsItIsWithoutTheDefault) {
    const std::string text = "[TRESKO]\r\nPath3=C:\\inc\\*.h\r\nEditor=C:\\Program Files\\ed\\ed.exe\r\n";
    WriteIni("vantrel.ini", text);
    Loaded loaded = RunAs("vantrel.exe");
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
    Loaded loaded = RunAs("vantrel.exe");
    EXPECT_EQ(loaded.slots[0], whole);
    EXPECT_EQ(loaded.slots[1], longer.substr(0, 254));
}

TEST_F(SettingsFileTest, TheFileIsNamedAfterTheExecutable) {
    WriteIni("FINDER.ini", "[TRESKO]\r\nPath2=C:\\found\\*.inc\r\n");
    Loaded upper = RunAs("FINDER.EXE");
    EXPECT_EQ(upper.file, folder / "FINDER.ini");
    EXPECT_EQ(upper.slots[1], "C:\\found\\*.inc");

    // A name without a three-character extension keeps its whole name.
    Loaded bare = RunAs("locator");
    EXPECT_EQ(bare.file, folder / "locator.ini");
    EXPECT_EQ(bare.slots[0], "\\korvan\\include\\*.inc");
    EXPECT_NE(GetFileAttributesA((folder / "locator.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((folder / "loca.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((folder / "locaini").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
