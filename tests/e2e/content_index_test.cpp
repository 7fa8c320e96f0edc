// The content index, as a user meets it: on a kit of three thousand files
// a search reads only the files that may hold the query, in the modes of the
// Match menu too, the answer stays a full scan's after files change, and the
// index is kept beside the settings file, read back at the next start and
// rebuilt when damaged.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/content_index_run.h"
#include "program_test.h"
#include "res/resource.h"
#include "support/unix_files.h"

namespace {

// The status bar's second part, read through memory borrowed in the program.
std::string IndexStatus(const Program& program) {
    HWND bar = program.Item(IDC_MAIN_STATUS);
    const LRESULT length = SendMessageA(bar, SB_GETTEXTLENGTHA, 1, 0);
    RemoteBlock block(program.Process(), 256);
    if (LOWORD(length) >= 255 || block.Address() == nullptr) return "?";
    SendMessageA(bar, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(block.Address()));
    char text[256] = {};
    block.Read(text, LOWORD(length) + 1);
    return text;
}

// How many files the last search was given to read.
size_t SearchedFiles(const Program& program) {
    return static_cast<size_t>(SendMessageA(program.Main(), WM_APP_SEARCHED_FILES, 0, 0));
}

// A folder's names that match, in the order the system lists them.
Lines Listed(const std::string& folder, const char* mask) {
    Lines names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + mask).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.cFileName[0] != '.') names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

std::string Utf16(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) bytes += std::string(1, c) + '\0';
    return bytes;
}

class ContentIndexTest : public ProgramTest {
protected:
    // data\t00 to t29, a hundred files each, "needle" in five of t10;
    // data\rc\ two UTF-16 files, "needle" in one.
    void SetUp() override {
        char name[32];
        for (int folder = 0; folder < 30; ++folder) {
            snprintf(name, sizeof name, "t%02d", folder);
            data.MakeFolder(name);
            for (int file = 0; file < 100; ++file) {
                snprintf(name, sizeof name, "t%02d\\f%03d.inc", folder, file);
                const bool needle = folder == 10 && file % 10 == 0 && file >= 10 && file <= 50;
                data.Write(name, std::string("; ") + name + (needle ? " holds a needle\r\n" : " holds hay\r\n"));
            }
        }
        data.MakeFolder("rc");
        data.Write("rc\\u.rc", Utf16("MENU needle"));
        data.Write("rc\\v.rc", Utf16("MENU hay"));
        exe = Install("vantrel_recording.exe");
        index = home / "vantrel_recording.idx";
        home.Write("vantrel_recording.ini", SettingsText({data / "**\\*.inc", data / "rc\\*.rc"}));
    }

    // Until the worker has read every file, and the file it keeps is there.
    void WaitIndexed(const Program& program, const char* status = " Indexed 3002 files") {
        ASSERT_TRUE(WaitUntil([&] { return IndexStatus(program) == status; }, 120000))
            << IndexStatus(program);
        ASSERT_TRUE(WaitUntil([&] { return Exists(index); }, 10000));
    }

    // The tree's files in the order of a walk: each folder's in listing order.
    Rows Walk() const {
        Rows paths;
        for (const std::string& folder : Listed(data.Path(), "t*"))
            for (const std::string& name : Listed(data / folder + "\\", "*.inc"))
                paths.push_back(data / folder + "\\" + name);
        return paths;
    }

    std::string exe, index;
};

TEST_F(ContentIndexTest, ASearchReadsOnlyWhatMayHoldTheQueryAndAnswersAsAFullScan) {
    const Rows walk = Walk();
    ASSERT_EQ(walk.size(), 3000u);
    Rows needles;
    for (const std::string& path : walk)
        if (ReadBytes(path).find("needle") != std::string::npos) needles.push_back(path);
    ASSERT_EQ(needles.size(), 5u);
    {
        Program program(exe);
        ASSERT_TRUE(program.Started());
        WaitIndexed(program);
        Rows want = needles;
        want.push_back(data / "rc\\u.rc");
        EXPECT_EQ(program.Search("needle"), want);
        EXPECT_EQ(SearchedFiles(program), 6u) << "the files that may hold it";
        EXPECT_EQ(program.Search("NEEDLE"), want);
        EXPECT_EQ(program.Search("ne").size(), 6u);
        EXPECT_EQ(SearchedFiles(program), 3002u) << "a query of two letters rules out nothing";
        EXPECT_EQ(program.Search("nothing of it"), Rows{});
        EXPECT_EQ(SearchedFiles(program), 0u);
        // Whole words read the files that hold the text; a pattern those
        // that hold what every match of it must (here not the UTF-16 file).
        program.Command(IDM_WHOLE_WORDS);
        EXPECT_EQ(program.Search("needle"), want);
        EXPECT_EQ(SearchedFiles(program), 6u);
        program.Command(IDM_WHOLE_WORDS);
        program.Command(IDM_REGEX);
        EXPECT_EQ(program.Search("holds a need[l]e"), needles);
        EXPECT_EQ(SearchedFiles(program), 5u);
        program.Command(IDM_REGEX);
        // The left part of the status line is what it always was.
        EXPECT_EQ(program.Status().rfind(" Search complete in ", 0), 0u) << program.Status();
        program.Command(IDM_EXIT);
        DWORD code;
        ASSERT_TRUE(program.WaitForExit(&code));
    }

    // The next start reads the file back: nothing changed, so nothing is
    // read again, and the file is not written again.
    BackdateFile(index);
    const FILETIME backdated = LastWrite(index);
    {
        Program program(exe);
        ASSERT_TRUE(program.Started());
        WaitIndexed(program);
        EXPECT_EQ(program.Search("needle").size(), 6u);
        EXPECT_EQ(SearchedFiles(program), 6u);
        Sleep(500);
        const FILETIME now = LastWrite(index);
        EXPECT_EQ(CompareFileTime(&backdated, &now), 0) << "written again with nothing changed";

        // Changed, emptied, deleted and locked files, in two folders of the tree.
        const std::string t10 = data / "t10\\";
        data.Write("t10\\f060.inc", "now a needle too");
        data.Write("t10\\f010.inc", "");
        ASSERT_TRUE(DeleteFileA((t10 + "f020.inc").c_str()));
        data.Write("t25\\f001.inc", "needle, late");
        HANDLE locked = CreateFileA((t10 + "f030.inc").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(locked, INVALID_HANDLE_VALUE);
        Sleep(1000);  // for the system to report the changes
        // A full scan: what each file of the index holds now; the one
        // deleted and the one locked cannot be opened.
        Rows want;
        Lines tones;
        for (const std::string& path : walk) {
            if (path == t10 + "f020.inc" || path == t10 + "f030.inc")
                tones.insert(tones.end(), {"tone 200", "tone 300", "tone 400"});
            else if (ReadBytes(path).find("needle") != std::string::npos)
                want.push_back(path);
        }
        want.push_back(data / "rc\\u.rc");
        DeleteFileA((home / "effects.log").c_str());
        EXPECT_EQ(program.Search("needle"), want);
        EXPECT_EQ(SplitLines(ReadBytes(home / "effects.log")), tones) << "the locked file sounds its tones";
        EXPECT_LE(SearchedFiles(program), 10u);
        CloseHandle(locked);

        // Read again by the worker, the files are ruled in or out by the index
        // again: the five that hold it now, the UTF-16 one, and the deleted
        // one, which sounds its tones at every search.
        WaitIndexed(program);
        want.insert(want.begin() + 0, t10 + "f030.inc");
        Rows found;
        EXPECT_TRUE(WaitUntil([&] {
            found = program.Search("needle");
            return SearchedFiles(program) == 7u;
        }, 20000)) << SearchedFiles(program);
        std::sort(found.begin(), found.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(found, want);
        program.Command(IDM_EXIT);
        DWORD code;
        ASSERT_TRUE(program.WaitForExit(&code));
    }

    // A damaged index file is not trusted: it is read whole again and written anew.
    std::string damaged = ReadBytes(index);
    ASSERT_GT(damaged.size(), 100u);
    damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x55);
    home.Write("vantrel_recording.idx", damaged);
    {
        Program program(exe);
        ASSERT_TRUE(program.Started());
        WaitIndexed(program, " Indexed 3001 files");
        EXPECT_TRUE(WaitUntil([&] { return ReadBytes(index) != damaged; }, 20000));
        EXPECT_EQ(program.Search("needle").size(), 6u);
        EXPECT_EQ(SearchedFiles(program), 6u) << "the deleted file is no longer listed";
    }
}

// Where nothing can be written beside the program, the index lives in memory.
TEST_F(ContentIndexTest, InAReadOnlyFolderTheIndexLivesInMemory) {
    const std::string folder = UnixFilesFolder() + "folder\\";
    ASSERT_TRUE(Exists(folder + "vantrel.exe")) << "run through ctest, whose fixture makes the folder";
    if (Exists(UnixFilesFolder() + "still-writable")) GTEST_SKIP() << "this system cannot make a folder read-only";
    TempFolder workingDirectory;
    Program program(folder + "vantrel.exe", workingDirectory.Path());
    ASSERT_TRUE(program.Started());
    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    SetWindowTextRemote(GetDlgItem(options, IDC_OPT_PATH1), data / "**\\*.inc");
    SetWindowTextRemote(GetDlgItem(options, IDC_OPT_PATH2), data / "rc\\*.rc");
    ClickAndWaitClosed(options, IDC_OPT_OK);
    ASSERT_TRUE(WaitUntil([&] { return IndexStatus(program) == " Indexed 3002 files"; }, 120000))
        << IndexStatus(program);
    EXPECT_EQ(program.Search("needle").size(), 6u);
    EXPECT_EQ(SearchedFiles(program), 6u);
    EXPECT_EQ(FolderEntries(folder), Lines{"vantrel.exe"});
}

}  // namespace
