#include "core/changed_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include "core/index_format.h"

namespace {

char* GrowWithRealloc(char* block, size_t newSize) { return static_cast<char*>(realloc(block, newSize)); }

TEST(ChangedFiles, TheFileOfAPathAndEveryFileBelowIt) {
    IndexWriter writer = {nullptr, 0, 0, GrowWithRealloc, false, false};
    BeginIndex(writer);
    AddGroupEntry(writer, "C:\\kit\\", 7, "a.h");        // 0
    AddNameEntry(writer, "subway.h");                     // 1
    AddGroupEntry(writer, "C:\\kit\\sub\\", 11, "b.h");  // 2
    AddGroupEntry(writer, "C:/kit/sub/", 11, "c.h");     // 3: as a search path may write it
    AddGroupEntry(writer, "D:\\other\\", 9, "a.h");      // 4
    EndIndex(writer);
    ChangedFiles map;
    ASSERT_TRUE(MapChangedFiles(map, writer.block));
    const struct {
        const char* path;
        std::vector<uint32_t> want;
    } cases[] = {
        {"C:\\kit\\a.h", {0}},
        {"c:\\KIT\\A.H", {0}},
        {"C:\\kit\\sub", {2, 3}},
        {"C:\\kit\\sub\\", {2, 3}},
        {"C:\\kit\\sub/c.h", {3}},
        {"C:\\kit\\", {0, 2, 3, 1}},
        {"C:\\kit\\missing.h", {}},
        {"C:\\ki", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> files;
        FilesTouched(map, c.path, strlen(c.path), files);
        EXPECT_EQ(files, c.want) << c.path;
    }
    free(writer.block);
}

}  // namespace
