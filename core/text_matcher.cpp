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

// A whole comparison, sixteen bytes at a time where the query allows: a
// query of repeated letters over a text of the same makes every position a
// candidate, and then this is all the matcher does.
bool MatchesAt(const unsigned char* at, const unsigned char* query, size_t length, bool caseInsensitive) {
    size_t k = 0;
#if defined(__SSE2__)
    const __m128i caseBit = _mm_set1_epi8(caseInsensitive ? 0x20 : 0);
    for (; k + 16 <= length; k += 16) {
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(query + k));
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + k));
        // The fold mask of each query byte: 0x20 for a letter, else 0. Bytes
        // from 0x80 are negative here, so they are never letters.
        const __m128i lower = _mm_or_si128(q, caseBit);
        const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                             _mm_cmplt_epi8(lower, _mm_set1_epi8('z' + 1)));
        const __m128i mask = _mm_and_si128(letter, caseBit);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(t, mask), _mm_or_si128(q, mask))) != 0xFFFF) return false;
    }
#endif
    for (; k < length; ++k)
        if (!Agrees(at[k], query[k], FoldMask(query[k], caseInsensitive))) return false;
    return true;
}


#if defined(__SSE2__)
// One query byte, broadcast, and where it stands in the query. Folding is an
// OR with 0x20 (or with 0 when the byte is no letter); it is left out
// entirely in case-sensitive mode.
struct Filter {
    __m128i want, fold;
    size_t offset;
};

template <bool Folding>
inline Filter MakeFilter(const unsigned char* q, size_t offset) {
    const unsigned char mask = FoldMask(q[offset], Folding);
    return {_mm_set1_epi8(static_cast<char>(q[offset] | mask)), _mm_set1_epi8(static_cast<char>(mask)), offset};
}

template <bool Folding>
inline __m128i Agreeing(const unsigned char* at, const Filter& f) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + f.offset));
    if (Folding) a = _mm_or_si128(a, f.fold);
    return _mm_cmpeq_epi8(a, f.want);
}

// Sixteen start positions: those whose first, middle and last bytes agree
// with the query's. Three bytes leave few enough candidates that the block's
// one branch is rarely taken, even for queries of common letters.
template <bool Folding>
inline __m128i Candidates(const unsigned char* at, const Filter& first, const Filter& middle, const Filter& last) {
    return _mm_and_si128(_mm_and_si128(Agreeing<Folding>(at, first), Agreeing<Folding>(at, last)),
                         Agreeing<Folding>(at, middle));
}

// The lowest candidate that matches in full, as an offset from at; 16 when none.
inline unsigned VerifyCandidates(unsigned bits, const unsigned char* at, const unsigned char* query, size_t length,
                                 bool caseInsensitive) {
    while (bits != 0) {
        const unsigned offset = static_cast<unsigned>(__builtin_ctz(bits));
        if (MatchesAt(at + offset, query, length, caseInsensitive)) return offset;
        bits &= bits - 1;
    }
    return 16;
}

// Scans start positions [i, lastStart] while a whole block fits; returns true
// on a hit, with i at the hit's start, and otherwise leaves i at the first
// position not yet tried. Blocks and candidates are taken in ascending order,
// so the hit is the first occurrence.
template <bool Folding>
bool ScanBlocks(const unsigned char* t, size_t& i, size_t lastStart, const unsigned char* q, size_t m) {
    const Filter first = MakeFilter<Folding>(q, 0), middle = MakeFilter<Folding>(q, m / 2),
                 last = MakeFilter<Folding>(q, m - 1);
    // Sixty-four positions per step, with one test for the whole block: hits
    // are rare, so the common path is loads, compares and one branch. A block
    // with candidates is gone over again sixteen positions at a time, which
    // keeps the common path within the eight vector registers of a 32-bit
    // processor.
    for (; i + 63 <= lastStart; i += 64) {
        const unsigned char* at = t + i;
        const __m128i any =
            _mm_or_si128(_mm_or_si128(Candidates<Folding>(at, first, middle, last),
                                      Candidates<Folding>(at + 16, first, middle, last)),
                         _mm_or_si128(Candidates<Folding>(at + 32, first, middle, last),
                                      Candidates<Folding>(at + 48, first, middle, last)));
        if (_mm_movemask_epi8(any) == 0) continue;
        for (size_t k = 0; k < 64; k += 16) {
            const __m128i c = Candidates<Folding>(at + k, first, middle, last);
            const unsigned hit = VerifyCandidates(static_cast<unsigned>(_mm_movemask_epi8(c)), at + k, q, m, Folding);
            if (hit < 16) {
                i += k + hit;
                return true;
            }
        }
    }
    for (; i + 15 <= lastStart; i += 16) {
        const __m128i c = Candidates<Folding>(t + i, first, middle, last);
        const unsigned hit = VerifyCandidates(static_cast<unsigned>(_mm_movemask_epi8(c)), t + i, q, m, Folding);
        if (hit < 16) {
            i += hit;
            return true;
        }
    }
    return false;
}
#endif

}  // namespace

size_t FindText(const char* text, size_t length, const char* query, bool caseInsensitive) {
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(query);
    const size_t m = strlen(query);
    if (m == 0 || m > length) return length;

    // Candidates must agree on the first, the middle and the last query byte
    // (the block scan) or the first and the last (the tail); only those are
    // compared in full. Every start position is tried, so an occurrence
    // that overlaps a failed partial match is still found. Block loads stay
    // inside the text: a block of start positions is scanned only when its
    // last-byte load ends at or before the text's end.
    const size_t lastStart = length - m;
    size_t i = 0;
#if defined(__SSE2__)
    if (caseInsensitive ? ScanBlocks<true>(t, i, lastStart, q, m) : ScanBlocks<false>(t, i, lastStart, q, m))
        return i;
#endif
    const unsigned char first = q[0], firstMask = FoldMask(first, caseInsensitive);
    const unsigned char last = q[m - 1], lastMask = FoldMask(last, caseInsensitive);
    for (; i <= lastStart; ++i) {
        if (Agrees(t[i], first, firstMask) && Agrees(t[i + m - 1], last, lastMask) &&
            MatchesAt(t + i, q, m, caseInsensitive))
            return i;
    }
    return length;
}

bool MatchText(const char* text, size_t length, const char* query, bool caseInsensitive) {
    return FindText(text, length, query, caseInsensitive) != length;
}
