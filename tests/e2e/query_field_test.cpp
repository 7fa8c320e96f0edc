#include <gtest/gtest.h>

#include <string>

#include "program_test.h"
#include "res/resource.h"

namespace {

class QueryFieldTest : public ProgramTest {
protected:
    void SetUp() override {
        exe = Install();
        home.Write("vantrel.ini", SettingsText({data / "*.inc"}));
    }
    std::string exe;
};

TEST_F(QueryFieldTest, EnterOnTheHintTextSearchesForIt) {
    data.Write("hint.inc", "; enter text to find\r\n");
    data.Write("other.inc", "; enter the text\r\n");
    Program program(exe);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(WindowText(program.Item(IDC_MAIN_QUERY)), "Enter Text to Find");
    EXPECT_EQ(program.SearchShownQuery(), Rows{data / "hint.inc"});
}

// A search reads 254 characters of the field; were the field to hold more,
// files holding only the first 254 would be listed for a longer query.
TEST_F(QueryFieldTest, TypingStopsAt254CharactersSoTheSearchIsForWhatTheFieldShows) {
    std::string typed;
    while (typed.size() < 300) typed += "Typed" + std::to_string(typed.size());
    typed.resize(300);
    data.Write("first254.inc", "<" + typed.substr(0, 254) + ">");
    data.Write("first253.inc", "<" + typed.substr(0, 253) + ">");
    Program program(exe);
    ASSERT_TRUE(program.Started());
    HWND query = program.Item(IDC_MAIN_QUERY);
    program.Type(query, typed);
    EXPECT_EQ(WindowText(query), typed.substr(0, 254));
    EXPECT_EQ(program.SearchShownQuery(), Rows{data / "first254.inc"});
}

}  // namespace
