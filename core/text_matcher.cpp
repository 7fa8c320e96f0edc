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

bool MatchText(const char* text, size_t length, const char* query, bool caseInsensitive) {
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(query);
    const size_t m = strlen(query);
    if (m == 0 || m > length) return false;

    // Candidates must agree on the first and the last query byte; only those
    // are compared in full. Every start position is tried, so an occurrence
    // that overlaps a failed partial match is still found.
    const unsigned char first = q[0], firstMask = FoldMask(first, caseInsensitive);
    const unsigned char last = q[m - 1], lastMask = FoldMask(last, caseInsensitive);
    const size_t lastStart = length - m;
    size_t i = 0;

#if defined(__SSE2__)
    const __m128i firstWant = _mm_set1_epi8(static_cast<char>(first | firstMask));
    const __m128i firstFold = _mm_set1_epi8(static_cast<char>(firstMask));
    const __m128i lastWant = _mm_set1_epi8(static_cast<char>(last | lastMask));
    const __m128i lastFold = _mm_set1_epi8(static_cast<char>(lastMask));
    // Sixteen start positions at a time; both loads stay inside the text.
    for (; i + 15 <= lastStart; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + m - 1));
        const __m128i hits = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstFold), firstWant),
                                           _mm_cmpeq_epi8(_mm_or_si128(b, lastFold), lastWant));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hits));
        while (bits != 0) {
            const unsigned j = static_cast<unsigned>(__builtin_ctz(bits));
            if (MatchesAt(t + i + j, q, m, caseInsensitive)) return true;
            bits &= bits - 1;
        }
    }
#endif

    for (; i <= lastStart; ++i) {
        if (Agrees(t[i], first, firstMask) && Agrees(t[i + m - 1], last, lastMask) &&
            MatchesAt(t + i, q, m, caseInsensitive))
            return true;
    }
    return false;
}
