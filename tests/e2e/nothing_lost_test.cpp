#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "program_test.h"
#include "res/resource.h"
#include "support/unix_files.h"

namespace {

void ExpectCleanExit(const Program& program) {
    program.Command(IDM_EXIT);
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(&exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
}

class NothingLostTest : public ProgramTest {
protected:
    // Path1 to Path5, then Editor.
    static void SetFields(HWND options, const Lines& values) {
        for (size_t i = 0; i < values.size(); ++i)
            SetWindowTextRemote(GetDlgItem(options, IDC_OPT_PATH1 + static_cast<int>(i)), values[i]);
    }
    static Lines Fields(HWND options) {
        Lines fields;
        for (int id = IDC_OPT_PATH1; id <= IDC_OPT_EDITOR; ++id) fields.push_back(WindowText(GetDlgItem(options, id)));
        return fields;
    }
};

TEST_F(NothingLostTest, StartSearchReIndexCancelAndExitLeaveTheFileByteForByte) {
    data.Write("a.inc", "needle");
    const std::string exe = Install();
    const std::string settings = SettingsFileOf(exe);
    // Written by hand: comments, another program's section and key, LF line
    // ends, spaces, a quoted value, and no line end at the very end.
    const std::string text = "; my settings\n[OTHER]\r\nkey=value\r\n\r\n[TRESKO]\nPath1 = \"" + data / "*.inc" +
                             "\"\nPath2=\nEditor=C:\\ed\\ed.exe\r\nExtra=kept";
    home.Write("vantrel.ini", text);
    BackdateFile(settings);
    const FILETIME written = LastWrite(settings);

    Program program(exe);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Search("needle"), Rows{data / "a.inc"});
    program.Command(IDM_REINDEX);
    EXPECT_EQ(program.Search("needle"), Rows{data / "a.inc"});
    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(Fields(options), (Lines{data / "*.inc", "", "", "", "", "C:\\ed\\ed.exe"}));
    SetFields(options, {data / "other\\*.h", "C:\\x\\*.inc", "", "", "", "C:\\other.exe"});
    ClickAndWaitClosed(options, IDC_OPT_CANCEL);
    ExpectCleanExit(program);

    EXPECT_EQ(ReadBytes(settings), text);
    const FILETIME after = LastWrite(settings);
    EXPECT_EQ(CompareFileTime(&after, &written), 0) << "the settings file was written";
}

TEST_F(NothingLostTest, OkWith254CharacterValuesInAllSixFieldsRoundTripsThemExactly) {
    // Five real folders, their patterns 254 characters long, with the
    // characters that mean something in the file's format inside them.
    Lines values;
    Rows hits;
    for (int i = 1; i <= 5; ++i) {
        std::string name = "p" + std::to_string(i) + " a=b;c [d] #e,f'g ";
        name += std::string(254 - data.Path().size() - name.size() - 6, static_cast<char>('k' + i));
        ASSERT_NO_THROW(data.MakeFolder(name)) << "a folder of this name";
        data.Write(name + "\\hit.inc", "needle");
        values.push_back(data / (name + "\\*.inc"));
        hits.push_back(data / (name + "\\hit.inc"));
    }
    values.push_back("C:\\" + std::string(247, 'e') + ".exe");
    for (const std::string& value : values) ASSERT_EQ(value.size(), 254u) << value;
    const std::string exe = Install();
    home.Write("vantrel.ini", SettingsText({}));
    {
        Program program(exe);
        ASSERT_TRUE(program.Started());
        HWND options = OpenOptions(program);
        ASSERT_NE(options, nullptr);
        SetFields(options, values);
        ClickAndWaitClosed(options, IDC_OPT_OK);
        EXPECT_EQ(SplitLines(ReadBytes(SettingsFileOf(exe))),
                  SettingsLines({values.begin(), values.begin() + 5}, values[5]));
        EXPECT_EQ(program.Search("needle"), hits);
        ExpectCleanExit(program);
    }
    Program again(exe);
    ASSERT_TRUE(again.Started());
    EXPECT_EQ(again.Search("needle"), hits);
    HWND options = OpenOptions(again);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(Fields(options), values);
    ClickAndWaitClosed(options, IDC_OPT_CANCEL);
}

TEST_F(NothingLostTest, TheSettingsFileDeletedWhileRunningIsWrittenWholeByOk) {
    data.Write("a.inc", "needle");
    const std::string exe = Install();
    const std::string settings = SettingsFileOf(exe);
    home.Write("vantrel.ini", SettingsText({data / "*.inc", "", "C:\\third\\*.h"}, "C:\\ed.exe"));
    Program program(exe);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(DeleteFileA(settings.c_str()));

    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    ClickAndWaitClosed(options, IDC_OPT_OK);
    EXPECT_EQ(SplitLines(ReadBytes(settings)), SettingsLines({data / "*.inc", "", "C:\\third\\*.h"}, "C:\\ed.exe"));
    EXPECT_EQ(program.Search("needle"), Rows{data / "a.inc"});
}

// Made by unix_files.sh, read-only even for root: a folder holding the
// program, its data and a locked settings file, and a locked folder holding
// the program alone.
class ReadOnlyTest : public NothingLostTest {
protected:
    void SetUp() override {
        unix = UnixFilesFolder();
        ASSERT_FALSE(unix.empty()) << "run through ctest, whose fixture makes the folders";
        ASSERT_TRUE(Exists(unix + "file\\vantrel.exe")) << unix;
        if (Exists(unix + "still-writable")) GTEST_SKIP() << "this system cannot make a file read-only for its user";
        data.Write("b.inc", "needle");
    }

    // Ok with another search path: the program goes on with it, and the
    // working directory and the system's folder get no settings file.
    void ExpectOkKeptInMemory(Program& program) {
        HWND options = OpenOptions(program);
        ASSERT_NE(options, nullptr);
        SetFields(options, {data / "*.inc"});
        ClickAndWaitClosed(options, IDC_OPT_OK);
        EXPECT_EQ(program.Search("needle"), Rows{data / "b.inc"});
        EXPECT_EQ(FolderEntries(workingDirectory.Path()), Lines{});
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        EXPECT_FALSE(Exists(std::string(windows) + "\\vantrel.ini"));
    }

    std::string unix;
    TempFolder workingDirectory;
};

TEST_F(ReadOnlyTest, AReadOnlySettingsFileIsReadAndOkKeepsTheSettingsInMemory) {
    const std::string folder = unix + "file\\";
    const std::string before = ReadBytes(folder + "vantrel.ini");
    const Lines entries = FolderEntries(folder);
    Program program(folder + "vantrel.exe", workingDirectory.Path());
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Search("needle"), Rows{folder + "data\\a.inc"});
    ExpectOkKeptInMemory(program);
    ExpectCleanExit(program);
    EXPECT_EQ(ReadBytes(folder + "vantrel.ini"), before);
    // The folder itself may be written: the content index keeps its file there.
    Lines after = FolderEntries(folder);
    after.erase(std::remove(after.begin(), after.end(), "vantrel.idx"), after.end());
    EXPECT_EQ(after, entries);
}

TEST_F(ReadOnlyTest, InAReadOnlyFolderTheFirstStartKeepsTheDefaultInMemory) {
    const std::string folder = unix + "folder\\";
    Program program(folder + "vantrel.exe", workingDirectory.Path());
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Status(), " Searching \\korvan\\include\\*.inc");
    ExpectOkKeptInMemory(program);
    ExpectCleanExit(program);
    EXPECT_EQ(FolderEntries(folder), Lines{"vantrel.exe"});
}

// Declaring an execution level would turn off Windows' redirection of the
// writes to a protected folder, and the settings beside a program in
// Program Files could then never be saved. The visual styles stay.
TEST(ProgramImage, DeclaresNoExecutionLevelSoWritesToAProtectedFolderAreRedirected) {
    HMODULE image = LoadLibraryExA((BuildFolder() + "vantrel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC resource = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // the manifest
    ASSERT_NE(resource, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(image, resource)));
    const std::string manifest(text, SizeofResource(image, resource));
    FreeLibrary(image);
    EXPECT_EQ(manifest.find("requestedExecutionLevel"), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("trustInfo"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos)
        << manifest;
}

}  // namespace
