#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "app_state.h"
#include "core/search_engine.h"
#include "core/search_run.h"
#include "res/resource.h"
#include "support/effects_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"

namespace {

using Rows = std::vector<std::string>;
using Tones = std::vector<DWORD>;

class SearchRunTest : public ::testing::Test {
protected:
    void SetUp() override { ClearRecordedEffects(); }

    Rows Search(const std::string& query) { return window.Search(query); }

    TestWindow window;
    TempFolder first, second;
};

TEST_F(SearchRunTest, RowsAreFullPathsInIndexOrder) {
    first.Write("a.inc", "nothing here");
    first.Write("b.inc", "MessageBoxA PROTO :DWORD");
    first.Write("c.inc", "MessageBox twice MessageBox");
    second.Write("d.inc", "messagebox");
    IndexPaths({first / "*.inc", second / "*.inc"});

    EXPECT_EQ(Search("MessageBox"), (Rows{first / "b.inc", first / "c.inc", second / "d.inc"}));
    App.CaseInsensitive = 0;
    EXPECT_EQ(Search("MessageBox"), (Rows{first / "b.inc", first / "c.inc"}));
    EXPECT_EQ(Search("nothing"), Rows{first / "a.inc"});
    EXPECT_EQ(Search(""), Rows{});
    EXPECT_TRUE(RecordedTones().empty());
}

TEST_F(SearchRunTest, TheStatusLineFollowsTheWalkAndEndsWithTheTime) {
    // The status line is set at a limited pace, but the first file is
    // always shown; the walk alone leaves the path of a file it read.
    for (const char* name : {"a.inc", "b.inc", "c.inc"}) first.Write(name, "hay");
    IndexPaths({first / "*.inc"});
    lstrcpyA(App.Query, "needle");
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, "");
    SearchIndexedFiles();
    EXPECT_TRUE(window.Status() == first / "a.inc" || window.Status() == first / "b.inc" ||
                window.Status() == first / "c.inc")
        << window.Status();
    EXPECT_EQ(Search("needle"), Rows{});
    EXPECT_TRUE(std::regex_match(window.Status(), std::regex(" Search complete in [0-9]+ms"))) << window.Status();
}

// Escape after the search has found its rows, but before the window took
// them: they stay. The same for a run that stopped by itself, out of memory,
// whose end says so as Escape would.
TEST_F(SearchRunTest, RowsFoundBeforeAStopStayAndTheStatusSaysItStopped) {
    for (const char* name : {"a.inc", "b.inc", "c.inc"}) first.Write(name, "needle");
    IndexPaths({first / "*.inc"});
    const Rows all = {first / "a.inc", first / "b.inc", first / "c.inc"};
    const std::regex stopped(" Search stopped after [0-9]+ms");

    window.SetQuery("needle");
    SearchCommand();
    MSG message;
    for (int i = 0; i < 500 && !PeekMessageA(&message, App.MainWindow, WM_APP_SEARCH_END, WM_APP_SEARCH_END,
                                             PM_NOREMOVE); ++i)
        Sleep(10);
    StopSearchCommand();
    WaitForSearch();
    EXPECT_EQ(window.Rows(), all);
    EXPECT_TRUE(std::regex_match(window.Status(), stopped)) << window.Status();

    SearchCommand();
    HandleSearchMessage(WM_APP_SEARCH_STOPPED, App.SearchGeneration, static_cast<LPARAM>(GetTickCount()));
    EXPECT_FALSE(SearchRunning());
    EXPECT_TRUE(std::regex_match(window.Status(), stopped)) << window.Status();
}

TEST_F(SearchRunTest, TheSameFileThroughTwoPathsIsListedTwice) {
    first.Write("both.inc", "needle");
    IndexPaths({first / "*.inc", first / "b*.inc"});
    EXPECT_EQ(Search("needle"), (Rows{first / "both.inc", first / "both.inc"}));
}

TEST_F(SearchRunTest, RunsDoNotAccumulateAndReportTheirTime) {
    first.Write("a.inc", "needle");
    IndexPaths({first / "*.inc"});
    EXPECT_EQ(Search("needle").size(), 1u);
    EXPECT_EQ(Search("needle").size(), 1u);
    EXPECT_TRUE(std::regex_match(window.Status(), std::regex(" Search complete in [0-9]+ms"))) << window.Status();
    EXPECT_EQ(Search("absent"), Rows{});
    IndexPaths({});
    EXPECT_EQ(Search("needle"), Rows{});
    EXPECT_TRUE(std::regex_match(window.Status(), std::regex(" Search complete in [0-9]+ms"))) << window.Status();
    EXPECT_TRUE(RecordedTones().empty());
}

TEST_F(SearchRunTest, UnopenableEntriesSoundThreeTonesAndGiveNoRow) {
    first.MakeFolder("sub.inc");
    first.Write("z.inc", "needle");
    IndexPaths({first / "*.inc"});
    EXPECT_EQ(Search("needle"), Rows{first / "z.inc"});
    EXPECT_EQ(RecordedTones(), (Tones{200, 300, 400}));

    ClearRecordedEffects();
    second.MakeFolder("sub");
    IndexPaths({second / "*.*"});  // ".", ".." and the folder
    EXPECT_EQ(Search("needle"), Rows{});
    EXPECT_EQ(RecordedTones(), (Tones{200, 300, 400, 200, 300, 400, 200, 300, 400}));
}

TEST_F(SearchRunTest, DeviceNamesAreNeverRead) {
    // Opening 'aux.h' reaches a serial port, whose read would block the run.
    first.Write("aux.h", "needle");
    first.Write("nul.h", "needle");
    first.Write("real.h", "needle");
    IndexPaths({first / "*.h"});
    EXPECT_EQ(Search("needle"), Rows{first / "real.h"});
    EXPECT_EQ(RecordedTones(), (Tones{200, 300, 400, 200, 300, 400}));
}

TEST_F(SearchRunTest, EverythingAfterAZeroByteIsSearched) {
    first.Write("zero.inc", std::string("head\0tail needle", 16));
    IndexPaths({first / "*.inc"});
    EXPECT_EQ(Search("needle"), Rows{first / "zero.inc"});
}

TEST_F(SearchRunTest, LargeFilesAreSearchedInPiecesWithoutMissingABoundary) {
    // Files are read in pieces: put occurrences across the edges between them.
    const size_t second = kFirstReadPiece + kReadPiece;
    std::string across(3 * second + 17, 'x');
    across.replace(second - 3, 7, "Needle!");
    std::string atEnd(3 * second + 5, 'x');
    atEnd.replace(atEnd.size() - 6, 6, "NEEDLE");
    std::string none(2 * second, 'x');
    none.replace(kFirstReadPiece - 3, 6, "needl_");
    first.Write("across.inc", across);
    first.Write("end.inc", atEnd);
    first.Write("none.inc", none);
    IndexPaths({first / "*.inc"});
    EXPECT_EQ(Search("needle"), (Rows{first / "across.inc", first / "end.inc"}));
    App.CaseInsensitive = 0;
    EXPECT_EQ(Search("NEEDLE"), Rows{first / "end.inc"});
}

TEST_F(SearchRunTest, PathsLongerThan255CharactersAreFoundWhole) {
    std::string folder(150, 'd');
    first.MakeFolder(folder);
    std::string name = std::string(140, 'n') + ".inc";
    first.Write(folder + "\\" + name, "needle");
    first.Write(folder + "\\short.inc", "needle");
    IndexPaths({first / (folder + "\\*.inc")});
    std::string longPath = first / (folder + "\\" + name);
    ASSERT_GT(longPath.size(), 290u);
    EXPECT_EQ(Search("needle"), (Rows{longPath, first / (folder + "\\short.inc")}));
    EXPECT_TRUE(RecordedTones().empty());
}

}  // namespace
