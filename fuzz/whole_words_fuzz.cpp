// Differential fuzzer: whole-word hits, of a text query and of a pattern,
// against plain scans, with the file fed to the matcher in pieces of sizes
// the input chooses, so that hits and lines fall across every boundary.
//
// Input layout:  [mode] [sizes] [query bytes ...] [0x00] [text bytes ...]
//   mode   bit 0: case-insensitive (text query only); bit 1: the query is a
//          pattern, each of its bytes picking a token from kTokens.
//   sizes  each piece after the first is 1 + (sizes % 16) bytes long, the
//          first 3 + (sizes / 16), enough to see a byte-order mark; pieces
//          may be any size: the matcher keeps what it needs of each.
// The pattern's reference is RE2 itself, asked whether the pattern matches
// exactly text[s, e) of a line for every s and e whose positions pass the
// rule: the whole-word construction is what is tested.

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/query_matcher.h"
#include "fuzz_support.h"
#include "re2/re2.h"

namespace {

const char* const kTokens[] = {"a",  "b",  "-",   " ",    ".",   "*",   "+",  "?",   "|",   "(",    ")",
                               "[ab]", "[^a]", "\\w", "\\W", "\\d", "^",   "$",  "\\b", "x",   "_",    "1",
                               "{2}", "\xE9", "a*", "(?:", "\\B", "[a-]", "b?", "!",  "\\s", "\\."};
const size_t kTokenCount = sizeof kTokens / sizeof kTokens[0];

bool Word(unsigned char c) {
    return c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Whether position at of t[0, n), counted in units of one byte or two, lies
// strictly between two word characters; right after the mark is the start.
bool Inside(const std::string& t, size_t at, size_t unit, size_t mark) {
    if (at < unit || at + unit > t.size() || (mark > 0 && at == mark)) return false;
    auto word = [&](size_t i) {
        return unit == 1 ? Word(t[i]) : (t[i + 1] != 0 || Word(t[i]));
    };
    return word(at - unit) && word(at);
}

unsigned char Fold(unsigned char c, bool ci) { return ci && c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Every occurrence of q in t, in steps of unit from first, checked whole.
bool ReferenceWhole(const std::string& t, const std::string& q, size_t first, size_t unit, size_t mark, bool ci) {
    if (q.empty()) return false;
    for (size_t i = first; i + q.size() <= t.size(); i += unit) {
        size_t k = 0;
        if (unit == 1) {
            while (k < q.size() && Fold(t[i + k], ci) == Fold(q[k], ci)) ++k;
        } else {
            while (k < q.size() && Fold(t[i + k], ci && t[i + k + 1] == 0 && q[k + 1] == 0) ==
                                       Fold(q[k], ci && t[i + k + 1] == 0 && q[k + 1] == 0) &&
                   t[i + k + 1] == q[k + 1])
                k += 2;
        }
        if (k >= q.size() && !Inside(t, i, unit, mark) && !Inside(t, i + q.size(), unit, mark)) return true;
    }
    return false;
}

std::string Utf8OfLatin1(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool ReferenceText(const std::string& t, const std::string& q, bool ci) {
    const bool utf16 = t.size() >= 2 && static_cast<unsigned char>(t[0]) == 0xFF && static_cast<unsigned char>(t[1]) == 0xFE;
    const size_t mark = utf16 ? 2 : (t.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0);
    if (ReferenceWhole(t, q, 0, 1, mark, ci)) return true;
    const std::string utf8 = Utf8OfLatin1(q);
    if (utf8 != q && ReferenceWhole(t, utf8, 0, 1, mark, ci)) return true;
    if (!utf16) return false;
    std::string units;
    for (unsigned char c : q) units += {static_cast<char>(c), '\0'};
    return ReferenceWhole(t, units, 0, 2, mark, ci);
}

// Lines end at LF; a CR before it is no part of the line.
bool ReferencePattern(const std::string& t, const RE2& re) {
    for (size_t start = 0; start <= t.size();) {
        size_t end = t.find('\n', start);
        const bool hasEnd = end != std::string::npos;
        if (!hasEnd) end = t.size();
        if (!hasEnd && start == end) break;  // nothing after the last LF, or an empty file
        std::string line = t.substr(start, end - start);
        if (hasEnd && !line.empty() && line.back() == '\r') line.pop_back();
        for (size_t s = 0; s <= line.size(); ++s) {
            if (Inside(line, s, 1, 0)) continue;
            for (size_t e = s; e <= line.size(); ++e)
                if (!Inside(line, e, 1, 0) && re.Match(line, s, e, RE2::ANCHOR_BOTH, nullptr, 0)) return true;
        }
        start = end + 1;
    }
    return false;
}

// Fed as the engine feeds it, in the pieces the input asks for.
bool MatcherFinds(const QueryMatcher& m, const std::string& t, unsigned sizes) {
    std::vector<char> buffer(kMaxKept + 64);
    size_t kept = 0, at = 0;
    PieceScan scan;
    for (bool first = true; first || at < t.size(); first = false) {
        const size_t want = first ? 3 + sizes / 16 : 1 + sizes % 16;
        const size_t got = std::min(want, t.size() - at);
        memcpy(buffer.data() + kept, t.data() + at, got);
        at += got;
        const size_t have = kept + got;
        if (first) BeginFileScan(m, buffer.data(), have, scan);
        if (PieceHoldsMatch(m, scan, buffer.data(), have, at == t.size(), &kept)) return true;
        FUZZ_CHECK(kept <= have && kept + 16 <= buffer.size(), "kept %zu of %zu", kept, have);
        memmove(buffer.data(), buffer.data() + have - kept, kept);
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const uint8_t mode = input.Byte();
    const unsigned sizes = input.Byte();
    std::string query = input.Text();
    std::string text(reinterpret_cast<const char*>(input.data), input.size);
    const bool pattern = (mode & 2) != 0;
    const bool ci = !pattern && (mode & 1) != 0;
    if (query.size() > 40 || text.size() > 300) return 0;
    if (pattern) {
        std::string tokens;
        for (unsigned char c : query) tokens += kTokens[c % kTokenCount];
        query = tokens;
        // Byte-order marks and UTF-16 are the text query's business here.
        if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.insert(0, "x");
    }

    static QueryMatcher matcher;
    PatternError error;
    const MatcherResult result = PrepareQueryMatcher(query.c_str(), nullptr, nullptr, ci, true, pattern, matcher, &error);
    if (pattern) {
        RE2::Options options;
        options.set_encoding(RE2::Options::EncodingLatin1);
        options.set_never_nl(true);
        options.set_log_errors(false);
        const RE2 re(query, options);
        FUZZ_CHECK((result == kMatcherReady) == re.ok() || query.empty(), "pattern '%s': ours %d, RE2's %s",
                   Printable(query).c_str(), result, re.error().c_str());
        if (result == kMatcherReady && matcher.pattern) {
            const bool want = ReferencePattern(text, re);
            FUZZ_CHECK(MatcherFinds(matcher, text, sizes) == want, "pattern '%s' in '%s': want %d",
                       Printable(query).c_str(), Printable(text).c_str(), want);
        }
    } else if (result == kMatcherReady) {
        const bool want = ReferenceText(text, query, ci);
        FUZZ_CHECK(MatcherFinds(matcher, text, sizes) == want, "query '%s' in '%s': want %d, %s",
                   Printable(query).c_str(), Printable(text).c_str(), want, ci ? "case-insensitive" : "case-sensitive");
    }
    ReleaseQueryMatcher(matcher);
    return 0;
}
