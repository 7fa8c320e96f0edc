#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_state.h"
#include "core/file_stamp.h"
#include "core/executable_path.h"
#include "support/effects_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"

namespace {

using Files = std::vector<std::string>;

class FileIndexTest : public ::testing::Test {
protected:
    TestWindow window;
    TempFolder first, second;
};

TEST_F(FileIndexTest, EmptySlotsAndMissingDirectoriesGiveNoGroup) {
    IndexPaths({});
    EXPECT_EQ(App.FileIndex[0], '\0');
    EXPECT_TRUE(IndexedFiles().empty());

    first.Write("a.inc", "x");
    second.Write("b.inc", "x");
    IndexPaths({first / "*.inc", first / "no-such-folder\\*.inc", second / "*.none", second / "*.inc"});
    EXPECT_EQ(IndexedFiles(), (Files{first / "a.inc", second / "b.inc"}));
}

TEST_F(FileIndexTest, GroupsKeepTheirOwnDirectoryInEnumerationOrder) {
    first.Write("a.inc", "x");
    first.Write("b.inc", "xyz");
    first.Write("c.txt", "x");
    second.Write("only.inc", "x");
    IndexPaths({first / "*.inc", "", second / "*.inc"});
    EXPECT_EQ(IndexedFiles(), (Files{first / "a.inc", first / "b.inc", second / "only.inc"}));
    // Each file's size and last-write time as the listing gave them, in index order.
    ASSERT_EQ(App.FileCount, 3u);
    const unsigned long long sizes[] = {App.FileStamps[0].size, App.FileStamps[1].size, App.FileStamps[2].size};
    EXPECT_EQ(sizes[0], 1u);
    EXPECT_EQ(sizes[1], 3u);
    EXPECT_EQ(sizes[2], 1u);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA((first / "b.inc").c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(App.FileStamps[1].writeTime, static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                                               data.ftLastWriteTime.dwLowDateTime);
    // The group of a one-file path is its directory entry alone.
    std::string expectedStart = second.Path() + "*only.inc";
    EXPECT_EQ(std::string(App.FileIndex + (first.Path().size() + 1 + 6 + 6)), expectedStart);
}

TEST_F(FileIndexTest, RebuildToAShorterListDropsTheOldGroups) {
    for (int i = 0; i < 20; ++i) first.Write("file" + std::to_string(i) + ".inc", "x");
    second.Write("z.inc", "x");
    IndexPaths({first / "*.inc", second / "*.inc"});
    EXPECT_EQ(IndexedFiles().size(), 21u);
    IndexPaths({second / "*.inc"});
    EXPECT_EQ(IndexedFiles(), Files{second / "z.inc"});
}

TEST_F(FileIndexTest, MoreThanSixtyFourKilobytesOfNamesAreAllIndexed) {
    Files expected;
    for (int i = 0; i < 5000; ++i) {
        std::string name = "an_include_file_with_a_fairly_long_descriptive_name_" + std::to_string(10000 + i) + ".inc";
        first.Write(name, "");
        expected.push_back(first / name);
    }
    second.Write("after.inc", "");
    expected.push_back(second / "after.inc");
    IndexPaths({first / "*.inc", second / "*.inc"});
    EXPECT_GT(App.FileIndexSize, static_cast<size_t>(kIndexInitialSize));
    EXPECT_EQ(IndexedFiles(), expected);  // Wine enumerates in name order
}

TEST_F(FileIndexTest, PatternsWithoutALeadingStarKeepTheirDirectory) {
    first.Write("windows.inc", "x");
    first.Write("winuser.inc", "x");
    first.Write("kernel.inc", "x");
    IndexPaths({first / "win*.inc", first / "kernel.inc"});
    EXPECT_EQ(IndexedFiles(), (Files{first / "windows.inc", first / "winuser.inc", first / "kernel.inc"}));
}

TEST_F(FileIndexTest, RelativePathsAreTakenFromTheExecutablesFolder) {
    TempFolder beside(ExecutableDirectory());
    beside.Write("rel.inc", "x");
    std::string folderName = beside.Path().substr(strlen(ExecutableDirectory()));
    IndexPaths({folderName + "*.inc"});
    EXPECT_EQ(IndexedFiles(), Files{beside / "rel.inc"});
}

// Three levels: each folder's own matches first, then its sub-folders in
// listing order, depth-first, each with a group of its own. A folder named
// like a match is walked, never listed, so a search sounds no tone for it.
TEST_F(FileIndexTest, ATreeListsEachFolderBeforeItsSubFoldersDepthFirst) {
    for (const char* name : {"b", "b\\deep", "a", "a\\x.h", "empty"}) first.MakeFolder(name);
    for (const char* name : {"z.h", "m.h", "b\\b.h", "b\\deep\\d.h", "a\\a.h", "a\\x.h\\in.h", "a\\skip.c"})
        first.Write(name, "needle");
    second.Write("after.h", "needle");
    IndexPaths({first / "**\\*.h", second / "*.h"});
    const Files expected = {first / "m.h",          first / "z.h",   first / "a\\a.h",
                            first / "a\\x.h\\in.h", first / "b\\b.h", first / "b\\deep\\d.h",
                            second / "after.h"};
    EXPECT_EQ(IndexedFiles(), expected);
    EXPECT_EQ(std::string(App.FileIndex + first.Path().size() + 1 + 4 + 4), first.Path() + "a\\*a.h")
        << "a folder's group entry";
    ClearRecordedEffects();
    EXPECT_EQ(window.Search("needle"), expected);
    EXPECT_TRUE(RecordedTones().empty());

    // Re-indexing picks up a new sub-folder; the path without "**" stays in its folder.
    first.MakeFolder("c");
    first.Write("c\\new.h", "x");
    IndexPaths({first / "**\\*.h", first / "*.h"});
    EXPECT_EQ(IndexedFiles().size(), 9u);
    EXPECT_EQ(IndexedFiles()[6], first / "c\\new.h");
    EXPECT_EQ(IndexedFiles()[7], first / "m.h");
}

// Relative to the program's folder, and deeper than the ANSI calls reach.
TEST_F(FileIndexTest, TreesOfAnyDepthAndRelativeTrees) {
    std::string deep;
    for (int level = 0; level < 4; ++level) {
        deep += std::string(90, static_cast<char>('p' + level)) + "\\";
        first.MakeFolder(deep);
    }
    first.Write(deep + "bottom.inc", "x");
    first.Write("top.inc", "x");
    IndexPaths({first / "**\\*.inc"});
    ASSERT_GT((first / deep).size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(IndexedFiles(), (Files{first / "top.inc", first / (deep + "bottom.inc")}));

    TempFolder beside(ExecutableDirectory());
    beside.MakeFolder("sub");
    beside.Write("sub\\rel.inc", "x");
    IndexPaths({beside.Path().substr(strlen(ExecutableDirectory())) + "**\\*.inc"});
    EXPECT_EQ(IndexedFiles(), Files{beside / "sub\\rel.inc"});
}

}  // namespace
