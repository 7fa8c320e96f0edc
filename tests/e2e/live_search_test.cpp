// A search of a hundred thousand files, made by a ctest fixture: the window
// stays alive while it runs, Escape stops it, Enter starts another, and
// closing ends the program. Slow, and labelled so.
#include <gtest/gtest.h>
#include <stdio.h>

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

}  // namespace
