#include "core/line_locator.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <type_traits>

namespace {

// A file in memory, read in the pieces asked for; a read error, if any, at failAt.
struct MemoryFile {
    std::string bytes;
    size_t at = 0;
    size_t failAt = std::string::npos;
};

bool ReadMemory(void* context, char* into, size_t want, size_t* got) {
    MemoryFile& file = *static_cast<MemoryFile*>(context);
    const size_t end = file.failAt < file.bytes.size() ? file.failAt : file.bytes.size();
    *got = file.at < end ? std::min(want, end - file.at) : 0;
    memcpy(into, file.bytes.data() + file.at, *got);
    file.at += *got;
    return file.at < file.failAt || *got == want;
}

struct Found {
    unsigned long long line;
    LineEncoding encoding;
    std::string text;  // as the file holds it: bytes, or UTF-16 LE
};

// The query as a search prepares it, each byte read as Latin-1.
Found Locate(const std::string& bytes, const std::string& query, bool caseInsensitive = false,
             size_t failAt = std::string::npos, bool wholeWords = false, bool pattern = false) {
    static char buffer[kLocatorBufferSize];
    static QueryMatcher matcher;
    ReleaseQueryMatcher(matcher);
    PatternError error;
    EXPECT_EQ(PrepareQueryMatcher(query.c_str(), nullptr, nullptr, caseInsensitive, wholeWords, pattern, matcher,
                                  &error),
              kMatcherReady)
        << query << ": " << error.message;
    MemoryFile file{bytes, 0, failAt};
    LineLocation out;
    memset(&out, '#', sizeof out);
    LocateLine(ReadMemory, &file, buffer, matcher, &out);
    EXPECT_EQ(out.text[out.length], '\0');
    return {out.line, out.encoding, std::string(out.text, out.length)};
}

std::string Bytes(const std::string& text) { return text; }
std::string Bytes(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

// Worked out apart from the product: the whole file at once, in bytes or in
// UTF-16 code units.
template <typename Text>
Found Reference(const Text& file, const Text& query, LineEncoding encoding) {
    using Char = typename Text::value_type;
    const size_t hit = file.find(query);
    if (query.empty() || hit == Text::npos) return {0, kAnsiLine, ""};
    const size_t start = file.rfind(Char('\n'), hit) == Text::npos ? 0 : file.rfind(Char('\n'), hit) + 1;
    const size_t end = file.find(Char('\n'), hit) == Text::npos ? file.size() : file.find(Char('\n'), hit);
    Text text;
    for (size_t i = start; i < end; ++i) {
        const unsigned c = static_cast<typename std::make_unsigned<Char>::type>(file[i]);
        text += (c < 0x20 || c == 0x7F || c == 0xFEFF) ? Char(' ') : file[i];
    }
    const size_t first = text.find_first_not_of(Char(' '));
    text = first == Text::npos ? Text() : text.substr(first, kLineTextLimit);
    while (!text.empty() && text.back() == Char(' ')) text.pop_back();
    const auto lines = std::count(file.begin(), file.begin() + hit, Char('\n'));
    return {1 + static_cast<unsigned long long>(lines), encoding, Bytes(text)};
}

TEST(LocateLine, KnownFiles) {
    const std::string longLine = std::string(50, ' ') + "needle" + std::string(300, 'x');
    const struct {
        const char* name;
        std::string bytes;
        const char* query;
        bool caseInsensitive;
        unsigned long long line;
        std::string text;
    } cases[] = {
        {"first byte, CR LF", "needle here\r\nmore\r\n", "needle", false, 1, "needle here"},
        {"LF only, tabs", "a\nb\n\t c\tneedle\td\t\nneedle\n", "needle", false, 3, "c needle d"},
        {"CR LF ends one line", "a\r\nb\r\n  needle  \r\n", "needle", false, 3, "needle"},
        {"no line end at all", "some words, then needle, then more", "needle", false, 1,
         "some words, then needle, then more"},
        {"last byte", "abc\nxyz!", "!", false, 2, "xyz!"},
        {"zero and control bytes", std::string("\0\x01 a\0b needle\x1b\x7f\r\n", 18), "needle", false, 1,
         "a b needle"},
        {"lone CR is no line end", "one\rtwo needle\n", "needle", false, 1, "one two needle"},
        {"bytes from 0x80 kept", "\xE4\xF6\xFC needle \xC9", "needle", false, 1, "\xE4\xF6\xFC needle \xC9"},
        {"cut to the limit after the blanks", longLine, "needle", false, 1, longLine.substr(50, 200)},
        {"case-insensitive", "x\nNEEDLE\n", "needle", true, 2, "NEEDLE"},
        {"inside a failed partial match", "a\naaab\n", "aab", false, 2, "aaab"},
        {"absent", "a\nb\nc\n", "needle", false, 0, ""},
        {"empty query", "needle", "", false, 0, ""},
        {"first of two", "x\nneedle one\nneedle two\n", "needle", false, 2, "needle one"},
    };
    for (const auto& c : cases) {
        const Found found = Locate(c.bytes, c.query, c.caseInsensitive);
        EXPECT_EQ(found.line, c.line) << c.name;
        EXPECT_EQ(found.text, c.text) << c.name;
        EXPECT_EQ(found.encoding, kAnsiLine) << c.name;
    }
}

TEST(LocateLine, TheQuerysOtherSpellingsAndTheirLines) {
    const std::u16string utf16 = u"\uFEFFone\r\n\t two NEEDLE caf\u00E9\r\n";
    std::string utf8Line = "\xC3\xA9t\xC3\xA9";  // "été" in UTF-8, then 300 more "é"
    for (int i = 0; i < 300; ++i) utf8Line += "\xC3\xA9";
    const struct {
        const char* name;
        std::string bytes;
        const char* query;  // Latin-1
        bool caseInsensitive;
        unsigned long long line;
        LineEncoding encoding;
        std::string text;
    } cases[] = {
        {"UTF-16", Bytes(utf16), "needle", true, 2, kUtf16Line, Bytes(std::u16string(u"two NEEDLE caf\u00E9"))},
        {"UTF-16, a Latin-1 query", Bytes(utf16), "caf\xE9", false, 2, kUtf16Line,
         Bytes(std::u16string(u"two NEEDLE caf\u00E9"))},
        {"UTF-16, first line", Bytes(std::u16string(u"\uFEFF  needle\n")), "needle", false, 1, kUtf16Line,
         Bytes(std::u16string(u"needle"))},
        {"UTF-16 without its mark: bytes", Bytes(std::u16string(u"x\nneedle")), "needle", false, 0, kAnsiLine, ""},
        {"UTF-8", "x\ncaf\xC3\xA9 au lait\n", "caf\xE9", false, 2, kUtf8Line, "caf\xC3\xA9 au lait"},
        {"the ANSI bytes come first", "caf\xE9\ncaf\xC3\xA9\n", "caf\xE9", false, 1, kAnsiLine, "caf\xE9"},
        {"UTF-8 cut at 200 characters", "\n" + utf8Line, "\xE9t\xE9", false, 2, kUtf8Line, utf8Line.substr(0, 399)},
    };
    for (const auto& c : cases) {
        const Found found = Locate(c.bytes, c.query, c.caseInsensitive);
        EXPECT_EQ(found.line, c.line) << c.name;
        EXPECT_EQ(found.encoding, c.encoding) << c.name;
        EXPECT_EQ(found.text, c.text) << c.name;
    }
}

// The line of the first match, whatever the mode: a whole word after a
// glued one, a pattern's line in each encoding.
TEST(LocateLine, TheLineOfAWholeWordOrAPattern) {
    const std::string longLine = std::string(3 * kReadPiece, 'x') + " Open";
    const struct {
        const char* name;
        std::string bytes;
        const char* query;
        bool wholeWords, pattern;
        unsigned long long line;
        LineEncoding encoding;
        std::string text;
    } cases[] = {
        {"a whole word after a glued one", "OpenFile\nx Open y\n", "Open", true, false, 2, kAnsiLine, "x Open y"},
        {"a pattern's line", "#define X\n  #define WM_A\n#define WM_B 1\r\n", "^#define\\s+WM_", false, true, 3,
         kAnsiLine, "#define WM_B 1"},
        {"$ before CR LF", "foo bar\r\nfoo\r\n", "foo$", false, true, 2, kAnsiLine, "foo"},
        {"whole words and a pattern", "CreateWindowExW(\nx = CreateWindowEx(y\n", "\\w+Ex\\(", true, true, 2,
         kAnsiLine, "x = CreateWindowEx(y"},
        {"the UTF-8 form", "caf\xE9s\ncaf\xC3\xA9\n", "caf\xE9$", false, true, 2, kUtf8Line, "caf\xC3\xA9"},
        {"UTF-16", Bytes(std::u16string(u"\uFEFFa\r\n\tOpen(1)\r\n")), "^\\s*Open\\(", false, true, 2, kUtf16Line,
         Bytes(std::u16string(u"Open(1)"))},
        {"after a line longer than a piece", "\n" + longLine + "\n", "Open$", true, true, 2, kAnsiLine,
         longLine.substr(0, kLineTextLimit)},
        {"no whole match", "OpenFile\nReopen\n", "Open", true, true, 0, kAnsiLine, ""},
    };
    for (const auto& c : cases) {
        const Found found = Locate(c.bytes, c.query, false, std::string::npos, c.wholeWords, c.pattern);
        EXPECT_EQ(found.line, c.line) << c.name;
        EXPECT_EQ(found.encoding, c.encoding) << c.name;
        EXPECT_EQ(found.text, c.text) << c.name;
    }
}

// Every way a hit and its line can lie across the read pieces, in a file of
// bytes and in a UTF-16 one: the hit across a boundary or beside it, its line
// begun pieces before and ended pieces after, or ended right at it.
template <typename Text>
void CheckEveryPlacement() {
    using Char = typename Text::value_type;
    const bool utf16 = sizeof(Char) == 2;
    const size_t boundaries[] = {kFirstReadPiece / sizeof(Char), (kFirstReadPiece + kReadPiece) / sizeof(Char)};
    const size_t size = (kFirstReadPiece + 2 * kReadPiece) / sizeof(Char) + 100;
    for (size_t length : {1, 2, 5, 40}) {
        std::string query;
        for (size_t k = 0; k < length; ++k) query += static_cast<char>('Q' + k % 3);
        const Text sought(query.begin(), query.end());
        for (size_t boundary : boundaries) {
            for (size_t start : {boundary - length - 1, boundary - length, boundary - length + 1,
                                 boundary - (length + 1) / 2, boundary - 1, boundary, boundary + 1}) {
                for (int layout = 0; layout < 4; ++layout) {
                    Text file(size, Char('a'));
                    if (utf16) file[0] = Char(0xFEFF);
                    for (size_t i = 100; i < size; i += 97) file[i] = Char(' ');
                    for (size_t i = 500; i < size; i += 1000) file[i] = Char('\n');
                    // The hit's line: begun a piece before, or right at it; ended a piece after, or right after.
                    for (size_t i = start > 20000 ? start - 20000 : 0; i < start + 140000 && i < size; ++i)
                        if (file[i] == Char('\n')) file[i] = Char('\t');
                    if (layout & 1) file[start - 1] = Char('\n');
                    if ((layout & 2) && start + length < size) file[start + length] = Char('\n');
                    file.replace(start, length, sought);
                    const Found want = Reference(file, sought, utf16 ? kUtf16Line : kAnsiLine);
                    const Found got = Locate(Bytes(file), query);
                    ASSERT_NE(want.line, 0u);
                    ASSERT_EQ(got.line, want.line) << (utf16 ? "UTF-16, " : "") << "query length " << length
                                                   << ", hit at " << start << ", layout " << layout;
                    ASSERT_EQ(got.text, want.text) << (utf16 ? "UTF-16, " : "") << "query length " << length
                                                   << ", hit at " << start << ", layout " << layout;
                }
            }
        }
    }
}

TEST(LocateLine, HitsAndLinesAcrossEveryPieceBoundary) {
    CheckEveryPlacement<std::string>();
    CheckEveryPlacement<std::u16string>();
}

TEST(LocateLine, AReadErrorEndsTheFileWhereItHappened) {
    const std::string bytes = std::string(kFirstReadPiece + 10, 'a') + "\nneedle and more\n";
    const size_t needle = kFirstReadPiece + 11;
    EXPECT_EQ(Locate(bytes, "needle", false, needle + 5).line, 0u);
    const Found found = Locate(bytes, "needle", false, needle + 7);
    EXPECT_EQ(found.line, 2u);
    EXPECT_EQ(found.text, "needle");  // its line ends where the reading did
}

}  // namespace
