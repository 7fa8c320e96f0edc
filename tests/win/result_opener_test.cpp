#include "core/result_opener.h"

#include <gtest/gtest.h>

#include <string>

#include "app_state.h"
#include "support/effects_recorder.h"

namespace {

class ResultOpenerTest : public ::testing::Test {
protected:
    void SetUp() override { ClearRecordedEffects(); }
    void TearDown() override { App.Settings.Slots[Editor][0] = '\0'; }
};

TEST_F(ResultOpenerTest, TheEditorGetsThePathAsOneQuotedParameter) {
    lstrcpyA(App.Settings.Slots[Editor], "C:\\Program Files\\ed\\ed.exe");
    OpenResult("C:\\my kit\\include\\user.inc", 0);
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].file, "C:\\Program Files\\ed\\ed.exe");
    EXPECT_EQ(RecordedStarts()[0].parameters, "\"C:\\my kit\\include\\user.inc\"");

    const std::string longPath = "C:\\" + std::string(400, 'p') + "\\x.inc";
    // An editor not known here gets no line, even where one is known.
    OpenResult(longPath.c_str(), 12);
    ASSERT_EQ(RecordedStarts().size(), 2u);
    EXPECT_EQ(RecordedStarts()[1].parameters, "\"" + longPath + "\"");
}

TEST_F(ResultOpenerTest, AKnownEditorGetsTheLineAndTheWholePath) {
    lstrcpyA(App.Settings.Slots[Editor], "C:\\Program Files\\Notepad++\\notepad++.exe");
    const std::string longPath = "C:\\" + std::string(400, 'p') + "\\x.inc";
    OpenResult(longPath.c_str(), 4000000000ull);
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].file, "C:\\Program Files\\Notepad++\\notepad++.exe");
    EXPECT_EQ(RecordedStarts()[0].parameters, "-n4000000000 \"" + longPath + "\"");
}

TEST_F(ResultOpenerTest, WithoutAnEditorTheFileIsOpenedByItsAssociation) {
    OpenResult("C:\\my kit\\include\\user.inc", 7);
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].file, "C:\\my kit\\include\\user.inc");
    EXPECT_EQ(RecordedStarts()[0].parameters, "(none)");
}

}  // namespace
