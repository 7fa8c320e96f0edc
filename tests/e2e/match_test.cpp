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

// The edges of the image are all one colour, as a popup's frame is.
bool FrameOnTheEdge(const Image& image) {
    if (image.pixels.empty()) return false;
    const uint32_t frame = image.pixels[0];
    for (int x = 0; x < image.width; ++x)
        if (image.pixels[x] != frame || image.pixels[static_cast<size_t>(image.height - 1) * image.width + x] != frame)
            return false;
    for (int y = 0; y < image.height; ++y)
        if (image.pixels[static_cast<size_t>(y) * image.width] != frame ||
            image.pixels[static_cast<size_t>(y) * image.width + image.width - 1] != frame)
            return false;
    return true;
}

class MatchTest : public ProgramTest {
protected:
    // The Match menu as it shows, opened with Alt+M and closed again: Wine
    // lets no other process read a menu's check marks, so its looks are
    // compared, each item's half of it apart.
    struct MenuLook {
        Image top, bottom;
    };
    MenuLook MatchMenu(const Program& program) {
        MenuLook look;
        // Under Xvfb the screen now and then shows a menu opened the first
        // time a little apart from its place, and keeps it there: then it is
        // opened again, until its frame lies on the edge of its place.
        bool placed = false;
        for (int tries = 0; tries < 5 && !placed; ++tries) {
            program.PressWithAlt('M');
            HWND popup = nullptr;
            EXPECT_TRUE(WaitUntil([&] { return (popup = program.OpenPopupMenu()) != nullptr; })) << "no Match menu";
            if (popup == nullptr) break;
            RECT area;
            GetWindowRect(popup, &area);
            RECT top = area, bottom = area;
            top.bottom = bottom.top = (area.top + area.bottom) / 2;
            placed = FrameOnTheEdge(CaptureSettled(area));
            look.top = CaptureSettled(top);
            look.bottom = CaptureSettled(bottom);
            program.Press(program.Main(), VK_ESCAPE);
            program.Press(program.Main(), VK_ESCAPE);
            WaitUntil([&] { return program.OpenPopupMenu() == nullptr; });
            program.Settle();
        }
        EXPECT_TRUE(placed) << "the menu never showed in its place";
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
