// Run by ctest with the ANSI code page set to 932 (tests/CMakeLists.txt), where
// '表' is 0x95 0x5C: its second byte is a backslash that separates nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app_state.h"
#include "support/effects_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"
#include "ui/search_pattern.h"

namespace {

using Rows = std::vector<std::string>;

TEST(CodePage932, FoldersAreCutOnlyAtRealSeparators) {
    ASSERT_EQ(GetACP(), 932u) << "Wine takes the code page from LC_ALL";
    TestWindow window;
    TempFolder folder;
    ClearRecordedEffects();
    const std::string hyo = "\x95\x5C";
    folder.MakeFolder(hyo);
    folder.Write(hyo + "\\a.inc", "needle");
    folder.Write(hyo + "\\" + hyo + ".inc", "needle");
    IndexPaths({folder / (hyo + "\\*.inc"), folder / (hyo + "\\" + hyo + ".inc"), folder / "**\\*.inc"});
    const std::string a = folder / (hyo + "\\a.inc"), named = folder / (hyo + "\\" + hyo + ".inc");
    EXPECT_EQ(window.Search("needle"), (Rows{a, named, named, a, named}));
    EXPECT_TRUE(RecordedTones().empty());

    char pattern[kTextSize];
    DeriveSearchPattern(named.c_str(), pattern, sizeof pattern);
    EXPECT_EQ(std::string(pattern), folder / (hyo + "\\*.inc"));
}

}  // namespace
