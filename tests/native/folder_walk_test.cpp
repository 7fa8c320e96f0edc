#include "core/folder_walk.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
