#include "ui/result_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Paths packed as a search hands them on: each ended by a zero byte.
std::string Packed(const std::vector<std::string>& paths) {
    std::string packed;
    for (const std::string& path : paths) packed += path + '\0';
    return packed;
}

std::vector<std::string> PathsOf(const ResultRows& rows) {
    std::vector<std::string> paths;
    for (size_t row = 0; row < rows.count; ++row) paths.push_back(ResultRowPath(rows, row));
    return paths;
}

TEST(ResultRows, BatchesAreKeptInOrderAndClearedTogether) {
    ResultRows rows = {};
    EXPECT_STREQ(ResultRowPath(rows, 0), "");
    const std::vector<std::string> first = {"C:\\inc\\a.inc", "\\korvan\\include\\b.inc", "C:\\inc\\a.inc"};
    const std::vector<std::string> second = {"x", std::string(40000, 'l') + ".inc"};
    ASSERT_TRUE(AddResultRows(rows, Packed(first).c_str(), first.size()));
    ASSERT_TRUE(AddResultRows(rows, "", 0));
    ASSERT_TRUE(AddResultRows(rows, Packed(second).c_str(), second.size()));
    std::vector<std::string> all = first;
    all.insert(all.end(), second.begin(), second.end());
    EXPECT_EQ(PathsOf(rows), all);
    EXPECT_STREQ(ResultRowPath(rows, all.size()), "");

    ClearResultRows(rows);
    EXPECT_EQ(rows.count, 0u);
    EXPECT_STREQ(ResultRowPath(rows, 0), "");
    ASSERT_TRUE(AddResultRows(rows, Packed(second).c_str(), 1));
    EXPECT_EQ(PathsOf(rows), std::vector<std::string>{"x"});
    ClearResultRows(rows);
}

// Past the first room for paths and for rows, which then move: every row
// still reads back whole, the first ones too.
TEST(ResultRows, AQuarterOfAMillionRowsInBatchesOfAnySize) {
    ResultRows rows = {};
    std::vector<std::string> expected;
    size_t batch = 1;
    while (expected.size() < 250000) {
        std::vector<std::string> paths;
        for (size_t i = 0; i < batch; ++i) paths.push_back("C:\\kit\\" + std::to_string(expected.size() + i) + ".inc");
        ASSERT_TRUE(AddResultRows(rows, Packed(paths).c_str(), paths.size())) << "at row " << expected.size();
        expected.insert(expected.end(), paths.begin(), paths.end());
        batch = batch * 3 % 1001 + 1;
    }
    EXPECT_EQ(PathsOf(rows), expected);
    ClearResultRows(rows);
}

}  // namespace
