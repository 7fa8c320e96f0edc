// A search of a hundred thousand files, made by a ctest fixture: the window
// stays alive while it runs, Escape stops it, Enter starts another, and
// closing ends the program; with each file listed twice, two hundred
// thousand rows cost the window a moment. Slow, and labelled so.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <regex>
#include <string>

#include "program_test.h"
#include "res/resource.h"
#include "support/unix_files.h"

namespace {

const std::regex kStopped(" Search stopped after [0-9]+ms");

class LiveSearchTest : public ProgramTest {
protected:
    void SetUp() override {
        many = UnixFilesFolder() + "many\\";
        ASSERT_NE(many, "many\\") << "run through ctest, whose fixture makes the files";
        for (int i = 0; i < 100000; i += 7) {
            char name[32];
            snprintf(name, sizeof name, "file%06d.inc", i);
            needles.push_back(many + name);
        }
        // Another path, after the many files: a query only it holds is
        // listed once they have all been read.
        data.Write("zebra.inc", "zebra");
        exe = Install("vantrel_recording.exe");
        home.Write("vantrel_recording.ini", SettingsText({many + "*.inc", data / "*.inc"}));
    }

    static void Report(const char* what, DWORD ms) {
        printf("  %s: %lu ms\n", what, static_cast<unsigned long>(ms));
        fflush(stdout);
    }

    // Path1 and Path2 name the same files, every one of which holds "hay":
    // a search for it lists each file twice.
    Rows TwiceListed(const Program& program) const {
        EXPECT_TRUE(WaitUntil([&] { return program.Status().rfind(" Search complete in ", 0) == 0; }, 600000))
            << program.Status();
        EXPECT_EQ(program.RowCount(), 200000);
        return {program.Cell(0, 0), program.Cell(99999, 0), program.Cell(100000, 0), program.Cell(199999, 0)};
    }

    std::string many, exe;
    Rows needles;
};

TEST_F(LiveSearchTest, TheWindowAnswersWhileSearchingAndEscapeStopsKeepingTheRowsFound) {
    Program program(exe);
    ASSERT_TRUE(program.Started());
    program.StartSearch("needle");
    DWORD slowest = 0;
    for (int i = 0; i < 5; ++i) {
        const DWORD asked = GetTickCount();
        EXPECT_TRUE(program.Answers(1000)) << "no answer within a second, time " << i;
        slowest = std::max(slowest, GetTickCount() - asked);
        // The status line shows a file being read.
        EXPECT_EQ(program.Status().rfind(many, 0), 0u) << program.Status();
        Sleep(200);
    }
    Report("the slowest of five answers during a search", slowest);
    ASSERT_TRUE(WaitUntil([&] { return program.RowCount() >= 10; })) << "no rows while searching";

    const DWORD escape = GetTickCount();
    program.Press(program.Item(IDC_MAIN_QUERY), VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return std::regex_match(program.Status(), kStopped); })) << program.Status();
    Report("stopping a search", GetTickCount() - escape);
    // The rows the search had put in order before the stop follow it at once.
    Sleep(300);
    const Rows found = program.Rows();
    ASSERT_LT(found.size(), needles.size()) << "the search ended before it was stopped";
    EXPECT_EQ(found, Rows(needles.begin(), needles.begin() + static_cast<long>(found.size())));
    Sleep(300);
    EXPECT_EQ(program.RowCount(), static_cast<int>(found.size())) << "rows came after the stop";

    // With no search running, Escape does nothing.
    const std::string stopped = program.Status();
    program.Press(program.Item(IDC_MAIN_QUERY), VK_ESCAPE);
    EXPECT_TRUE(program.Answers(1000));
    EXPECT_EQ(program.Status(), stopped);
    EXPECT_EQ(program.RowCount(), static_cast<int>(found.size()));

    // Enter during a search stops it and starts the new one, whose rows alone are shown.
    program.StartSearch("needle");
    ASSERT_TRUE(WaitUntil([&] { return program.RowCount() >= 1; }));
    const DWORD restart = GetTickCount();
    program.StartSearch("zebra");
    EXPECT_EQ(program.WaitForSearchEnd(180000), Rows{data / "zebra.inc"});
    Report("a new search over 100,000 files, started during another", GetTickCount() - restart);
    EXPECT_TRUE(ReadBytes(home / "effects.log").empty()) << "tones or programs: " << ReadBytes(home / "effects.log");
}

TEST_F(LiveSearchTest, ClosingDuringASearchEndsTheProgramWithCodeZeroAndTheSettingsUntouched) {
    KeepSettings(SettingsFileOf(exe));
    Program program(exe);
    ASSERT_TRUE(program.Started());
    program.StartSearch("needle");
    ASSERT_TRUE(WaitUntil([&] { return program.RowCount() >= 1; }));
    const DWORD close = GetTickCount();
    ExpectEndLeavingSettings(program, WM_SYSCOMMAND, SC_CLOSE);
    Report("closing during a search", GetTickCount() - close);
}

// The processor time the program's window thread has used: what an action
// costs the window, however busy the machine is.
DWORD WindowThreadMs(const Program& program) {
    FILETIME created, ended, kernel, user;
    if (!GetThreadTimes(program.Thread(), &created, &ended, &kernel, &user)) return 0;
    const ULONGLONG ticks = (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                            (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
    return static_cast<DWORD>(ticks / 10000);
}

// The longest the window took to answer over the next `ms`, asked every
// 10 ms from an action's start: how long the action held it.
DWORD SlowestAnswerOver(const Program& program, DWORD ms) {
    DWORD slowest = 0;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(10)) {
        const DWORD asked = GetTickCount();
        EXPECT_TRUE(program.Answers(60000));
        slowest = std::max(slowest, GetTickCount() - asked);
    }
    return slowest;
}

// With two hundred thousand rows listed, selecting them all, a new search
// and closing each cost the window a moment. Wine's list control selects
// each row in turn, which takes it a tenth of a second or two here; a
// virtual list on Windows selects them all as one range.
TEST_F(LiveSearchTest, TwoHundredThousandRowsLeaveTheWindowQuick) {
    home.Write("vantrel_recording.ini", SettingsText({many + "*.inc", many + "*.inc"}));
    KeepSettings(SettingsFileOf(exe));
    const Rows ends = {many + "file000000.inc", many + "file099999.inc", many + "file000000.inc",
                       many + "file099999.inc"};
    {
        Program program(exe);
        ASSERT_TRUE(program.Started());
        HWND list = program.Item(IDC_MAIN_RESULTS);
        program.StartSearch("hay");
        ASSERT_EQ(TwiceListed(program), ends);

        program.Focus(IDC_MAIN_RESULTS);
        DWORD before = WindowThreadMs(program);
        program.PressWithControl('A');
        const DWORD slowest = SlowestAnswerOver(program, 500);
        EXPECT_TRUE(WaitUntil([&] { return SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 200000; }));
        DWORD used = WindowThreadMs(program) - before;
        Report("Ctrl+A on 200,000 rows: the slowest answer", slowest);
        Report("  the window thread's processor time", used);
        EXPECT_LT(used, 500u);

        before = WindowThreadMs(program);
        const DWORD start = GetTickCount();
        ExpectEndLeavingSettings(program, WM_SYSCOMMAND, SC_CLOSE);
        Report("closing with 200,000 rows listed, until the program has ended", GetTickCount() - start);
        used = WindowThreadMs(program) - before;
        Report("  the window thread's processor time", used);
        EXPECT_LT(used, 100u);
    }
    // A query no file holds: the new search adds no rows of its own to the time.
    Program program(exe);
    ASSERT_TRUE(program.Started());
    program.StartSearch("hay");
    ASSERT_EQ(TwiceListed(program), ends);
    SetWindowTextRemote(program.Item(IDC_MAIN_QUERY), "zebra");
    const DWORD before = WindowThreadMs(program);
    program.Press(program.Item(IDC_MAIN_QUERY), VK_RETURN);
    const DWORD slowest = SlowestAnswerOver(program, 500);
    EXPECT_EQ(program.RowCount(), 0) << "no new search";
    const DWORD used = WindowThreadMs(program) - before;
    Report("a new search over 200,000 rows: the slowest answer", slowest);
    Report("  the window thread's processor time", used);
    EXPECT_LT(used, 100u);
    EXPECT_TRUE(ReadBytes(home / "effects.log").empty()) << "tones or programs: " << ReadBytes(home / "effects.log");
}

// Sparse: the holes read as zeros and take no disk.
bool MakeSparseFile(const std::string& path, LONGLONG size, LONGLONG at, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER place, end;
    place.QuadPart = at;
    end.QuadPart = size;
    DWORD written = 0;
    const bool made = SetFilePointerEx(file, place, nullptr, FILE_BEGIN) &&
                      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                      written == bytes.size() && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return made;
}

// The lines worker reads a file of 100,000 hits for the pane, and a hit
// 4 GiB into a file, while the window answers; an opening waits for that
// line, and Escape gives it up.
TEST_F(LiveSearchTest, TheWindowAnswersWhileTheLinesOfA4GiBFileAreRead) {
    std::string hits;
    for (int i = 1; i <= 100000; ++i) hits += "needle " + std::to_string(i) + "\r\n";
    data.Write("hits.inc", hits);
    data.Write("zebra.inc", "");  // no longer holds the query
    const std::string sparse = data / "sparse.inc";
    ASSERT_TRUE(MakeSparseFile(sparse, (4LL << 30) + (64 << 20), (4LL << 30) + (64 << 20) - 100, "needle"));
    home.Write("vantrel_recording.ini", SettingsText({data / "*.inc"}));
    Program program(exe);
    ASSERT_TRUE(program.Started());
    program.StartSearch("needle");
    EXPECT_EQ(program.WaitForSearchEnd(600000), (Rows{data / "hits.inc", sparse}));
    HWND list = program.Item(IDC_MAIN_RESULTS);

    // The pane of 100,000 hits, from the focus moving to its row.
    program.SelectRows({1});
    DWORD start = GetTickCount();
    program.SelectRows({0});
    ASSERT_TRUE(WaitUntil([&] { return program.PaneRowCount() == 10001; }, 120000)) << program.PaneRowCount();
    Report("the pane filled for a file of 100,000 hits", GetTickCount() - start);
    EXPECT_EQ(program.PaneCell(10000, 1), "\x85 and 90000 more lines");

    // The 4 GiB file's lines: its cells stay empty while they are read.
    program.SelectRows({1});
    start = GetTickCount();
    EXPECT_EQ(program.CellNow(1, 1), "");
    // Enter on the row waits for its line; Escape gives the opening up.
    program.Focus(IDC_MAIN_RESULTS);
    program.Press(list, VK_RETURN);
    Sleep(300);
    program.Press(list, VK_ESCAPE);
    const DWORD slowest = SlowestAnswerOver(program, 3000);
    Report("the slowest answer while the lines of a 4 GiB file are read", slowest);
    EXPECT_LT(slowest, 100u);
    ASSERT_TRUE(WaitUntil([&] { return program.PaneRowCount() == 1; }, 600000));
    Report("the pane filled for a hit 4 GiB into a file", GetTickCount() - start);
    EXPECT_EQ(program.PaneCell(0, 0) + " " + program.PaneCell(0, 1), "1 needle");
    EXPECT_EQ(program.Cell(1, 1), "1");
    EXPECT_EQ(program.Cell(1, 3), "1");
    EXPECT_TRUE(ReadBytes(home / "effects.log").empty()) << "opened after Escape: " << ReadBytes(home / "effects.log");
    // Not given up, the opening comes once the line is found.
    program.Press(list, VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return !ReadBytes(home / "effects.log").empty(); }, 600000));
    EXPECT_EQ(ReadBytes(home / "effects.log"), "start " + sparse + "|(none)\n");
}

}  // namespace
