#include "core/query_spellings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Little-endian bytes of UTF-16 code units, written out by hand.
std::string Utf16(std::u16string units) {
    std::string bytes;
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST(QuerySpellings, EachSpellingOfAQuery) {
    const struct {
        const char* ansi;
        const char16_t* wide;  // null: the ANSI bytes as Latin-1
        std::string utf8, utf16;
    } cases[] = {
        {"MessageBox", nullptr, "", Utf16(u"MessageBox")},
        {"", nullptr, "", ""},
        {"caf\xE9", nullptr, "caf\xC3\xA9", Utf16(u"caf\u00E9")},
        // Code page 1252: 0x80 is the euro sign, 0x9F 'Ÿ'.
        {"\x80=\x9F", u"\u20AC=\u0178", "\xE2\x82\xAC=\xC5\xB8", Utf16(u"\u20AC=\u0178")},
        // Code page 932: two bytes for '表', one for a half-width katakana.
        {"\x95\x5C\xB1", u"\u8868\uFF71", "\xE8\xA1\xA8\xEF\xBD\xB1", Utf16(u"\u8868\uFF71")},
        // Code page 65001: the UTF-8 spelling is the query itself.
        {"caf\xC3\xA9", u"caf\u00E9", "", Utf16(u"caf\u00E9")},
        {"\xF0\x9F\x98\x80!", u"\U0001F600!", "", Utf16(u"\U0001F600!")},
    };
    for (const auto& c : cases) {
        std::unique_ptr<QuerySpellings> s(new QuerySpellings);
        ASSERT_TRUE(PrepareQuerySpellings(c.ansi, c.wide, *s)) << c.ansi;
        EXPECT_EQ(std::string(s->ansi, s->ansiLength), c.ansi);
        EXPECT_EQ(std::string(s->utf8, s->utf8Length), c.utf8) << c.ansi;
        EXPECT_EQ(s->utf8[s->utf8Length], '\0') << c.ansi;
        EXPECT_EQ(std::string(s->utf16, s->utf16Length), c.utf16) << c.ansi;
    }
}

// The longest query the field holds is 254 characters; in every code page
// its spellings fit, so the pieces' overlap stays within its bound.
TEST(QuerySpellings, LongestQueriesAndTheOverlap) {
    std::unique_ptr<QuerySpellings> s(new QuerySpellings);
    const std::string katakana(254, '\xB1');
    const std::u16string wide(254, u'\uFF71');
    ASSERT_TRUE(PrepareQuerySpellings(katakana.c_str(), wide.c_str(), *s));
    EXPECT_EQ(s->utf8Length, 762u);
    EXPECT_EQ(s->utf16Length, 508u);
    EXPECT_EQ(SpellingOverlap(*s, false), 761u);
    EXPECT_EQ(SpellingOverlap(*s, true), 761u);

    ASSERT_TRUE(PrepareQuerySpellings("needle", nullptr, *s));
    EXPECT_EQ(SpellingOverlap(*s, false), 5u);
    EXPECT_EQ(SpellingOverlap(*s, true), 11u);
    ASSERT_TRUE(PrepareQuerySpellings("", nullptr, *s));
    EXPECT_EQ(SpellingOverlap(*s, true), 0u);

    const std::string tooLong(kMaxQueryLength / 2 + 1, 'a');
    EXPECT_FALSE(PrepareQuerySpellings(tooLong.c_str(), nullptr, *s));
    // Within the bound in UTF-16, past it in UTF-8.
    const std::string euros(kMaxQueryLength / 3 + 1, '\x80');
    const std::u16string wideEuros(euros.size(), u'\u20AC');
    EXPECT_FALSE(PrepareQuerySpellings(euros.c_str(), wideEuros.c_str(), *s));
}

TEST(Utf16Text, HitsCountOnWholeCharactersAndFoldOnlyAsciiLetters) {
    const struct {
        const char* what;
        std::string text;
        unsigned long long offset;  // of the text in its file
        std::u16string query;
        bool caseInsensitive;
        size_t at;  // npos: not found
    } cases[] = {
        {"a hit", Utf16(u"call MessageBox"), 0, u"Message", false, 10},
        {"the other case", Utf16(u"MESSAGEBOX"), 0, u"messagebox", true, 0},
        {"the other case, case-sensitively", Utf16(u"MESSAGEBOX"), 0, u"messagebox", false, std::string::npos},
        {"at an odd offset", "x" + Utf16(u"needle"), 0, u"needle", false, std::string::npos},
        {"odd in the text, even in the file", "x" + Utf16(u"needle"), 1, u"needle", false, 1},
        {"even in the text, odd in the file", Utf16(u"needle"), 3, u"needle", false, std::string::npos},
        {"byte-shifted across two characters", Utf16(u"\u6500\u6500"), 0, u"\u0065", false, std::string::npos},
        // Their low bytes are two cases of one letter; the characters are not.
        {"U+0141 and U+0161", Utf16(u"\u0161"), 0, u"\u0141", true, std::string::npos},
        {"U+4100 and U+6100", Utf16(u"\u6100"), 0, u"\u4100", true, std::string::npos},
        {"U+0178 and U+0158", Utf16(u"\u0158"), 0, u"\u0178", true, std::string::npos},
        {"a letter against a letter-like low byte", Utf16(u"\u0161"), 0, u"A", true, std::string::npos},
        {"an empty query", Utf16(u"ab"), 0, u"", false, std::string::npos},
    };
    for (const auto& c : cases) {
        const std::string query = Utf16(c.query);
        const size_t at =
            FindUtf16Text(c.text.data(), c.text.size(), c.offset, query.data(), query.size(), c.caseInsensitive);
        EXPECT_EQ(at, c.at == std::string::npos ? c.text.size() : c.at) << c.what;
    }
}

}  // namespace
