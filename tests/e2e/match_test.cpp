// The Match menu as a user works it: its check items and their keys, whole
// words, a pattern and its Line cell, a bad pattern, a costly one.

#include <gtest/gtest.h>

#include <string>

#include "program_test.h"
#include "res/resource.h"
#include "screen_capture.h"

namespace {

const int kLineColumn = 1;
const int kTextColumn = 2;

class MatchTest : public ProgramTest {
protected:
    // The Match menu as it shows, opened with Alt+M and closed again: Wine
    // lets no other process read a menu's check marks, so its looks are
    // compared, each item's half of it apart.
    struct MenuLook {
        Image top, bottom;
    };
    MenuLook MatchMenu(const Program& program) {
        program.PressWithAlt('M');
        HWND popup = nullptr;
        EXPECT_TRUE(WaitUntil([&] { return (popup = program.OpenPopupMenu()) != nullptr; })) << "no Match menu";
        MenuLook look;
        if (popup != nullptr) {
            RECT area;
            GetWindowRect(popup, &area);
            RECT top = area, bottom = area;
            top.bottom = bottom.top = (area.top + area.bottom) / 2;
            CaptureSettled(area);
            look.top = CaptureSettled(top);
            look.bottom = CaptureSettled(bottom);
        }
        program.Press(program.Main(), VK_ESCAPE);
        program.Press(program.Main(), VK_ESCAPE);
        WaitUntil([&] { return program.OpenPopupMenu() == nullptr; });
        program.Settle();
        return look;
    }
};

TEST_F(MatchTest, WholeWordsAndPatternsFromTheMenuAndTheirKeys) {
    data.Write("a.inc", "call OpenFile\r\n");
    data.Write("b.inc", "x = Reopen;\r\nOpen(1)\r\n");
    data.Write("c.inc", "#define X 1\r\n#define  WM_PAINT 0x000F\r\n");
    data.Write("costly.inc", std::string(30000, 'a') + "!\r\n");
    home.Write("vantrel_recording.ini", SettingsText({data / "*.inc"}));
    const std::string exe = Install("vantrel_recording.exe");
    Program program(exe);
    ASSERT_TRUE(program.Started());

    // Both start off: the text as before, anywhere.
    EXPECT_EQ(program.Search("Open"), (Rows{data / "a.inc", data / "b.inc"}));
    const MenuLook off = MatchMenu(program);
    ASSERT_FALSE(off.top.pixels.empty());

    // Alt+W from the query field: whole words; its item alone shows a change.
    program.Focus(IDC_MAIN_QUERY);
    program.PressWithAlt('W');
    const MenuLook words = MatchMenu(program);
    EXPECT_EQ(words.top, off.top);
    EXPECT_NE(words.bottom, off.bottom);
    EXPECT_EQ(program.Search("Open"), Rows{data / "b.inc"});
    EXPECT_EQ(program.Cell(0, kLineColumn), "2");
    EXPECT_EQ(program.Cell(0, kTextColumn), "Open(1)");

    // Alt+R from the result list: a pattern, with whole words still on.
    program.Focus(IDC_MAIN_RESULTS);
    program.PressWithAlt('R');
    const MenuLook both = MatchMenu(program);
    EXPECT_NE(both.top, off.top);
    EXPECT_EQ(both.bottom, words.bottom);
    program.Focus(IDC_MAIN_QUERY);  // Enter on the list would open its row
    EXPECT_EQ(program.Search("^#define\\s+WM_[A-Z]+"), Rows{data / "c.inc"});
    EXPECT_EQ(program.Cell(0, kLineColumn), "2");
    EXPECT_EQ(program.Cell(0, kTextColumn), "#define  WM_PAINT 0x000F");

    // A bad pattern: no rows, the library's message where it found the fault.
    program.StartSearch("Open(");
    EXPECT_TRUE(WaitUntil([&] { return program.Status() == " Pattern error at 1: missing ): Open("; }))
        << program.Status();
    EXPECT_EQ(program.RowCount(), 0);
    // Mended, Enter searches as usual.
    EXPECT_EQ(program.Search("Open\\("), Rows{data / "b.inc"});

    // A pattern that backtracking would never finish ends like any other.
    EXPECT_EQ(program.Search("(a+)+!"), Rows{data / "costly.inc"});
    EXPECT_EQ(program.Search("(a+)+$"), Rows{});

    // Off again, both: the menu as it started, and the text as before.
    program.Command(IDM_REGEX);
    program.Command(IDM_WHOLE_WORDS);
    program.Settle();
    const MenuLook again = MatchMenu(program);
    EXPECT_EQ(again.top, off.top);
    EXPECT_EQ(again.bottom, off.bottom);
    EXPECT_EQ(program.Search("Open"), (Rows{data / "a.inc", data / "b.inc"}));
    EXPECT_EQ(ReadBytes(home / "effects.log"), "") << "no tone, no program";
}

}  // namespace
