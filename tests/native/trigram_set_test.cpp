#include "core/trigram_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/literal_query.h"
#include "core/query_spellings.h"
#include "core/search_literals.h"

namespace {

// The bytes of a literal, zero bytes and all.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

struct Collector {
    TrigramCollector* c = NewTrigramCollector();
    ~Collector() { DeleteTrigramCollector(c); }

    // The file's sequences as three-byte strings, sorted; "!" when dropped.
    std::vector<std::string> Of(const std::vector<std::string>& pieces) {
        StartTrigrams(c);
        for (const std::string& piece : pieces) AddTrigramPiece(c, piece.data(), piece.size());
        size_t count;
        const Trigram* trigrams = FinishTrigrams(c, &count);
        if (trigrams == nullptr) return {"!"};
        std::vector<std::string> set;
        for (size_t i = 0; i < count; ++i)
            set.push_back({static_cast<char>(trigrams[i] >> 16), static_cast<char>(trigrams[i] >> 8),
                           static_cast<char>(trigrams[i])});
        std::sort(set.begin(), set.end());
        return set;
    }
};

TEST(TrigramSet, SequencesOfAFileFedInPieces) {
    using S = std::vector<std::string>;
    const struct {
        S pieces;
        S want;
    } cases[] = {
        {{""}, {}},
        {{"ab"}, {}},
        {{"ABCd"}, {"abc", "bcd"}},
        {{"aaaaa"}, {"aaa"}},
        // Only A to Z fold: '@' and '[' sit either side of them, 0xC0 and
        // 0xE0 are two cases of a letter in code page 1252.
        {{"@Z[\xC0"}, {"@z[", "z[\xC0"}},
        {{"\xE0\xC0Q"}, {"\xE0\xC0q"}},
        // Zero bytes are bytes like any other.
        {{Bytes("a\0b\0")}, {Bytes("\0b\0"), Bytes("a\0b")}},
        // A sequence straddles pieces, even three of them.
        {{"a", "b", "c"}, {"abc"}},
        {{"xy", "", "zX", "Y"}, {"xyz", "yzx", "zxy"}},
    };
    Collector collector;
    for (const auto& c : cases) {
        std::string whole;
        for (const std::string& piece : c.pieces) whole += piece;
        EXPECT_EQ(collector.Of(c.pieces), c.want) << "pieces of \"" << whole << '"';
    }
}

// A file past the limit is dropped, and the one after it starts clean.
TEST(TrigramSet, TooManySequencesDropTheFileNotTheNext) {
    std::string noise;
    uint32_t state = 1;
    for (size_t i = 0; i < 3 * static_cast<size_t>(kMaxFileTrigrams); ++i) {
        state = state * 1103515245u + 12345u;
        noise += static_cast<char>(state >> 24);
    }
    Collector collector;
    EXPECT_EQ(collector.Of({noise.substr(0, 1000), noise.substr(1000)}), std::vector<std::string>{"!"});
    EXPECT_EQ(collector.Of({"abcd"}), (std::vector<std::string>{"abc", "bcd"}));
    EXPECT_EQ(collector.Of({noise.substr(0, 1000)}).size(), 998u);
}

std::string Describe(const LiteralQuery& query) {
    switch (query.kind) {
    case LiteralQuery::kLiteral:
        return '"' + query.literal + '"';
    case LiteralQuery::kOr: {
        std::string text = "or(";
        for (const LiteralQuery& part : query.parts) text += (text.size() > 3 ? " " : "") + Describe(part);
        return text + ")";
    }
    default:
        return "?";
    }
}

TEST(SpellingLiterals, EverySpellingAFileIsSearchedFor) {
    const struct {
        const char* query;
        bool utf16File;
        std::string want;
    } cases[] = {
        {"MessageBox", false, "\"messagebox\""},
        {"MessageBox", true, Bytes("or(\"messagebox\" \"m\0e\0s\0s\0a\0g\0e\0b\0o\0x\0\")")},
        {"caf\xC9", false, "or(\"caf\xC9\" \"caf\xC3\x89\")"},
        {"caf\xC9", true, Bytes("or(\"caf\xC9\" \"caf\xC3\x89\" \"c\0a\0f\0\xC9\0\")")},
        {"Ab", false, "\"ab\""},
        {"", true, "or(\"\" \"\")"},
    };
    for (const auto& c : cases) {
        QuerySpellings spellings;
        ASSERT_TRUE(PrepareQuerySpellings(c.query, nullptr, spellings));
        EXPECT_EQ(Describe(SpellingLiterals(spellings, c.utf16File)), c.want)
            << c.query << (c.utf16File ? " in a UTF-16 file" : "");
    }
}

}  // namespace
