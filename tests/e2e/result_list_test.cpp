#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "program_test.h"
#include "res/resource.h"

namespace {

const int kPathColumn = 0, kLineColumn = 1, kTextColumn = 2, kHitsColumn = 3;

RECT ClientPlace(HWND control) {
    RECT place = {};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

int ColumnWidth(HWND list, int column) { return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)); }

void Resize(HWND window, int width, int height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class ResultWindowTest : public ProgramTest {
protected:
    void SetUp() override {
        exe = Install();
        home.Write("vantrel.ini", SettingsText({data / "*.inc"}));
    }
    std::string exe;
};

TEST_F(ResultWindowTest, GrowsFromItsOpeningSizeAndNeverBelowIt) {
    Program program(exe);
    ASSERT_TRUE(program.Started());
    HWND main = program.Main(), list = program.Item(IDC_MAIN_RESULTS), query = program.Item(IDC_MAIN_QUERY);
    HWND pane = program.Item(IDC_MAIN_LINES);
    RECT window = {}, client = {}, listClient = {};
    GetWindowRect(main, &window);
    const RECT listAt = ClientPlace(list), queryAt = ClientPlace(query), paneAt = ClientPlace(pane);
    printf("  the lists at the opening size: %d and %d pixels high\n", Height(listAt), Height(paneAt));
    EXPECT_EQ(ColumnWidth(list, kPathColumn), 174);
    const int lineWidth = ColumnWidth(list, kLineColumn), textWidth = ColumnWidth(list, kTextColumn);
    const int hitsWidth = ColumnWidth(list, kHitsColumn);

    Resize(main, Width(window) + 400, Height(window) + 200);
    ASSERT_TRUE(WaitUntil([&] { return Width(ClientPlace(list)) == Width(listAt) + 400; }));
    // The two lists share the extra height, 60 to 40.
    EXPECT_EQ(Height(ClientPlace(list)) + Height(ClientPlace(pane)), Height(listAt) + Height(paneAt) + 200);
    EXPECT_NEAR(Height(ClientPlace(list)), 0.6 * (Height(ClientPlace(list)) + Height(ClientPlace(pane))), 1);
    EXPECT_EQ(Width(ClientPlace(pane)), Width(paneAt) + 400);
    EXPECT_EQ(Width(ClientPlace(query)), Width(queryAt) + 400);
    EXPECT_EQ(Height(ClientPlace(query)), Height(queryAt));
    GetClientRect(main, &client);
    EXPECT_EQ(ClientPlace(program.Item(IDC_MAIN_STATUS)).bottom, client.bottom);
    // The columns fill the list, short of a vertical scroll bar; the line
    // number and the count keep their widths, the path takes two thirds of the rest.
    GetClientRect(list, &listClient);
    EXPECT_EQ(ColumnWidth(list, kPathColumn) + ColumnWidth(list, kLineColumn) + ColumnWidth(list, kTextColumn) +
                  ColumnWidth(list, kHitsColumn),
              listClient.right - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(ColumnWidth(list, kLineColumn), lineWidth);
    EXPECT_EQ(ColumnWidth(list, kHitsColumn), hitsWidth);
    EXPECT_NEAR(ColumnWidth(list, kPathColumn) - 174, 2 * (ColumnWidth(list, kTextColumn) - textWidth), 2);

    // No smaller than it opened, and back where everything began.
    Resize(main, 100, 80);
    ASSERT_TRUE(WaitUntil([&] { return Width(ClientPlace(list)) == Width(listAt); }));
    RECT shrunk = {};
    GetWindowRect(main, &shrunk);
    EXPECT_EQ(Width(shrunk), Width(window));
    EXPECT_EQ(Height(shrunk), Height(window));
    const RECT listBack = ClientPlace(list), paneBack = ClientPlace(pane);
    EXPECT_TRUE(EqualRect(&listBack, &listAt));
    EXPECT_TRUE(EqualRect(&paneBack, &paneAt));
    EXPECT_EQ(ColumnWidth(list, kPathColumn), 174);

    // The bar between the lists follows a drag of the mouse, and the split
    // is kept as the window grows.
    const int x = listAt.left + 50, y = (listAt.bottom + paneAt.top) / 2;
    PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 10));
    PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(x, y - 10));
    EXPECT_TRUE(WaitUntil([&] { return ClientPlace(pane).top == paneAt.top - 10; })) << ClientPlace(pane).top;
    EXPECT_EQ(Height(ClientPlace(list)), Height(listAt) - 10);
    Resize(main, Width(window), Height(window) + 200);
    // Read from outside, the two lists may be seen between their moves: wait for both.
    EXPECT_TRUE(WaitUntil([&] {
        const int listHeight = Height(ClientPlace(list)), paneHeight = Height(ClientPlace(pane));
        return paneHeight > Height(paneAt) + 50 && abs(listHeight - paneHeight) <= 1;
    })) << Height(ClientPlace(list)) << " and " << Height(ClientPlace(pane));
}

TEST_F(ResultWindowTest, LineAndTextCellsShowTheFirstHitAsTheFileHoldsItNow) {
    data.Write("a first.inc", "needle on the first line\r\nneedle again\r\n");
    // Past the first two read pieces: 16 KiB and 128 KiB.
    std::string deep;
    for (int i = 0; i < 10000; ++i) deep += "filler line " + std::to_string(100000 + i) + "\r\n";
    ASSERT_GT(deep.size(), (16u << 10) + (128u << 10));
    data.Write("b deep.inc", deep + "\t  int Needle = 5;\t// deep\r\nneedle\r\n");
    data.Write("c lf.inc", "first\nsecond\n  third has the needle\nfourth\n");
    data.Write("d end.inc", "line one\r\nno line end, then needle");
    // UTF-16 with its byte-order mark: lines end at the LF character.
    const char utf16[] = "\xFF\xFEo\0n\0e\0\r\0\n\0\t\0 \0t\0w\0o\0 \0N\0e\0e\0d\0l\0e\0\r\0\n\0";
    data.Write("e utf16.inc", std::string(utf16, sizeof utf16 - 1));
    // A full path past MAX_PATH.
    const std::string longName = std::string(240, 'l') + ".inc";
    data.Write(longName, "\r\n\r\nneedle\r\n");
    // Listed after a screenful of rows, these are not painted, so not looked
    // up, before the test asks for them: by then their files have changed.
    for (int i = 10; i < 30; ++i) data.Write("m" + std::to_string(i) + ".inc", "needle");
    data.Write("x moved.inc", "needle\n");
    data.Write("y gone.inc", "needle\n");
    data.Write("z deleted.inc", "needle\n");
    Program program(exe);
    ASSERT_TRUE(program.Started());
    const Rows rows = program.Search("NEEDLE");
    ASSERT_EQ(rows.size(), 29u);
    ASSERT_EQ(rows[26], data / "x moved.inc");
    // The rows keep the case mode they were found with.
    program.Command(IDM_CASE);
    program.Settle();
    data.Write("x moved.inc", "added\nlines\nthen the needle\n");
    data.Write("y gone.inc", "nothing now\n");
    ASSERT_TRUE(DeleteFileA((data / "z deleted.inc").c_str()));

    const struct {
        std::string name, line, text;
    } expected[] = {
        {"a first.inc", "1", "needle on the first line"},
        {"b deep.inc", "10001", "int Needle = 5; // deep"},
        {"c lf.inc", "3", "third has the needle"},
        {"d end.inc", "2", "no line end, then needle"},
        {"e utf16.inc", "2", "two Needle"},
        {longName, "3", "needle"},
        {"x moved.inc", "3", "then the needle"},
        {"y gone.inc", "", ""},
        {"z deleted.inc", "", ""},
    };
    for (const auto& e : expected) {
        const int row = static_cast<int>(std::find(rows.begin(), rows.end(), data / e.name) - rows.begin());
        ASSERT_LT(row, 29) << e.name;
        EXPECT_EQ(program.Cell(row, kLineColumn), e.line) << e.name;
        EXPECT_EQ(program.Cell(row, kTextColumn), e.text) << e.name;
        EXPECT_EQ(program.Cell(row, kPathColumn), data / e.name);
    }
}

// The stand-in editor records its arguments in record_args.log beside it.
class OpenAtLineTest : public ProgramTest {
protected:
    std::string Editor(const std::string& folder, const std::string& name) {
        home.MakeFolder(folder);
        const std::string editor = home / (folder + "\\" + name);
        EXPECT_TRUE(CopyFileA((BuildFolder() + "record_args.exe").c_str(), editor.c_str(), FALSE));
        editors.push_back(editor);
        return editor;
    }
    // The arguments of the next start after the log's first `before` lines;
    // the editor writes each record whole: its command line, argc, each argument.
    static Lines NextRecord(const std::string& log, size_t* before) {
        WaitUntil([&] { return SplitLines(ReadBytes(log)).size() > *before; });
        const Lines lines = SplitLines(ReadBytes(log));
        Lines arguments;
        for (size_t i = *before + 2; i < lines.size(); ++i) arguments.push_back(lines[i]);
        *before = lines.size();
        return arguments;
    }
    void TearDown() override {
        // An editor may still be on its way out; its folder goes with the test's.
        for (const std::string& editor : editors) WaitUntil([&] { return DeleteFileA(editor.c_str()) != FALSE; }, 5000);
    }
    std::vector<std::string> editors;
};

TEST_F(OpenAtLineTest, AKnownEditorAndAConfiguredOneGetTheLine) {
    data.Write("hit.inc", "one\r\ntwo\r\n\tthe needle\r\n");
    const std::string hit = data / "hit.inc";
    const std::string known = Editor("npp", "notepad++.exe");
    const std::string configured = Editor("my editor", "record_args.exe");
    const std::string exe = Install();
    // Read back from the settings file without its enclosing quotes.
    home.Write("vantrel.ini", SettingsText({data / "*.inc"}, "\"" + configured + "\" --goto \"%file%:%line%\""));

    const std::string configuredLog = home / "my editor\\record_args.log", knownLog = home / "npp\\record_args.log";
    size_t configuredLines = 0, knownLines = 0;

    Program program(exe);
    ASSERT_TRUE(program.Started());
    ASSERT_EQ(program.Search("needle"), Rows{hit});
    program.DoubleClickRow(0);
    EXPECT_EQ(NextRecord(configuredLog, &configuredLines), (Lines{"argv1 --goto", "argv2 " + hit + ":3"}));

    // As typed in the options, quotes and all.
    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    SetWindowTextRemote(GetDlgItem(options, IDC_OPT_EDITOR), "\"" + configured + "\" -l %line% \"%file%\"");
    ClickAndWaitClosed(options, IDC_OPT_OK);
    program.DoubleClickRow(0);
    EXPECT_EQ(NextRecord(configuredLog, &configuredLines), (Lines{"argv1 -l", "argv2 3", "argv3 " + hit}));

    options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    SetWindowTextRemote(GetDlgItem(options, IDC_OPT_EDITOR), known);
    ClickAndWaitClosed(options, IDC_OPT_OK);
    program.DoubleClickRow(0);
    EXPECT_EQ(NextRecord(knownLog, &knownLines), (Lines{"argv1 -n3", "argv2 " + hit}));
    // Opened after the file changed: the line it holds now.
    data.Write("hit.inc", "the needle\r\n");
    program.DoubleClickRow(0);
    EXPECT_EQ(NextRecord(knownLog, &knownLines), (Lines{"argv1 -n1", "argv2 " + hit}));
}

std::string ClipboardText();

// The lines pane follows the focused row: every line of its file that holds
// the query, their count in the Hits cell, at most 10,000 of them listed.
TEST_F(OpenAtLineTest, ThePaneListsTheFocusedRowsLinesAndOpensOne) {
    std::string hits, many;
    for (int i = 1; i <= 10001; ++i)
        hits += (i == 1 || i == 5 || i == 10001 ? "\tcall needle(" : "filler(") + std::to_string(i) + ")\r\n";
    for (int i = 1; i <= 10003; ++i) many += "needle " + std::to_string(i) + "\n";
    data.Write("hits.inc", hits);
    data.Write("many.inc", many);
    const std::string editor = Editor("npp", "notepad++.exe"), log = home / "npp\\record_args.log";
    const std::string exe = Install();
    home.Write("vantrel.ini", SettingsText({data / "*.inc"}, editor));
    Program program(exe);
    ASSERT_TRUE(program.Started());
    ASSERT_EQ(program.Search("needle"), (Rows{data / "hits.inc", data / "many.inc"}));
    HWND list = program.Item(IDC_MAIN_RESULTS), pane = program.Item(IDC_MAIN_LINES);

    // The first row has the focus: its lines fill the pane.
    ASSERT_TRUE(WaitUntil([&] { return program.PaneRowCount() == 3; })) << program.PaneRowCount();
    const Lines shown = {program.PaneCell(0, 0) + " " + program.PaneCell(0, 1),
                         program.PaneCell(1, 0) + " " + program.PaneCell(1, 1),
                         program.PaneCell(2, 0) + " " + program.PaneCell(2, 1)};
    EXPECT_EQ(shown, (Lines{"1 call needle(1)", "5 call needle(5)", "10001 call needle(10001)"}));
    EXPECT_EQ(program.Cell(0, kHitsColumn), "3");
    EXPECT_EQ(program.Cell(0, kLineColumn), "1");
    EXPECT_EQ(program.Cell(1, kHitsColumn), "10003");

    // Tab moves from the list to the pane; Enter there opens its focused line.
    program.Focus(IDC_MAIN_RESULTS);
    program.Press(list, VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return program.Focused() == pane; }));
    program.SelectRows({2}, IDC_MAIN_LINES);
    program.Press(pane, VK_RETURN);
    size_t before = 0;
    EXPECT_EQ(NextRecord(log, &before), (Lines{"argv1 -n10001", "argv2 " + data / "hits.inc"}));
    // Ctrl+A and Ctrl+C copy them all as path(line): text.
    program.PressWithControl('A');
    program.PressWithControl('C');
    const std::string path = data / "hits.inc";
    const std::string copied = path + "(1): call needle(1)\r\n" + path + "(5): call needle(5)\r\n" + path +
                               "(10001): call needle(10001)";
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == copied; })) << ClipboardText();

    // The focus moves: past 10,000 lines, the rest are counted.
    program.SelectRows({1});
    ASSERT_TRUE(WaitUntil([&] { return program.PaneRowCount() == 10001; })) << program.PaneRowCount();
    EXPECT_EQ(program.PaneCell(9999, 0) + " " + program.PaneCell(9999, 1), "10000 needle 10000");
    EXPECT_EQ(program.PaneCell(10000, 0), "");
    EXPECT_EQ(program.PaneCell(10000, 1), "\x85 and 3 more lines");
    // A new search empties the pane.
    program.Focus(IDC_MAIN_QUERY);
    EXPECT_TRUE(program.Search("zebra").empty());
    EXPECT_EQ(program.PaneRowCount(), 0);
}

// Keys and the clipboard, on a build whose started programs are written to
// effects.log.
class ResultKeysTest : public ProgramTest {
protected:
    // The program, started and searched: a.inc, b.inc and c.inc are its rows.
    void SetUp() override {
        for (const char* name : {"a.inc", "b.inc", "c.inc"}) data.Write(name, "needle");
        home.Write("vantrel_recording.ini", SettingsText({data / "*.inc"}));
        log = home / "effects.log";
        app.reset(new Program(Install("vantrel_recording.exe")));
        ASSERT_TRUE(app->Started());
        rows = app->Search("needle");
        ASSERT_EQ(rows.size(), 3u);
        list = app->Item(IDC_MAIN_RESULTS);
    }
    void TearDown() override { app.reset(); }
    // Waits for the log to hold that many lines and gives them.
    Lines Started(size_t count) {
        WaitUntil([&] { return SplitLines(ReadBytes(log)).size() >= count; });
        return SplitLines(ReadBytes(log));
    }
    static std::string Start(const std::string& path) { return "start " + path + "|(none)"; }
    std::string log;
    std::unique_ptr<Program> app;
    Rows rows;
    HWND list = nullptr;
};

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return "(clipboard busy)";
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* bytes = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (bytes != nullptr) text = bytes;
    if (bytes != nullptr) GlobalUnlock(data);
    CloseClipboard();
    return text;
}

TEST_F(ResultKeysTest, EnterOpensTheFocusedRowAndADoubleClickBelowTheRowsNothing) {
    Program& program = *app;
    program.SelectRows({1});
    program.Focus(IDC_MAIN_RESULTS);
    program.Press(list, VK_RETURN);
    EXPECT_EQ(Started(1), Lines{Start(rows[1])});
    // The focus stays on row 1; the click is where no row is, in a window
    // grown to show the rows and room below them.
    RECT window = {};
    GetWindowRect(program.Main(), &window);
    Resize(program.Main(), Width(window), Height(window) + 100);
    ASSERT_TRUE(WaitUntil([&] { return Height(ClientPlace(list)) > 100; }));
    const RECT last = program.RowRect(2);
    RECT client = {};
    GetClientRect(list, &client);
    ASSERT_LT(last.bottom + 8, client.bottom) << "no room below the rows";
    program.DoubleClickList({last.left + 10, last.bottom + 8});
    // Escape does nothing in the main window.
    program.Press(list, VK_ESCAPE);
    program.Settle();
    EXPECT_EQ(SplitLines(ReadBytes(log)).size(), 1u);
    program.SelectRows({2});
    program.Focus(IDC_MAIN_RESULTS);
    program.Press(list, VK_RETURN);
    EXPECT_EQ(Started(2), (Lines{Start(rows[1]), Start(rows[2])}));
    EXPECT_TRUE(IsWindowVisible(program.Main()));
    // Enter in the query field still searches.
    program.Focus(IDC_MAIN_QUERY);
    EXPECT_EQ(program.Search("needle"), rows);
    EXPECT_EQ(SplitLines(ReadBytes(log)).size(), 2u);
}

TEST_F(ResultKeysTest, CtrlAAndCtrlCCopyTheSelectedRowsFullPaths) {
    Program& program = *app;
    program.SelectRows({0, 2});
    program.Focus(IDC_MAIN_RESULTS);
    program.PressWithControl('C');
    const std::string two = rows[0] + "\r\n" + rows[2];
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == two; })) << ClipboardText();

    program.PressWithControl('A');
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 3; }));
    program.PressWithControl('C');
    const std::string all = rows[0] + "\r\n" + rows[1] + "\r\n" + rows[2];
    EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == all; })) << ClipboardText();
}

// Typing on the list moves to the next row whose path begins with what was
// typed, as in a list that holds its rows.
TEST_F(ResultKeysTest, TypingOnTheListMovesToTheNextRowBeginningWithIt) {
    Program& program = *app;
    auto focused = [&] { return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)); };
    program.SelectRows({0});
    program.Focus(IDC_MAIN_RESULTS);
    PostMessageA(list, WM_CHAR, '~', 1);
    program.Settle();
    EXPECT_EQ(focused(), 0) << "no row begins with ~";
    // Keys apart by more than a second start a new search.
    Sleep(1100);
    const char first = static_cast<char>(tolower(static_cast<unsigned char>(rows[0][0])));
    PostMessageA(list, WM_CHAR, static_cast<unsigned char>(first), 1);
    EXPECT_TRUE(WaitUntil([&] { return focused() == 1; })) << "focused row " << focused();
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
}

}  // namespace
