#include "core/line_locator.h"

#include <ctype.h>
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

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

std::string Bytes(const std::string& text) { return text; }
std::string Bytes(const std::u16string& text) {
    std::string bytes(2 * text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

// A listed line as "number: text", its marks in brackets and "~" for the
// ellipsis in front; a UTF-16 line's code units below 0x100 as bytes.
std::string Render(const LineListing& listing, const ListedLine& line) {
    std::string text(listing.text.data() + line.text, line.length);
    const size_t unit = line.encoding == kUtf16Line ? 2 : 1;
    std::string shown = std::to_string(line.number) + ": " + (line.cutBefore ? "~" : "");
    for (size_t i = 0; i <= text.size(); i += unit) {
        for (size_t m = line.marks; m < line.marks + line.markCount; ++m) {
            if (listing.marks[m].end == i) shown += ']';
            if (listing.marks[m].begin == i) shown += '[';
        }
        if (i < text.size()) shown += text[i];
    }
    return shown;
}

struct Listed {
    unsigned long long count;
    std::vector<std::string> lines;
    std::vector<LineEncoding> encodings;
};

enum Mode { kText, kWords, kPattern, kWordPattern };

// The query as a search prepares it, each byte read as Latin-1.
Listed List(const std::string& bytes, const std::string& query, bool caseInsensitive = false, size_t keep = 10,
            bool countAll = true, size_t failAt = std::string::npos, Mode mode = kText) {
    static char buffer[kLocatorBufferSize];
    QueryMatcher matcher;
    PatternError error;
    EXPECT_EQ(PrepareQueryMatcher(query.c_str(), nullptr, nullptr, caseInsensitive, mode == kWords || mode == kWordPattern,
                                  mode >= kPattern, matcher, &error),
              kMatcherReady)
        << query << ": " << error.message;
    MemoryFile file{bytes, 0, failAt};
    LineListing listing;
    ListMatchingLines(ReadMemory, &file, buffer, matcher, keep, countAll, nullptr, &listing);
    Listed listed = {listing.count, {}, {}};
    for (const ListedLine& line : listing.lines) {
        listed.lines.push_back(Render(listing, line));
        listed.encodings.push_back(line.encoding);
    }
    return listed;
}

std::string Repeat(const std::string& text, size_t times) {
    std::string all;
    for (size_t i = 0; i < times; ++i) all += text;
    return all;
}

using Lines = std::vector<std::string>;

TEST(ListMatchingLines, KnownFiles) {
    const std::string x250 = std::string(250, 'x');
    std::string numbered;  // hits on lines 1, 5 and 10,001, past the first pieces
    for (int i = 1; i <= 10001; ++i) numbered += (i == 1 || i == 5 || i == 10001 ? "needle " : "filler ") + std::to_string(i) + "\r\n";
    const std::string straddling = std::string(kFirstReadPiece - 10, 'a') + "\nhead needle tail\n";
    const std::string longLine = std::string(3 * kReadPiece, 'x') + " Open";
    const std::u16string utf16 = u"\uFEFFone needle\r\n\ttwo NEEDLE caf\u00E9\r\n";
    const struct {
        const char* name;
        std::string bytes;
        const char* query;
        bool caseInsensitive;
        size_t keep;
        unsigned long long count;
        Lines lines;
        LineEncoding encoding;  // of every line listed
    } cases[] = {
        {"a line with two hits is one, CR LF", "a needle b needle\r\nnone\r\nneedle\r\n", "needle", false, 10, 2,
         {"1: a [needle] b [needle]", "3: [needle]"}, kAnsiLine},
        {"LF only, tabs and blanks dropped", "a\nb\n\t c\tneedle\td\t\nneedle\n", "needle", false, 10, 2,
         {"3: c [needle] d", "4: [needle]"}, kAnsiLine},
        {"no line end at the end", "x\nlast needle", "needle", false, 10, 1, {"2: last [needle]"}, kAnsiLine},
        {"a lone CR is no line end", "one\rtwo needle\n", "needle", false, 10, 1, {"1: one two [needle]"}, kAnsiLine},
        {"zero and control bytes", std::string("\0\x01 a\0b needle\x1b\x7f\r\n", 18), "needle", false, 10, 1,
         {"1: a b [needle]"}, kAnsiLine},
        {"hits side by side, case-insensitive", "xNeedleNEEDLEx\n", "needle", true, 10, 1,
         {"1: x[Needle][NEEDLE]x"}, kAnsiLine},
        {"a UTF-8 mark is no part of the first line", "\xEF\xBB\xBFneedle\n", "needle", false, 10, 1,
         {"1: [needle]"}, kAnsiLine},
        {"a line across the first two pieces", straddling, "needle", false, 10, 1, {"2: head [needle] tail"},
         kAnsiLine},
        {"lines 1, 5 and 10,001", numbered, "needle", false, 10, 3,
         {"1: [needle] 1", "5: [needle] 5", "10001: [needle] 10001"}, kAnsiLine},
        {"the cap: the rest only counted", numbered, "needle", false, 2, 3, {"1: [needle] 1", "5: [needle] 5"},
         kAnsiLine},
        {"a hit that ends at the cut", std::string(194, 'x') + "needle", "needle", false, 10, 1,
         {"1: " + std::string(194, 'x') + "[needle]"}, kAnsiLine},
        {"one past the cut: cut before it", std::string(195, 'x') + "needle and on", "needle", false, 10, 1,
         {"1: ~" + std::string(20, 'x') + "[needle] and on"}, kAnsiLine},
        {"a late hit, cut to the limit after the ellipsis", x250 + " needle " + x250, "needle", false, 10, 1,
         {"1: ~" + std::string(19, 'x') + " [needle] " + std::string(199 - 27, 'x')}, kAnsiLine},
        {"blanks before a late hit left out", x250 + std::string(30, '\t') + "needle", "needle", false, 10, 1,
         {"1: ~[needle]"}, kAnsiLine},
        {"blanks at the start do not count", std::string(50, ' ') + "needle" + x250, "needle", false, 10, 1,
         {"1: [needle]" + std::string(194, 'x')}, kAnsiLine},
        {"a late hit in a line longer than the buffer", "\n" + longLine + "\n", "Open", false, 10, 1,
         {"2: ~" + std::string(19, 'x') + " [Open]"}, kAnsiLine},
        {"an early hit in a line longer than the buffer", "needle" + longLine, "needle", false, 10, 1,
         {"1: [needle]" + std::string(194, 'x')}, kAnsiLine},
        {"UTF-16: lines at the LF character", Bytes(utf16), "needle", true, 10, 2,
         {"1: one [needle]", "2: two [NEEDLE] caf\xE9"}, kUtf16Line},
        {"UTF-16, a Latin-1 query", Bytes(utf16), "caf\xE9", false, 10, 1, {"2: two NEEDLE [caf\xE9]"}, kUtf16Line},
        {"UTF-16 without its mark: bytes", Bytes(std::u16string(u"x\nneedle")), "needle", false, 10, 0, {}, kAnsiLine},
        {"UTF-8", "x\ncaf\xC3\xA9 au lait\n", "caf\xE9", false, 10, 1, {"2: [caf\xC3\xA9] au lait"}, kUtf8Line},
        {"UTF-8, cut in characters", "\xC3\xA9t\xC3\xA9" + Repeat("\xC3\xA9", 300), "\xE9t\xE9", false, 10, 1,
         {"1: [\xC3\xA9t\xC3\xA9]" + Repeat("\xC3\xA9", 197)}, kUtf8Line},
        {"absent", "a\nb\nc\n", "needle", false, 10, 0, {}, kAnsiLine},
        {"empty query", "needle", "", false, 10, 0, {}, kAnsiLine},
    };
    for (const auto& c : cases) {
        const Listed listed = List(c.bytes, c.query, c.caseInsensitive, c.keep);
        EXPECT_EQ(listed.count, c.count) << c.name;
        EXPECT_EQ(listed.lines, c.lines) << c.name;
        for (LineEncoding encoding : listed.encodings) EXPECT_EQ(encoding, c.encoding) << c.name;
    }
}

// Whole words and patterns: the lines and marks of the search's own matches,
// in each encoding, across a line longer than the buffer too.
TEST(ListMatchingLines, WholeWordsAndPatterns) {
    const std::string longLine = std::string(3 * kReadPiece, 'x') + " Open";
    const struct {
        const char* name;
        std::string bytes;
        const char* query;
        Mode mode;
        unsigned long long count;
        Lines lines;
        LineEncoding encoding;
    } cases[] = {
        {"whole words, glued ones left out", "OpenFile\nx Open(y) Reopen Open\nOpen_x\n", "Open", kWords, 1,
         {"2: x [Open](y) Reopen [Open]"}, kAnsiLine},
        {"a whole word at a line's start and end", "\tOpen\r\nx\nOpen", "Open", kWords, 2, {"1: [Open]", "3: [Open]"},
         kAnsiLine},
        {"a whole word at the start of a line across two pieces", std::string(kFirstReadPiece - 4, 'a') + "\nOpen x\n",
         "Open", kWords, 1, {"2: [Open] x"}, kAnsiLine},
        {"a whole word after a UTF-8 mark", "\xEF\xBB\xBFOpen x\n", "Open", kWords, 1, {"1: [Open] x"}, kAnsiLine},
        {"a pattern per line, not across", "#define X\n  #define WM_A\n#define WM_B 1\r\nfoo\nbar\n",
         "^#define\\s+WM_|foo\\s+bar", kPattern, 1, {"3: [#define WM_]B 1"}, kAnsiLine},
        {"$ before CR LF, every match marked", "a1 b2\r\nc\r\n", "\\d", kPattern, 1, {"1: a[1] b[2]"}, kAnsiLine},
        {"an empty match counts its line", "a\n\nb\n", "^$", kPattern, 1, {"2: "}, kAnsiLine},
        {"whole words and a pattern", "CreateWindowExW(\nx = CreateWindowEx(y\n", "\\w+Ex\\(", kWordPattern, 1,
         {"2: x = [CreateWindowEx(]y"}, kAnsiLine},
        {"a pattern's UTF-8 form", "caf\xE9s\ncaf\xC3\xA9\n", "caf\xE9$", kPattern, 1, {"2: [caf\xC3\xA9]"}, kUtf8Line},
        {"a pattern in UTF-16", Bytes(std::u16string(u"\uFEFFa\r\n\tOpen(1) Open(2)\r\n")), "Open\\(\\d", kPattern, 1,
         {"2: [Open(1]) [Open(2])"}, kUtf16Line},
        {"a whole word in UTF-16", Bytes(std::u16string(u"\uFEFFOpen\r\nReopen\r\n")), "Open", kWords, 1, {"1: [Open]"},
         kUtf16Line},
        {"a late match past a line longer than the buffer", "\n" + longLine + "\n", "Open$", kWordPattern, 1,
         {"2: ~" + std::string(19, 'x') + " [Open]"}, kAnsiLine},
    };
    for (const auto& c : cases) {
        const Listed listed = List(c.bytes, c.query, false, 10, true, std::string::npos, c.mode);
        EXPECT_EQ(listed.count, c.count) << c.name;
        EXPECT_EQ(listed.lines, c.lines) << c.name;
        for (LineEncoding encoding : listed.encodings) EXPECT_EQ(encoding, c.encoding) << c.name;
    }
}

TEST(ListMatchingLines, CountingStopsWhereAsked) {
    const std::string bytes = "needle\nneedle\nx\nneedle\n";
    EXPECT_EQ(List(bytes, "needle", false, 0, true).count, 3u);
    const Listed first = List(bytes, "needle", false, 1, false);
    EXPECT_EQ(first.count, 1u);
    EXPECT_EQ(first.lines, Lines{"1: [needle]"});
    // A read error ends the file where it happened.
    const std::string deep = std::string(kFirstReadPiece + 10, 'a') + "\nneedle and more\n";
    const size_t needle = kFirstReadPiece + 11;
    EXPECT_EQ(List(deep, "needle", false, 10, true, needle + 5).count, 0u);
    EXPECT_EQ(List(deep, "needle", false, 10, true, needle + 7).lines, Lines{"2: [needle]"});
}

// Worked out apart from the product, on the whole file at once: the line of
// the only hit, shown as the lists show it.
template <typename Text>
std::string Reference(const Text& file, const Text& query) {
    using Char = typename Text::value_type;
    using Unsigned = typename std::make_unsigned<Char>::type;
    auto blank = [&](size_t i) {
        const unsigned c = static_cast<Unsigned>(file[i]);
        return c <= 0x20 || c == 0x7F || c == 0xFEFF;
    };
    const size_t hit = file.find(query);
    const size_t start = file.rfind(Char('\n'), hit) == Text::npos ? 0 : file.rfind(Char('\n'), hit) + 1;
    const size_t end = file.find(Char('\n'), hit) == Text::npos ? file.size() : file.find(Char('\n'), hit);
    size_t from = start;
    while (from < end && blank(from)) ++from;
    size_t limit = kLineTextLimit;
    std::string cut;
    if (hit + query.size() > from + limit && hit - kLeadBeforeHit > from) {
        from = hit - kLeadBeforeHit;
        while (from < hit && blank(from)) ++from;
        limit -= 1;
        cut = "~";
    }
    std::string shown;
    for (size_t i = from; i < end && i < from + limit; ++i) {
        if (i == hit) shown += '[';
        if (i == hit + query.size()) shown += ']';
        shown += blank(i) ? ' ' : static_cast<char>(file[i]);
    }
    while (!shown.empty() && shown.back() == ' ') shown.pop_back();
    if (hit + query.size() >= from + limit || hit + query.size() >= end) shown += ']';
    const auto lines = std::count(file.begin(), file.begin() + hit, Char('\n'));
    return std::to_string(1 + lines) + ": " + cut + shown;
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
                    const Listed got = List(Bytes(file), query, false, 1, false);
                    const std::string where = std::string(utf16 ? "UTF-16, " : "") + "query length " +
                                              std::to_string(length) + ", hit at " + std::to_string(start) +
                                              ", layout " + std::to_string(layout);
                    ASSERT_EQ(got.count, 1u) << where;
                    ASSERT_EQ(got.lines, Lines{Reference(file, sought)}) << where;
                }
            }
        }
    }
}

TEST(ListMatchingLines, HitsAndLinesAcrossEveryPieceBoundary) {
    CheckEveryPlacement<std::string>();
    CheckEveryPlacement<std::u16string>();
}

// Worked out apart from the product, line by line: "number: text" for each
// line with a hit of "Open" (a whole word; or with atStart, only at the
// line's start), every hit marked. Of ASCII lines without blanks at either
// end, shown whole unless longer than the cut.
Lines ReferenceLines(const std::vector<std::string>& lines, bool atStart) {
    auto word = [](const std::string& s, size_t i) {
        return i < s.size() && (isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_');
    };
    Lines listed;
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        std::string shown;
        size_t copied = 0;
        for (size_t at = line.find("Open"); at != std::string::npos; at = line.find("Open", at + 1)) {
            const bool hit = atStart ? at == 0 : (at == 0 || !word(line, at - 1)) && !word(line, at + 4);
            if (!hit) continue;
            shown += line.substr(copied, at - copied) + "[Open]";
            copied = at + 4;
        }
        if (copied > 0) listed.push_back(std::to_string(n + 1) + ": " + shown + line.substr(copied));
    }
    return listed;
}

// Short lines, a third of them with "Open" at the start, glued to a word, or
// as a whole word further on, each ended by LF or CR LF, shifted unit by unit
// over the first two piece boundaries: a line kept for the next piece, its
// line end (or CR LF) split at a boundary, a whole word or pattern at the
// start of a kept line, a line longer than what is kept begun at a boundary.
// The lines are listed and counted once each, under their own numbers.
template <typename Text>
void CheckLinesAroundBoundaries(const char* query, Mode mode) {
    using Char = typename Text::value_type;
    const bool utf16 = sizeof(Char) == 2;
    const char* const starts[] = {"Open", "x Open", "xOpen", "Open_y", "(Open)", "open", "y", ""};
    // Where the long line begins, in characters, before the shift.
    const size_t longLineAt = (kFirstReadPiece + kReadPiece) / sizeof(Char) - 8;
    std::vector<std::string> lines;
    std::vector<bool> crlf;
    unsigned seed = 7;
    auto next = [&seed](unsigned n) { return (seed = seed * 1103515245u + 12345u) / 65536 % n; };
    for (size_t at = utf16 ? 1 : 0; at < longLineAt + 4000;) {
        std::string line = starts[next(8)];
        if (next(3) == 0) line += "-z Open";
        line += std::string(next(12), 'w');
        const bool filler = at < longLineAt && at + 40 >= longLineAt;  // up to the long line, LF-ended
        if (filler) line = std::string(longLineAt - at - 1, 'y');
        if (at == longLineAt) line = "Open " + std::string(kLineKept + 100, 'q');
        lines.push_back(line);
        crlf.push_back(next(2) == 0 && !filler);
        at += line.size() + (crlf.back() ? 2 : 1);
    }
    const Lines expected = ReferenceLines(lines, mode == kPattern);
    for (size_t shift = 0; shift < 16; ++shift) {
        // The shift: blanks at the first line's end, which are not shown.
        std::string bytes;
        for (size_t i = 0; i < lines.size(); ++i)
            bytes += lines[i] + (i == 0 ? std::string(shift, ' ') : "") + (crlf[i] ? "\r\n" : "\n");
        Text file(bytes.begin(), bytes.end());
        if (utf16) file.insert(file.begin(), Char(0xFEFF));
        const Lines& want = expected;
        const Listed got = List(Bytes(file), query, false, 100000, true, std::string::npos, mode);
        const std::string where = std::string(utf16 ? "UTF-16, " : "") + query + ", shift " + std::to_string(shift);
        ASSERT_EQ(got.count, want.size()) << where;
        ASSERT_EQ(got.lines.size(), want.size()) << where;
        for (size_t i = 0; i < want.size(); ++i) {
            // A long line's text is cut, and is checked elsewhere.
            const size_t compared = want[i].size() > 100 ? 20 : std::string::npos;
            ASSERT_EQ(got.lines[i].substr(0, compared), want[i].substr(0, compared)) << where << ", line " << i;
        }
    }
}

TEST(ListMatchingLines, EveryLineAroundPieceBoundaries) {
    CheckLinesAroundBoundaries<std::string>("Open", kWords);
    CheckLinesAroundBoundaries<std::string>("^Open", kPattern);
    CheckLinesAroundBoundaries<std::u16string>("Open", kWords);
    CheckLinesAroundBoundaries<std::u16string>("^Open", kPattern);
}

}  // namespace
