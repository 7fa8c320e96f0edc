// Differential fuzzer: MatchText and FindText, and FindUtf16Text on the same
// bytes taken as UTF-16 LE, against plain scans of every start position.
//
// Input layout:  [mode] [query bytes ...] [0x00] [text bytes ...]
//   mode   bit 0 set = case-insensitive; for UTF-16: bit 1 set = the text
//          starts at an odd offset of its file, bit 2 set = each query byte
//          is a code unit of its own (else the query's bytes pair up); the
//          other bits are ignored.
//   query  runs up to the first zero byte, or stops after kMaxQuery bytes
//          (then no separator is consumed); it may be empty.
//   text   everything after that, zero bytes included.
// A separator byte keeps the seeds readable and lets mutations move bytes
// between query and text without re-encoding a length field.

#include "core/query_spellings.h"
#include "core/text_matcher.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const size_t kMaxQuery = 300;

unsigned char Fold(unsigned char c, bool caseInsensitive) {
    return (caseInsensitive && c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// The first start position that matches, or n.
size_t ReferenceFind(const unsigned char* text, size_t n, const unsigned char* query, size_t m,
                     bool caseInsensitive) {
    if (m == 0) return n;
    for (size_t i = 0; i + m <= n; ++i) {
        size_t k = 0;
        while (k < m && Fold(text[i + k], caseInsensitive) == Fold(query[k], caseInsensitive)) ++k;
        if (k == m) return i;
    }
    return n;
}

// Whole code units at even file offsets; only a query unit that is an ASCII
// letter folds, and only with the same letter's other case.
size_t ReferenceFindUtf16(const unsigned char* text, size_t n, bool oddStart, const unsigned char* query, size_t m,
                          bool caseInsensitive) {
    if (m < 2) return n;
    auto unit = [](const unsigned char* at) { return at[0] | at[1] << 8; };
    auto fold = [caseInsensitive](int u) { return (caseInsensitive && u >= 'A' && u <= 'Z') ? u + 32 : u; };
    for (size_t i = oddStart ? 1 : 0; i + m <= n; i += 2) {
        size_t k = 0;
        while (k < m && fold(unit(text + i + k)) == fold(unit(query + k))) k += 2;
        if (k >= m) return i;
    }
    return n;
}

void PrintBytes(const char* label, const unsigned char* p, size_t n) {
    fprintf(stderr, "%s (%zu bytes):", label, n);
    for (size_t i = 0; i < n; ++i) fprintf(stderr, "%s%02x", (i % 32 == 0) ? "\n  " : " ", p[i]);
    fprintf(stderr, "\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool caseInsensitive = (data[0] & 1) != 0;
    const uint8_t* rest = data + 1;
    size_t restSize = size - 1;

    size_t m = 0;
    while (m < restSize && m < kMaxQuery && rest[m] != 0) ++m;
    const size_t skip = (m < restSize && rest[m] == 0) ? m + 1 : m;

    // Both buffers are sized exactly, so a read one byte past the text, or
    // past the query terminator, lands in an ASan redzone.
    char* query = new char[m + 1];
    memcpy(query, rest, m);
    query[m] = '\0';

    const size_t n = restSize - skip;
    char* text = new char[n];
    if (n != 0) memcpy(text, rest + skip, n);

    const bool got = MatchText(text, n, query, caseInsensitive);
    const size_t gotAt = FindText(text, n, query, caseInsensitive);
    const size_t wantAt = ReferenceFind(reinterpret_cast<const unsigned char*>(text), n,
                                        reinterpret_cast<const unsigned char*>(query), m, caseInsensitive);
    const bool want = wantAt != n;
    if (got != want || gotAt != wantAt) {
        fprintf(stderr, "the matcher disagrees with the reference: MatchText %d, FindText %zu; want %d at %zu, %s\n",
                got, gotAt, want, wantAt, caseInsensitive ? "case-insensitive" : "case-sensitive");
        PrintBytes("query", reinterpret_cast<const unsigned char*>(query), m);
        PrintBytes("text", reinterpret_cast<const unsigned char*>(text), n);
        abort();
    }

    const bool oddStart = (data[0] & 2) != 0;
    const bool widened = (data[0] & 4) != 0;
    const size_t bytes = widened ? 2 * m : (m & ~static_cast<size_t>(1));
    unsigned char* units = new unsigned char[bytes];
    for (size_t i = 0; i < bytes; ++i) units[i] = widened ? (i % 2 == 0 ? query[i / 2] : 0) : query[i];
    const size_t at =
        FindUtf16Text(text, n, oddStart ? 1 : 0, reinterpret_cast<const char*>(units), bytes, caseInsensitive);
    const size_t wantUtf16At =
        ReferenceFindUtf16(reinterpret_cast<const unsigned char*>(text), n, oddStart, units, bytes, caseInsensitive);
    if (at != wantUtf16At) {
        fprintf(stderr, "FindUtf16Text disagrees with the reference: got %zu, want %zu, %s, %s start\n", at, wantUtf16At,
                caseInsensitive ? "case-insensitive" : "case-sensitive", oddStart ? "odd" : "even");
        PrintBytes("query", units, bytes);
        PrintBytes("text", reinterpret_cast<const unsigned char*>(text), n);
        abort();
    }
    delete[] units;

    delete[] text;
    delete[] query;
    return 0;
}
