#include "core/text_matcher.h"

#include <gtest/gtest.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <random>
#include <string>

namespace {

// Independent of the product: every start position, both texts folded to
// lower case letter by letter. The first occurrence, or the text's size.
size_t ReferenceFind(const std::string& text, const std::string& query, bool caseInsensitive) {
    if (query.empty() || query.size() > text.size()) return text.size();
    auto fold = [caseInsensitive](unsigned char c) {
        return (caseInsensitive && c >= 'A' && c <= 'Z') ? c + 32 : c;
    };
    for (size_t i = 0; i + query.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < query.size() && fold(text[i + k]) == fold(query[k])) ++k;
        if (k == query.size()) return i;
    }
    return text.size();
}

bool ReferenceMatch(const std::string& text, const std::string& query, bool caseInsensitive) {
    return ReferenceFind(text, query, caseInsensitive) != text.size();
}

bool Match(const std::string& text, const std::string& query, bool caseInsensitive) {
    return MatchText(text.data(), text.size(), query.c_str(), caseInsensitive);
}

size_t Find(const std::string& text, const std::string& query, bool caseInsensitive) {
    return FindText(text.data(), text.size(), query.c_str(), caseInsensitive);
}

struct Case {
    const char* text;
    const char* query;
    bool caseSensitiveFound;
    bool caseInsensitiveFound;
};

TEST(MatchText, KnownCases) {
    const Case cases[] = {
        {"call MessageBoxA", "MessageBox", true, true},
        {"messagebox", "MessageBox", false, true},
        {"MESSAGEBOX", "MessageBox", false, true},
        {"AAB", "aab", false, true},
        {"a_b", "_b", true, true},
        {"zb", "_b", false, false},
        {"\xC4" "b", "\xE4" "b", false, false},
        // Occurrences that begin inside a failed partial match.
        {"aaab", "aab", true, true},
        {"ababac", "abac", true, true},
        {"aaAB", "aab", false, true},
        {"ababab", "abab", true, true},
        {"xaab", "aab", true, true},
        {"ab", "abc", false, false},
        {"xab", "ab", true, true},
        {"", "a", false, false},
        {"abc", "", false, false},
        // Bytes 0x20 apart that are not letters never fold.
        {"@", "`", false, false},
        {"`", "@", false, false},
        {"[", "{", false, false},
        {"{", "[", false, false},
        {"_", "\x7f", false, false},
        {"\x7f", "_", false, false},
        {"\xC9", "\xE9", false, false},
        {"\xE9", "\xC9", false, false},
    };
    for (size_t row = 0; row < sizeof cases / sizeof cases[0]; ++row) {
        const Case& c = cases[row];
        EXPECT_EQ(Match(c.text, c.query, false), c.caseSensitiveFound) << "row " << row << " case-sensitive";
        EXPECT_EQ(Match(c.text, c.query, true), c.caseInsensitiveFound) << "row " << row << " case-insensitive";
    }
}

TEST(MatchText, ZeroBytesDoNotEndTheText) {
    const std::string text("head\0\0tail MessageBox\0", 22);
    EXPECT_TRUE(Match(text, "MessageBox", false));
    EXPECT_TRUE(Match(text, "tail", true));
    EXPECT_FALSE(Match(text.substr(0, 15), "MessageBox", false));
}

TEST(MatchText, AgreesWithReferenceForEveryLengthAndOffset) {
    // A small alphabet makes partial matches and fold traps frequent.
    const char alphabet[] = "aAbB@`[{_\x7f\xC9\xE9 \0";
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pick(0, sizeof alphabet - 2);
    for (int round = 0; round < 3; ++round) {
        // Two 64-byte blocks, then 16-byte blocks, then the byte-wise tail.
        std::string text(200, ' ');
        for (char& c : text) c = alphabet[pick(random)];
        for (size_t length = 1; length <= 40; ++length) {
            for (size_t offset = 0; offset + length <= text.size(); ++offset) {
                std::string query = text.substr(offset, length);
                for (char& c : query)
                    if (c == '\0') c = 'a';  // a query ends at its first zero byte
                // Mutate one byte so that some queries are found only nearby, or not at all.
                std::string near = query;
                const char replacement = alphabet[pick(random)];
                near[(offset * 7) % length] = replacement != '\0' ? replacement : 'b';
                for (bool ci : {false, true}) {
                    ASSERT_EQ(Match(text, query, ci), ReferenceMatch(text, query, ci))
                        << "length " << length << " offset " << offset << " ci " << ci;
                    ASSERT_EQ(Match(text, near, ci), ReferenceMatch(text, near, ci))
                        << "mutated, length " << length << " offset " << offset << " ci " << ci;
                    ASSERT_EQ(Find(text, query, ci), ReferenceFind(text, query, ci))
                        << "where, length " << length << " offset " << offset << " ci " << ci;
                    ASSERT_EQ(Find(text, near, ci), ReferenceFind(text, near, ci))
                        << "where, mutated, length " << length << " offset " << offset << " ci " << ci;
                }
            }
        }
    }
}

TEST(MatchText, EveryPlacementInsideLongerBuffers) {
    // Crosses the 64- and 16-byte blocks of the vector scan at every alignment.
    for (size_t length = 1; length <= 40; ++length) {
        std::string query;
        for (size_t k = 0; k < length; ++k) query += static_cast<char>('a' + k % 3);
        query.back() = 'Z';
        for (size_t size = length; size <= 200; size += 5) {
            for (size_t at = 0; at + length <= size; ++at) {
                std::string text(size, 'a');
                text.replace(at, length, query);
                std::string upper = text;
                for (char& c : upper)
                    if (c >= 'a' && c <= 'z') c -= 32;
                ASSERT_TRUE(Match(text, query, false)) << length << "/" << size << "/" << at;
                ASSERT_TRUE(Match(upper, query, true)) << length << "/" << size << "/" << at;
                // Its one 'Z' makes this placement the only one.
                ASSERT_EQ(Find(text, query, false), at) << length << "/" << size << "/" << at;
                ASSERT_EQ(Find(upper, query, true), at) << length << "/" << size << "/" << at;
                ASSERT_EQ(Match(upper, query, false), ReferenceMatch(upper, query, false));
                text[at + length - 1] = 'z';
                ASSERT_EQ(Match(text, query, false), ReferenceMatch(text, query, false));
                ASSERT_EQ(Match(text, query, true), ReferenceMatch(text, query, true));
            }
        }
    }
}

TEST(MatchText, NeverReadsPastTheText) {
    const long page = sysconf(_SC_PAGESIZE);
    char* pages = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);
    // The text ends where the unreadable page begins; every length of text
    // and query puts the last block load at another place.
    for (size_t size = 0; size <= 300; ++size) {
        char* text = pages + page - size;
        memset(text, 'x', size);
        for (size_t length = 1; length <= 40; ++length) {
            std::string query(length - 1, 'x');
            query += 'y';
            if (size >= length) text[size - 1] = 'y';
            for (bool ci : {false, true}) {
                ASSERT_EQ(MatchText(text, size, query.c_str(), ci), size >= length) << size << "/" << length;
                query.back() = 'z';
                ASSERT_FALSE(MatchText(text, size, query.c_str(), ci)) << size << "/" << length;
                query.back() = 'y';
            }
            if (size > 0) text[size - 1] = 'x';
        }
        EXPECT_FALSE(MatchText(text, size, std::string(301, 'x').c_str(), false)) << size;
    }
    munmap(pages, 2 * page);
}

}  // namespace
