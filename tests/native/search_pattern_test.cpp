#include "ui/search_pattern.h"

#include <gtest/gtest.h>

#include <string>

#include "lead_bytes_932.h"

namespace {

std::string Derive(const std::string& chosen, size_t outSize = 256, LeadByteTable leadBytes = nullptr) {
    char out[512];
    DeriveSearchPattern(chosen.c_str(), out, outSize, leadBytes);
    return out;
}

TEST(SearchPattern, FolderWithAWildcardForTheExtension) {
    const struct {
        const char* chosen;
        const char* pattern;
    } cases[] = {
        {"C:\\inc\\windows.inc", "C:\\inc\\*.inc"},
        {"D:\\asm\\kernel32.inc", "D:\\asm\\*.inc"},
        {"C:\\c\\main.h", "C:\\c\\*.h"},
        {"C:\\src\\page.html", "C:\\src\\*.htm"},
        {"C:\\src\\archive.tar.gz", "C:\\src\\*.gz"},
        {"\\\\server\\share\\x.asm", "\\\\server\\share\\*.asm"},
        // The extension comes from the file's own name, never from a folder.
        {"C:\\my.dir\\README", "C:\\my.dir\\*."},
        {"C:\\a.b\\README", "C:\\a.b\\*."},
        {"C:\\a.b\\trailing.", "C:\\a.b\\*."},
        {"C:\\x\\.profile", "C:\\x\\*.pro"},
    };
    for (const auto& c : cases) EXPECT_EQ(Derive(c.chosen), c.pattern) << c.chosen;
}

// '表' (0x95 0x5C) ends in a backslash byte that separates nothing; a
// single-byte code page still cuts there.
TEST(SearchPattern, DoubleByteCharactersAreNeverCut) {
    const struct {
        const char* chosen;
        const char* pattern;
    } cases[] = {
        {"C:\\\x95\x5C\\a.inc", "C:\\\x95\x5C\\*.inc"},
        {"C:\\dir\\\x95\x5C.inc", "C:\\dir\\*.inc"},
        {"C:\\dir\\\x95\x5C", "C:\\dir\\*."},
        // Three bytes would end in the first half of the second character.
        {"C:\\x.\x95\x5C\x95\x5C", "C:\\*.\x95\x5C"},
        {"C:\\x.a\x95\x5C", "C:\\*.a\x95\x5C"},
    };
    for (const auto& c : cases) EXPECT_EQ(Derive(c.chosen, 256, LeadBytes932()), c.pattern) << c.chosen;
    EXPECT_EQ(Derive("C:\\dir\\\x95\x5C.inc"), "C:\\dir\\\x95\\*.inc") << "cut at the byte in a single-byte code page";
}

TEST(SearchPattern, TooLongForTheSlotKeepsTheChosenFile) {
    // A 255-character path ending in a one-letter name would give 256.
    std::string chosen = "C:\\" + std::string(250, 'd') + "\\a";
    ASSERT_EQ(chosen.size(), 255u);
    EXPECT_EQ(Derive(chosen), chosen);
    std::string shorter = "C:\\" + std::string(249, 'd') + "\\a";
    EXPECT_EQ(Derive(shorter), "C:\\" + std::string(249, 'd') + "\\*.");
}

}  // namespace
