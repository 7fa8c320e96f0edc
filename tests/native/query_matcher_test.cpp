// The matcher in its three modes, on files held in memory and scanned in the
// engine's own pieces: whole words, patterns (their lines, case folding and
// encodings), and patterns the library refuses or that would cost much.

#include "core/query_matcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>

#include "core/search_engine.h"
#include "lead_bytes_932.h"

namespace {

enum Mode { kText = 0, kWords = 1, kPattern = 2, kWordPattern = 3 };

struct Prepared {
    std::unique_ptr<QueryMatcher> matcher{new QueryMatcher()};
    MatcherResult result;
    PatternError error;
    ~Prepared() { ReleaseQueryMatcher(*matcher); }
};

// The query's bytes as Latin-1, or under code page 932 when leadBytes is given.
void Prepare(Prepared& p, const std::string& query, Mode mode, bool caseInsensitive,
             const unsigned char* leadBytes = nullptr) {
    p.result = PrepareQueryMatcher(query.c_str(), nullptr, leadBytes, caseInsensitive, (mode & kWords) != 0,
                                   (mode & kPattern) != 0, *p.matcher, &p.error);
}

// As the engine reads a file: a first piece of kFirstReadPiece bytes, then
// kReadPiece, each after what the matcher kept of the one before.
bool Holds(const QueryMatcher& m, const std::string& file) {
    std::string buffer(kMaxKept + kReadPiece, '\0');
    size_t kept = 0, at = 0;
    PieceScan scan;
    for (bool first = true; first || at < file.size(); first = false) {
        const size_t got = std::min(file.size() - at, static_cast<size_t>(first ? kFirstReadPiece : kReadPiece));
        file.copy(&buffer[kept], got, at);
        at += got;
        const size_t have = kept + got;
        if (first) BeginFileScan(m, buffer.data(), have, scan);
        if (PieceHoldsMatch(m, scan, buffer.data(), have, at == file.size(), &kept)) return true;
        EXPECT_LE(kept, static_cast<size_t>(kMaxKept));
        buffer.replace(0, kept, buffer, have - kept, kept);
    }
    return false;
}

bool Found(const std::string& file, const std::string& query, Mode mode, bool caseInsensitive = false) {
    Prepared p;
    Prepare(p, query, mode, caseInsensitive);
    EXPECT_EQ(p.result, kMatcherReady) << query << ": " << p.error.message;
    return Holds(*p.matcher, file);
}

std::string Utf16(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

struct Case {
    const char* name;
    std::string file;
    const char* query;
    Mode mode;
    bool caseInsensitive;
    bool found;
};

void Check(const Case* cases, size_t count) {
    for (size_t row = 0; row < count; ++row) {
        const Case& c = cases[row];
        EXPECT_EQ(Found(c.file, c.query, c.mode, c.caseInsensitive), c.found) << c.name;
    }
}

TEST(WholeWords, AHitIsNeverGluedToAWordCharacter) {
    const Case cases[] = {
        {"before a parenthesis", "call Open(x)", "Open", kWords, false, true},
        {"between a tab and a blank", "\tOpen ", "Open", kWords, false, true},
        {"at the file's start and end", "Open", "Open", kWords, false, true},
        {"before a line end", "Open\r\nx", "Open", kWords, false, true},
        {"a longer name", "OpenFile", "Open", kWords, false, false},
        {"a longer name, other case", "Reopen", "Open", kWords, true, false},
        {"an underscore", "Open_x", "Open", kWords, false, false},
        {"a digit", "1Open", "Open", kWords, false, false},
        {"a byte from 0x80", "Open\xE9", "Open", kWords, false, false},
        {"glued first, whole later", "OpenFile Open", "Open", kWords, false, true},
        {"ends in punctuation", "was re-opened!", "opened!", kWords, false, true},
        {"ends in punctuation, glued before", "reopened!", "opened!", kWords, false, false},
        {"punctuation on both ends needs no boundary", "a-x-b", "-x-", kWords, false, true},
        {"ends in punctuation, a letter after", "ba-c", "a-", kWords, false, false},
        {"after a UTF-8 byte-order mark", "\xEF\xBB\xBFOpen", "Open", kWords, false, true},
        // UTF-16 and UTF-8 spellings of a Latin-1 query.
        {"UTF-16", Utf16(u"x Open y"), "Open", kWords, false, true},
        {"UTF-16, glued", Utf16(u"OpenFile"), "Open", kWords, false, false},
        {"UTF-16, right after the mark", Utf16(u"Open"), "Open", kWords, false, true},
        {"UTF-16, a letter from 0x80", Utf16(u"\u00E9Open"), "Open", kWords, false, false},
        {"UTF-16, a unit whose low byte is a blank", Utf16(u"\u0120Open"), "Open", kWords, false, false},
        {"UTF-8 spelling", "un caf\xC3\xA9 noir", "caf\xE9", kWords, false, true},
        {"UTF-8 spelling, glued", "caf\xC3\xA9s", "caf\xE9", kWords, false, false},
        {"ANSI spelling", "caf\xE9.", "caf\xE9", kWords, false, true},
        {"text mode is as before", "OpenFile", "Open", kText, false, true},
    };
    Check(cases, sizeof cases / sizeof cases[0]);
}

// The character before a hit may lie in the previous piece, the one after
// it in the next; a hit right at a piece's end is decided with the next.
TEST(WholeWords, TheCharactersAroundAHitAcrossPieceBoundaries) {
    const size_t boundaries[] = {kFirstReadPiece, kFirstReadPiece + kReadPiece};
    for (bool utf16 : {false, true}) {
        const size_t unit = utf16 ? 2 : 1;
        for (size_t boundary : boundaries) {
            for (size_t shift = 0; shift <= 6; ++shift) {
                for (int glue = 0; glue < 4; ++glue) {
                    // "Open" with its neighbours, so that one of the three lies just before the boundary.
                    const std::u16string around = std::u16string(glue & 1 ? u"a" : u".") + u"Open" +
                                                  std::u16string(glue & 2 ? u"a" : u".");
                    const size_t units = (boundary + 3 * kReadPiece) / unit;
                    std::u16string text(units, u'.');
                    const size_t at = boundary / unit - shift;
                    text.replace(at, around.size(), around);
                    std::string file;
                    if (utf16) {
                        file = Utf16(text.substr(1));
                    } else {
                        for (char16_t c : text) file += static_cast<char>(c);
                    }
                    EXPECT_EQ(Found(file, "Open", kWords), glue == 0)
                        << (utf16 ? "UTF-16, " : "") << "boundary " << boundary << ", shift " << shift << ", glue "
                        << glue;
                    // A whole one after the glued one, in the next piece.
                    if (glue != 0) {
                        file += utf16 ? Utf16(u" Open").substr(2) : " Open";
                        EXPECT_TRUE(Found(file, "Open", kWords)) << "and a whole one after, shift " << shift;
                    }
                }
            }
        }
    }
}

TEST(Patterns, MatchesStayOnOneLineAndAnchorsMeetEveryLine) {
    const Case cases[] = {
        {"blanks across a line end", "foo\nbar", "foo\\s+bar", kPattern, false, false},
        {"blanks on one line", "foo \t bar", "foo\\s+bar", kPattern, false, true},
        {"a negated class never takes LF", "foo\nbar", "foo[^x]bar", kPattern, false, false},
        {"a dot never takes LF", "foo\nbar", "(?s)foo.bar", kPattern, false, false},
        {"an LF in the pattern matches nothing", "a\nb", "a\\nb", kPattern, false, false},
        {"^ at a later line", "x\n#define A", "^#define", kPattern, false, true},
        {"^ only at a line's start", "x #define A", "^#define", kPattern, false, false},
        {"$ before CR LF", "foo\r\nbar", "foo$", kPattern, false, true},
        {"$ before LF", "foo\nbar", "foo$", kPattern, false, true},
        {"$ at the file's end", "x\nfoo", "foo$", kPattern, false, true},
        {"$ not before other text", "foox\n", "foo$", kPattern, false, false},
        {"$ not before a lone CR", "foo\rx\n", "foo$", kPattern, false, false},
        {"an empty line", "a\n\nb", "^$", kPattern, false, true},
        {"no empty line", "a\nb", "^$", kPattern, false, false},
        {"an empty line ending in CR LF", "a\r\n\r\nb", "$^", kPattern, false, true},
        {"\\b after $ judges the line's end, not the CR", "y\r\nx-", "$\\b", kPattern, false, true},
        {"\\B after $ judges the line's end, not the CR", "y\r\nx", "$\\B", kPattern, false, false},
        {"the pattern's own (?m) changes nothing", "x\nfoo\r\nbar", "(?m)^foo$", kPattern, false, true},
        {"\\A is a line's start", "x\nfoo", "\\Afoo\\z", kPattern, false, true},
        {"after a UTF-8 byte-order mark", "\xEF\xBB\xBF#define X", "^#define", kPattern, false, true},
        {"an empty pattern finds nothing", "text", "", kPattern, false, false},
    };
    Check(cases, sizeof cases / sizeof cases[0]);
}

TEST(Patterns, OnlyAsciiLettersFoldAndEachEncodingIsMatchedWhole) {
    const Case cases[] = {
        {"ASCII folds", "call MESSAGEBOXa(", "MessageBox[AW]\\(", kPattern, true, true},
        {"ASCII, case-sensitive", "call MESSAGEBOXA(", "MessageBox[AW]\\(", kPattern, false, false},
        {"a class folds", "ABC", "^[a-c]+$", kPattern, true, true},
        {"a negated class folds", "A", "[^a]", kPattern, true, false},
        {"0xE9 never meets 0xC9", "CAF\xC9", "caf\xE9", kPattern, true, false},
        {"0xE9 meets itself", "CAF\xE9", "caf\xE9", kPattern, true, true},
        {"an escaped 0xC9 never meets 0xE9", "\xE9", "\\xC9", kPattern, true, false},
        {"the pattern's own (?i)", "K", "(?i)k", kPattern, false, true},
        {"its own (?i) folds ASCII only", "CAF\xC9", "(?i)caf\xE9", kPattern, false, false},
        {"its own (?i:...) ends", "AB", "(?i:a)b", kPattern, false, false},
        {"its own (?i:...) inside", "Ab", "(?i:a)b", kPattern, false, true},
        {"the UTF-8 form in a UTF-8 file", "x caf\xC3\xA9 y", "caf\xE9 y$", kPattern, false, true},
        {"a character is whole in UTF-8", "caf\xC3\xA9!", "^caf\xE9?.!$", kPattern, false, true},
        {"the ANSI form still", "caf\xE9!", "^caf.!$", kPattern, false, true},
        {"an ASCII pattern matches bytes", "caf\xC3\xA9!", "^caf.!$", kPattern, false, false},
        {"UTF-16 lines", Utf16(u"x\r\nMessageBoxW(\r\n"), "^MessageBox[AW]\\($", kPattern, false, true},
        {"UTF-16 on characters, not bytes", Utf16(u"ab"), "a.b", kPattern, false, false},
        {"UTF-16, a Latin-1 character", Utf16(u"un caf\u00E9"), "caf\xE9$", kPattern, false, true},
        {"UTF-16, the first line after the mark", Utf16(u"Open it"), "^Open\\b", kPattern, false, true},
        {"UTF-16, case folds ASCII only", Utf16(u"CAF\u00C9"), "caf\xE9", kPattern, true, false},
    };
    Check(cases, sizeof cases / sizeof cases[0]);
}

TEST(Patterns, WholeWordsAtTheMatchsOwnEnds) {
    const Case cases[] = {
        {"a name", "OpenFile Open", "Op[e]n", kWordPattern, false, true},
        {"a longer name only", "OpenFile", "Op[e]n", kWordPattern, false, false},
        {"ends with a parenthesis", "x = CreateWindowEx(y", "\\w+Ex\\(", kWordPattern, false, true},
        {"a sign glued before", "x-12y", "-?\\d+", kWordPattern, false, false},
        {"a sign after a blank", "a -12 b", "-?\\d+", kWordPattern, false, true},
        {"the shorter match is whole", "abc1 ab", "[a-c]+", kWordPattern, false, true},
        {"no whole match", "abc1", "[a-z]+", kWordPattern, false, false},
        {"a byte from 0x80 is a word character", "\xE9word", "word", kWordPattern, false, false},
        {"an alternative that is whole", "OpenFile CloseFile Close", "Open|Close", kWordPattern, false, true},
        {"UTF-16", Utf16(u"x OpenFile\r\nOpen("), "Open", kWordPattern, false, true},
        {"UTF-16, glued by a letter from 0x80", Utf16(u"\u00E9Open"), "Open", kWordPattern, false, false},
    };
    Check(cases, sizeof cases / sizeof cases[0]);
}

// A line longer than the matcher keeps is searched in overlapping windows.
TEST(Patterns, LinesAcrossPiecesAndLinesLongerThanWhatIsKept) {
    for (size_t length : {size_t{100}, size_t{kMaxKept - 10}, size_t{kMaxKept + 10}, size_t{3 * kReadPiece}}) {
        for (size_t boundary : {size_t{kFirstReadPiece}, size_t{kFirstReadPiece + kReadPiece}}) {
            // The line ends just after the boundary; "needle" sits at its start and the line's end is checked.
            std::string file(4 * kReadPiece, 'x');
            const size_t end = boundary + 3;
            const size_t start = end > length ? end - length : 0;
            if (start > 0) file[start - 1] = '\n';
            file.replace(start + 1, 6, "needle");
            file[end] = '\n';
            const std::string name = "line of " + std::to_string(length) + " ending at " + std::to_string(end);
            EXPECT_TRUE(Found(file, "^xneedlex", kPattern)) << name;
            EXPECT_FALSE(Found(file, "needlex+y", kPattern)) << name;
            // A match as long as the line: sure to be found where the line is kept whole.
            if (length <= kMaxKept - 2) {
                EXPECT_TRUE(Found(file, "^xneedlex+$", kPattern)) << name;
            }
            // A line end is no cut: $ is not seen inside a long line.
            EXPECT_FALSE(Found(file, "needlex{1,20}$", kPattern)) << name;
            // A match around the boundary, inside the long line.
            std::string around = file;
            around.replace(boundary - 2, 4, "ab-c");
            EXPECT_TRUE(Found(around, "b-c", kPattern)) << name;
            EXPECT_TRUE(Found(around, "b-c", kWordPattern) == false) << name;
        }
    }
}

TEST(Patterns, RefusedPatternsSayWhereAndWhy) {
    const struct {
        std::string pattern;
        size_t position;
        const char* message;
        bool wholeWords;
    } cases[] = {
        {"(abc", 1, "missing ): (abc", false},
        {"abc)", 1, "unexpected ): abc)", false},
        {"a{1001}", 2, "invalid repetition size: {1001}", false},
        {"ab\\q", 3, "invalid escape sequence: \\q", false},
        {"\xE9\\q", 2, "invalid escape sequence: \\q", false},
        {"[a", 1, "missing ]: [a", false},
        {"x**", 2, "bad repetition operator: **", false},
        {".{1000}{1000}", 2, "bad repetition operator: {1000}{1000}", false},
        {"Open(", 1, "missing ): Open(", true},
    };
    for (const auto& c : cases) {
        Prepared p;
        Prepare(p, c.pattern, c.wholeWords ? kWordPattern : kPattern, false);
        EXPECT_EQ(p.result, kBadPattern) << c.pattern;
        EXPECT_EQ(p.error.position, c.position) << c.pattern;
        EXPECT_EQ(p.error.message, c.message) << c.pattern;
    }
    // Too large for the library once compiled: a bad pattern too.
    std::string large;
    for (int i = 0; i < 12; ++i) large += ".{1000}";
    Prepared p;
    Prepare(p, large + "\xE9", kPattern, false);
    EXPECT_EQ(p.result, kBadPattern);
    EXPECT_EQ(p.error.message, "pattern too large - compile failed");
    // Under code page 932 a character's trail byte is no metacharacter
    // (0x95 0x5C is one character), and positions count characters.
    Prepared dbcs;
    Prepare(dbcs, "\x95\x5C\\q", kPattern, false, LeadBytes932());
    EXPECT_EQ(dbcs.result, kBadPattern);
    EXPECT_EQ(dbcs.error.position, 2u);
    Prepared valid;
    Prepare(valid, "^\x95\x5C+$", kPattern, false, LeadBytes932());
    ASSERT_EQ(valid.result, kMatcherReady) << valid.error.message;
    EXPECT_TRUE(Holds(*valid.matcher, "x\n\x95\x5C\x95\x5C\n"));
    EXPECT_FALSE(Holds(*valid.matcher, "x\n\x95\x5C\x5C\n"));
}

// Whatever the pattern, a file is searched in time linear in its size; the
// bound below is generous and only catches a backtracking blow-up, which
// would take years on these lines.
TEST(Patterns, CostlyPatternsEndInBoundedTime) {
    const std::string as = std::string(30000, 'a') + "!\n";
    const std::string xs = std::string(30000, 'x') + "\n";
    const struct {
        const char* pattern;
        std::string file;
        bool found;
    } cases[] = {
        {"(a+)+$", as, false},
        {"(x*)*y", xs, false},
        {"(a|aa)*b", as, false},
        {"^(\\w+\\s?)*$", as + as, false},
    };
    for (const auto& c : cases) {
        for (Mode mode : {kPattern, kWordPattern}) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(Found(c.file, c.pattern, mode), c.found) << c.pattern;
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.pattern;
        }
    }
}

// A pattern without a literal is scanned a slice of a piece at a time, and
// a stop is seen between slices: a pattern however slow on its text still
// stops soon. Its match at the piece's end is then never reached.
TEST(Patterns, AStopIsSeenBetweenSlicesOfAPiece) {
    std::string piece(kReadPiece, '\n');
    std::mt19937 random(5);
    for (size_t i = 0; i < piece.size(); ++i)
        if (i % 200 != 199) piece[i] = static_cast<char>('a' + random() % 26);
    piece.replace(piece.size() - 50, 42, "b" + std::string(40, 'c') + "Q");
    Prepared p;
    Prepare(p, "[a-q][^u-z]{40}Q", kPattern, false);
    ASSERT_EQ(p.result, kMatcherReady);
    for (bool stopped : {false, true}) {
        const std::atomic<bool> stop{stopped};
        PieceScan scan;
        BeginFileScan(*p.matcher, piece.data(), piece.size(), scan, &stop);
        size_t keep = 0;
        EXPECT_EQ(PieceHoldsMatch(*p.matcher, scan, piece.data(), piece.size(), true, &keep), !stopped);
    }
}

TEST(Patterns, RequiredLiteralsForChoosingFiles) {
    Prepared p;
    Prepare(p, "GetQuantum\\w+Capacitor[AW]", kPattern, false);
    ASSERT_EQ(p.result, kMatcherReady);
    const LiteralQuery q = RequiredLiterals(*p.matcher, false);
    ASSERT_EQ(q.kind, LiteralQuery::kAnd);
    ASSERT_EQ(q.parts.size(), 2u);
    EXPECT_EQ(q.parts[0].literal, "getquantum");
    ASSERT_EQ(q.parts[1].kind, LiteralQuery::kOr);
    EXPECT_EQ(q.parts[1].parts[0].literal, "capacitora");
    EXPECT_EQ(q.parts[1].parts[1].literal, "capacitorw");
    const LiteralQuery wide = RequiredLiterals(*p.matcher, true);
    EXPECT_EQ(wide.parts[0].literal, std::string("g\0e\0t\0q\0u\0a\0n\0t\0u\0m\0", 20));
    Prepared none;
    Prepare(none, "\\w+", kPattern, false);
    EXPECT_EQ(RequiredLiterals(*none.matcher, false).kind, LiteralQuery::kAll);
    // A character outside ASCII: its ANSI byte, or in UTF-8 the ASCII around it.
    Prepared cafe;
    Prepare(cafe, "caf\xE9 au", kPattern, false);
    const LiteralQuery either = RequiredLiterals(*cafe.matcher, false);
    ASSERT_EQ(either.kind, LiteralQuery::kOr);
    EXPECT_EQ(either.parts[0].literal, "caf\xE9 au");
    ASSERT_EQ(either.parts[1].kind, LiteralQuery::kAnd);
    EXPECT_EQ(either.parts[1].parts[0].literal, "caf");
    EXPECT_EQ(either.parts[1].parts[1].literal, " au");
}

}  // namespace
