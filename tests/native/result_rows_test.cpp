#include "ui/result_rows.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace {

// Batches of every size, an empty one and a long path among them, past the
// first room for paths and for rows, which then move: every row reads back
// whole, the first ones too; cleared, the rows start afresh.
TEST(ResultRows, BatchesAreKeptInOrderAndClearedTogether) {
    ResultRows rows = {};
    EXPECT_STREQ(ResultRowPath(rows, 0), "");
    std::vector<std::string> expected;
    for (size_t batch = 0; expected.size() < 250000; batch = batch * 3 % 1001 + 1) {
        std::string packed;
        for (size_t i = 0; i < batch; ++i) {
            const size_t row = expected.size();
            expected.push_back(row == 7 ? std::string(40000, 'l') : "C:\\kit\\" + std::to_string(row) + ".inc");
            packed += expected.back() + '\0';
        }
        ASSERT_TRUE(AddResultRows(rows, packed.c_str(), batch)) << "at row " << expected.size();
    }
    ASSERT_EQ(rows.count, expected.size());
    for (size_t row = 0; row < expected.size(); ++row) ASSERT_EQ(ResultRowPath(rows, row), expected[row]) << row;
    EXPECT_STREQ(ResultRowPath(rows, expected.size()), "");

    // A row's cells are its own: replaced, forgotten and cleared with it.
    EXPECT_EQ(ResultRowCells(rows, 7), nullptr);
    for (int i = 0; i < 2; ++i) {
        RowCells* cells = static_cast<RowCells*>(malloc(sizeof(RowCells)));
        cells->hits = static_cast<unsigned long long>(i);
        SetResultRowCells(rows, 7, cells);
    }
    EXPECT_EQ(ResultRowCells(rows, 7)->hits, 1u);
    SetResultRowCells(rows, 8, static_cast<RowCells*>(malloc(sizeof(RowCells))));
    SetResultRowCells(rows, 8, nullptr);
    EXPECT_EQ(ResultRowCells(rows, 8), nullptr);
    SetResultRowCells(rows, expected.size(), static_cast<RowCells*>(malloc(sizeof(RowCells))));  // past the last
    EXPECT_EQ(ResultRowCells(rows, expected.size()), nullptr);

    ClearResultRows(rows);
    EXPECT_STREQ(ResultRowPath(rows, 0), "");
    ASSERT_TRUE(AddResultRows(rows, "x\0y", 2));
    EXPECT_EQ(rows.count, 2u);
    EXPECT_STREQ(ResultRowPath(rows, 1), "y");
    EXPECT_EQ(ResultRowCells(rows, 1), nullptr);
    ClearResultRows(rows);
}

}  // namespace
