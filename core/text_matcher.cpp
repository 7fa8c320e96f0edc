#include "core/text_matcher.h"

#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// OR-ing 0x20 into a text byte is exact when the query byte is a letter: only
// its two cases land on its lower case. For any other query byte the mask is
// 0, so '@' never meets '`' and 0xC9 never meets 0xE9.
inline unsigned char FoldMask(unsigned char x, bool caseInsensitive) {
    return (caseInsensitive && static_cast<unsigned char>((x | 0x20) - 'a') < 26) ? 0x20 : 0;
}

inline bool Agrees(unsigned char c, unsigned char x, unsigned char mask) {
    return (c | mask) == (x | mask);
}

bool MatchesAt(const unsigned char* at, const unsigned char* query, size_t length, bool caseInsensitive) {
    if (!caseInsensitive) return memcmp(at, query, length) == 0;
    for (size_t k = 0; k < length; ++k)
        if (!Agrees(at[k], query[k], FoldMask(query[k], true))) return false;
    return true;
}

}  // namespace

namespace {

#if defined(__SSE2__)
// Sixteen start positions: those whose first and last bytes agree with the
// query's, as bits. Folding is an OR with 0x20 (or with 0 when the byte is
// no letter); it is left out entirely in case-sensitive mode.
template <bool Folding>
inline __m128i Candidates(const unsigned char* at, size_t lastOffset, __m128i firstWant, __m128i firstFold,
                          __m128i lastWant, __m128i lastFold) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + lastOffset));
    if (Folding) {
        a = _mm_or_si128(a, firstFold);
        b = _mm_or_si128(b, lastFold);
    }
    return _mm_and_si128(_mm_cmpeq_epi8(a, firstWant), _mm_cmpeq_epi8(b, lastWant));
}

inline bool VerifyCandidates(unsigned bits, const unsigned char* at, const unsigned char* query, size_t length,
                             bool caseInsensitive) {
    while (bits != 0) {
        if (MatchesAt(at + __builtin_ctz(bits), query, length, caseInsensitive)) return true;
        bits &= bits - 1;
    }
    return false;
}

// Scans start positions [i, lastStart] while a whole block fits; returns true
// on a hit, and otherwise leaves i at the first position not yet tried.
template <bool Folding>
bool ScanBlocks(const unsigned char* t, size_t& i, size_t lastStart, const unsigned char* q, size_t m) {
    const unsigned char first = q[0], firstMask = FoldMask(first, Folding);
    const unsigned char last = q[m - 1], lastMask = FoldMask(last, Folding);
    const __m128i firstWant = _mm_set1_epi8(static_cast<char>(first | firstMask));
    const __m128i firstFold = _mm_set1_epi8(static_cast<char>(firstMask));
    const __m128i lastWant = _mm_set1_epi8(static_cast<char>(last | lastMask));
    const __m128i lastFold = _mm_set1_epi8(static_cast<char>(lastMask));
    const size_t lastOffset = m - 1;
    // Sixty-four positions per step, with one test for the whole block: hits
    // are rare, so the common path is loads, compares and one branch. A block
    // with candidates is gone over again sixteen positions at a time, which
    // keeps the common path within the eight vector registers of a 32-bit
    // processor.
    for (; i + 63 <= lastStart; i += 64) {
        const unsigned char* at = t + i;
        const __m128i any =
            _mm_or_si128(_mm_or_si128(Candidates<Folding>(at, lastOffset, firstWant, firstFold, lastWant, lastFold),
                                      Candidates<Folding>(at + 16, lastOffset, firstWant, firstFold, lastWant, lastFold)),
                         _mm_or_si128(Candidates<Folding>(at + 32, lastOffset, firstWant, firstFold, lastWant, lastFold),
                                      Candidates<Folding>(at + 48, lastOffset, firstWant, firstFold, lastWant, lastFold)));
        if (_mm_movemask_epi8(any) == 0) continue;
        for (size_t k = 0; k < 64; k += 16) {
            const __m128i c = Candidates<Folding>(at + k, lastOffset, firstWant, firstFold, lastWant, lastFold);
            if (VerifyCandidates(static_cast<unsigned>(_mm_movemask_epi8(c)), at + k, q, m, Folding)) return true;
        }
    }
    for (; i + 15 <= lastStart; i += 16) {
        const __m128i c = Candidates<Folding>(t + i, lastOffset, firstWant, firstFold, lastWant, lastFold);
        if (VerifyCandidates(static_cast<unsigned>(_mm_movemask_epi8(c)), t + i, q, m, Folding)) return true;
    }
    return false;
}
#endif

}  // namespace

bool MatchText(const char* text, size_t length, const char* query, bool caseInsensitive) {
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(query);
    const size_t m = strlen(query);
    if (m == 0 || m > length) return false;

    // Candidates must agree on the first and the last query byte; only those
    // are compared in full. Every start position is tried, so an occurrence
    // that overlaps a failed partial match is still found. Block loads stay
    // inside the text: a block of start positions is scanned only when its
    // last-byte load ends at or before the text's end.
    const size_t lastStart = length - m;
    size_t i = 0;
#if defined(__SSE2__)
    if (caseInsensitive ? ScanBlocks<true>(t, i, lastStart, q, m) : ScanBlocks<false>(t, i, lastStart, q, m))
        return true;
#endif
    const unsigned char first = q[0], firstMask = FoldMask(first, caseInsensitive);
    const unsigned char last = q[m - 1], lastMask = FoldMask(last, caseInsensitive);
    for (; i <= lastStart; ++i) {
        if (Agrees(t[i], first, firstMask) && Agrees(t[i + m - 1], last, lastMask) &&
            MatchesAt(t + i, q, m, caseInsensitive))
            return true;
    }
    return false;
}
