#include "core/folder_walk.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "lead_bytes_932.h"

namespace {

TEST(TreeSearchPath, OnlyAWholeLastFolderNamedStarStarMakesATree) {
    const struct {
        const char* path;
        const char* base;  // null: no tree
        const char* mask;
    } cases[] = {
        {"C:\\kit\\include\\**\\*.h", "C:\\kit\\include\\", "*.h"},
        {"\\\\server\\share\\**\\*.*", "\\\\server\\share\\", "*.*"},
        {"\\\\?\\C:\\kit\\**\\*.inc", "\\\\?\\C:\\kit\\", "*.inc"},
        {"/kit/**/*.h", "/kit/", "*.h"},
        {"**\\*.h", "", "*.h"},
        {"C:**\\*.h", "C:", "*.h"},
        {"C:\\kit\\**\\", "C:\\kit\\", ""},
        {"C:\\kit\\**\\**\\*.h", "C:\\kit\\**\\", "*.h"},
        {"C:\\kit\\**", nullptr, nullptr},  // "**" is the mask here
        {"C:\\kit\\a**\\*.h", nullptr, nullptr},
        {"C:\\kit\\**a\\*.h", nullptr, nullptr},
        {"C:\\kit\\*\\*.h", nullptr, nullptr},
        {"C:\\**\\kit\\*.h", nullptr, nullptr},
        {"*.h", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        size_t baseLength = 99, maskStart = 99;
        const bool tree = SplitTreeSearchPath(c.path, &baseLength, &maskStart);
        ASSERT_EQ(tree, c.base != nullptr) << c.path;
        if (!tree) continue;
        EXPECT_EQ(std::string(c.path, baseLength), c.base) << c.path;
        EXPECT_STREQ(c.path + maskStart, c.mask) << c.path;
    }
    // Under code page 932 the folder "表**" (0x95 0x5C '*' '*') is no "**".
    size_t baseLength, maskStart;
    EXPECT_FALSE(SplitTreeSearchPath("C:\\\x95\x5C**\\*.h", &baseLength, &maskStart, LeadBytes932()));
    ASSERT_TRUE(SplitTreeSearchPath("C:\\\x95\x5C\\**\\*.h", &baseLength, &maskStart, LeadBytes932()));
    EXPECT_EQ(baseLength, 6u);
}

TEST(TreeSearchPath, SubFoldersKeepTheSeparatorOfTheirParent) {
    char out[16];
    ASSERT_TRUE(ComposeSubFolder("C:\\kit\\", 7, "inc", out, sizeof out));
    EXPECT_STREQ(out, "C:\\kit\\inc\\");
    ASSERT_TRUE(ComposeSubFolder("/kit/", 5, "inc", out, sizeof out));
    EXPECT_STREQ(out, "/kit/inc/");
    ASSERT_TRUE(ComposeSubFolder("C:", 2, "inc", out, sizeof out));
    EXPECT_STREQ(out, "C:inc\\");
    ASSERT_TRUE(ComposeSubFolder("C:\\kit\\", 7, "1234567", out, sizeof out));  // 15 and the terminator
    EXPECT_STREQ(out, "C:\\kit\\1234567\\");
    EXPECT_FALSE(ComposeSubFolder("C:\\kit\\", 7, "12345678", out, sizeof out));
}

char* GrowWithRealloc(char* block, size_t newSize) { return static_cast<char*>(realloc(block, newSize)); }
char* RefuseToGrow(char*, size_t) { return nullptr; }

std::vector<std::string> PopAll(FolderStack& stack, size_t outSize = 4096) {
    std::vector<std::string> popped;
    std::vector<char> out(outSize);
    while (PopFolder(stack, out.data(), out.size())) popped.push_back(out.data());
    return popped;
}

// Children pushed in listing order come back first-listed first, before
// anything pushed earlier: a depth-first walk in listing order.
TEST(FolderStack, PopsEachListingInItsOwnOrderDepthFirst) {
    FolderStack stack = {nullptr, 0, 0, GrowWithRealloc};
    ASSERT_TRUE(PushFolder(stack, "/r/z/"));
    const size_t mark = stack.used;
    for (const char* folder : {"/r/a/", "/r/bb/", "/r/c/"}) ASSERT_TRUE(PushFolder(stack, folder));
    ReverseFolders(stack, mark);
    ReverseFolders(stack, stack.used);  // a folder without sub-folders
    std::vector<char> out(64);
    ASSERT_TRUE(PopFolder(stack, out.data(), out.size()));
    EXPECT_STREQ(out.data(), "/r/a/");
    const size_t inner = stack.used;
    ASSERT_TRUE(PushFolder(stack, "/r/a/x/"));
    ReverseFolders(stack, inner);
    EXPECT_EQ(PopAll(stack), (std::vector<std::string>{"/r/a/x/", "/r/bb/", "/r/c/", "/r/z/"}));

    // Past the first block, and a folder too long for the caller's buffer is dropped.
    const std::string deep = "/" + std::string(5000, 'd') + "/";
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(PushFolder(stack, (deep + std::to_string(i) + "/").c_str()));
    ASSERT_TRUE(PushFolder(stack, "/short/"));
    EXPECT_EQ(PopAll(stack), std::vector<std::string>{"/short/"});
    EXPECT_EQ(stack.used, 0u);
    free(stack.block);

    FolderStack refused = {nullptr, 0, 0, RefuseToGrow};
    EXPECT_FALSE(PushFolder(refused, "/r/"));
    EXPECT_TRUE(PopAll(refused).empty());
}

}  // namespace
