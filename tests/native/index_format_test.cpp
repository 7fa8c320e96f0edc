#include "core/index_format.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "lead_bytes_932.h"

namespace {

char* GrowWithRealloc(char* block, size_t newSize) { return static_cast<char*>(realloc(block, newSize)); }
char* RefuseToGrow(char*, size_t) { return nullptr; }

struct Index {
    IndexWriter writer;
    explicit Index(size_t size, IndexGrowFn grow = GrowWithRealloc)
        : writer{static_cast<char*>(malloc(size)), size, 0, grow, false, false} {
        memset(writer.block, 'S', size);  // stale bytes from an earlier build
        BeginIndex(writer);
    }
    ~Index() { free(writer.block); }

    // Every file as its full path, in index order.
    std::vector<std::string> Files() const {
        std::vector<std::string> files;
        IndexCursor cursor = StartIndexWalk(writer.block);
        const char* name;
        while (NextIndexedFile(cursor, &name)) files.push_back(std::string(cursor.directory, cursor.directoryLength) + name);
        return files;
    }
};

bool AddGroup(Index& index, const char* directory, const char* name) {
    return AddGroupEntry(index.writer, directory, strlen(directory), name);
}

TEST(FileIndexFormat, GroupsJoinNamesToTheirOwnDirectory) {
    Index index(64);
    ASSERT_TRUE(AddGroup(index, "\\korvan\\include\\", "a.inc"));
    ASSERT_TRUE(AddNameEntry(index.writer, "b.inc"));
    ASSERT_TRUE(AddGroup(index, "C:\\other\\", "c.h"));
    ASSERT_TRUE(AddNameEntry(index.writer, "d.h"));
    EndIndex(index.writer);

    const char bytes[] = "\\korvan\\include\\*a.inc\0b.inc\0C:\\other\\*c.h\0d.h\0";
    ASSERT_EQ(index.writer.used, sizeof bytes - 1);
    EXPECT_EQ(memcmp(index.writer.block, bytes, sizeof bytes), 0) << "entries and the end marker";
    EXPECT_EQ(index.Files(), (std::vector<std::string>{"\\korvan\\include\\a.inc", "\\korvan\\include\\b.inc",
                                                       "C:\\other\\c.h", "C:\\other\\d.h"}));
}

// A search that reads only some files gets them as an index of their own:
// each keeps its directory, even where its group's first file is left out.
TEST(FileIndexFormat, SelectingFilesKeepsTheirDirectoriesAndOrder) {
    Index index(64);
    ASSERT_TRUE(AddGroup(index, "C:\\a\\", "0"));
    ASSERT_TRUE(AddNameEntry(index.writer, "1"));
    ASSERT_TRUE(AddNameEntry(index.writer, "2"));
    ASSERT_TRUE(AddGroup(index, "D:\\b\\", "3"));
    ASSERT_TRUE(AddNameEntry(index.writer, "4"));
    EndIndex(index.writer);
    const struct {
        std::vector<unsigned> files;
        std::vector<std::string> want;
    } cases[] = {
        {{}, {}},
        {{0, 1, 2, 3, 4}, {"C:\\a\\0", "C:\\a\\1", "C:\\a\\2", "D:\\b\\3", "D:\\b\\4"}},
        {{1, 4}, {"C:\\a\\1", "D:\\b\\4"}},
        {{2, 3}, {"C:\\a\\2", "D:\\b\\3"}},
        {{4, 9}, {"D:\\b\\4"}},
    };
    for (const auto& c : cases) {
        Index chosen(16);
        EXPECT_TRUE(SelectIndexedFiles(index.writer.block, c.files.data(), c.files.size(), chosen.writer));
        EndIndex(chosen.writer);
        EXPECT_EQ(chosen.Files(), c.want) << c.files.size() << " files";
    }
}

TEST(FileIndexFormat, EmptyAndSingleFileLists) {
    Index empty(16);
    EndIndex(empty.writer);
    EXPECT_TRUE(empty.Files().empty());

    Index one(16);
    ASSERT_TRUE(AddGroup(one, "C:", "only.inc"));
    EndIndex(one.writer);
    EXPECT_EQ(one.Files(), std::vector<std::string>{"C:only.inc"});

    EXPECT_TRUE(StartIndexWalk(nullptr).next == nullptr);
    IndexCursor none = StartIndexWalk(nullptr);
    const char* name;
    EXPECT_FALSE(NextIndexedFile(none, &name));
}

TEST(FileIndexFormat, RebuildOverALongerListReadsOnlyTheNewOne) {
    Index index(256);
    ASSERT_TRUE(AddGroup(index, "C:\\a\\", "one"));
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(AddNameEntry(index.writer, "another-name"));
    EndIndex(index.writer);
    BeginIndex(index.writer);
    ASSERT_TRUE(AddGroup(index, "D:\\b\\", "x"));
    EndIndex(index.writer);
    EXPECT_EQ(index.Files(), std::vector<std::string>{"D:\\b\\x"});
}

TEST(FileIndexFormat, GrowsPastSixtyFourKilobytesAndKeepsEveryName) {
    Index index(0x10000);
    const std::string directory = "C:\\kit\\include\\";
    std::vector<std::string> expected;
    for (int i = 0; i < 5000; ++i) {
        std::string name = "a_rather_long_include_file_name_number_" + std::to_string(i) + ".inc";
        ASSERT_TRUE(i == 0 ? AddGroup(index, directory.c_str(), name.c_str()) : AddNameEntry(index.writer, name.c_str()));
        expected.push_back(directory + name);
    }
    EndIndex(index.writer);
    EXPECT_GT(index.writer.used, 0x10000u);
    EXPECT_EQ(index.Files(), expected);
}

TEST(FileIndexFormat, AFailedGrowthStopsTheListWithoutMisplacingNames) {
    Index index(32, RefuseToGrow);
    ASSERT_TRUE(AddGroup(index, "C:\\a\\", "x.inc"));
    EXPECT_FALSE(AddGroup(index, "C:\\a_directory_too_long_to_fit\\", "y.inc"));
    // A later short name must not be joined to the first directory.
    EXPECT_FALSE(AddNameEntry(index.writer, "z"));
    EndIndex(index.writer);
    EXPECT_EQ(index.Files(), std::vector<std::string>{"C:\\a\\x.inc"});
}

TEST(FileIndexFormat, EntriesThatWouldReadBackWrongAreRefused) {
    Index index(256);
    EXPECT_FALSE(AddNameEntry(index.writer, "before-any-group"));
    // The reader would end the directory at the first star, or take a
    // relative directory's entry for a name of the group before it.
    for (const char* directory : {"C:\\a*b\\", "inc\\", "C", ""}) {
        ASSERT_TRUE(AddGroup(index, "C:\\ok\\", "kept"));
        EXPECT_FALSE(AddGroup(index, directory, "x")) << directory;
        EXPECT_FALSE(AddNameEntry(index.writer, "y")) << "joined to C:\\ok\\ after " << directory;
    }
    // An empty name would end the list; the others would read as directories.
    ASSERT_TRUE(AddGroup(index, "\\\\srv\\share\\", "a"));
    for (const char* name : {"", "\\b", "/b", "c:b"}) EXPECT_FALSE(AddNameEntry(index.writer, name)) << name;
    EXPECT_TRUE(AddNameEntry(index.writer, "d"));
    EXPECT_FALSE(index.writer.failed) << "refusals are not failures";
    EndIndex(index.writer);
    EXPECT_EQ(index.Files(), (std::vector<std::string>{"C:\\ok\\kept", "C:\\ok\\kept", "C:\\ok\\kept",
                                                       "C:\\ok\\kept", "\\\\srv\\share\\a",
                                                       "\\\\srv\\share\\d"}));
}

TEST(SearchPath, DirectoryPartAndKind) {
    const struct {
        const char* path;
        size_t directoryLength;
        bool absolute;
    } cases[] = {
        {"\\korvan\\include\\*.inc", 16, true},
        {"C:\\inc\\*.inc", 7, true},
        {"C:\\inc\\win*.inc", 7, true},
        {"C:\\inc\\one.inc", 7, true},
        {"C:*.inc", 2, true},
        {"C:/inc/*.h", 7, true},
        {"\\\\server\\share\\*.*", 15, true},
        {"inc\\*.h", 4, false},
        {"*.h", 0, false},
        {"", 0, false},
        {"a", 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SearchPathDirectoryLength(c.path), c.directoryLength) << c.path;
        EXPECT_EQ(IsAbsoluteSearchPath(c.path), c.absolute) << c.path;
    }
    // File names returned by an enumeration are never taken for directories.
    for (const char* name : {"a.inc", ".", "..", "x", "aux.h"}) EXPECT_FALSE(IsDirectoryEntry(name)) << name;
}

TEST(SearchPath, UnderCodePage932ASecondByte0x5CSeparatesNothing) {
    const struct {
        const char* path;
        size_t cp932, singleByte;
    } cases[] = {
        {"C:\\\x95\x5C\\*.inc", 6, 6},
        {"C:\\dir\\\x95\x5C.inc", 7, 9},
        {"C:\\\x95\x5C", 3, 5},
        {"\x95\x5C*.inc", 0, 2},
        {"C:\\a\x81\\b", 3, 6},
        {"C:\\a\\\x81", 5, 5},  // a lead byte that ends the text stands alone
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SearchPathDirectoryLength(c.path, LeadBytes932()), c.cp932) << c.path;
        EXPECT_EQ(SearchPathDirectoryLength(c.path), c.singleByte) << c.path;
    }
}

TEST(SearchPath, RelativePathsResolveAgainstTheBase) {
    char out[32];
    ASSERT_TRUE(ResolveSearchPath("inc\\*.h", "Z:\\app\\", out, sizeof out));
    EXPECT_STREQ(out, "Z:\\app\\inc\\*.h");
    ASSERT_TRUE(ResolveSearchPath("C:\\x\\*.h", "Z:\\app\\", out, sizeof out));
    EXPECT_STREQ(out, "C:\\x\\*.h");
    EXPECT_FALSE(ResolveSearchPath("a_rather_long_relative\\*.h", "Z:\\app\\", out, sizeof out));
}

TEST(FullPath, ComposedWholeOrRefused) {
    std::string directory(300, 'd');
    std::string name(200, 'n');
    std::vector<char> out(501);
    ASSERT_TRUE(ComposeFullPath(directory.c_str(), directory.size(), name.c_str(), out.data(), out.size()));
    EXPECT_EQ(std::string(out.data()), directory + name);
    EXPECT_FALSE(ComposeFullPath(directory.c_str(), directory.size(), name.c_str(), out.data(), 500));
    EXPECT_FALSE(ComposeFullPath(directory.c_str(), directory.size(), "", out.data(), 300));
    ASSERT_TRUE(ComposeFullPath("C:\\x\\", 5, "", out.data(), 6));
    EXPECT_STREQ(out.data(), "C:\\x\\");
}

}  // namespace
