#include "core/whole_words.h"

#include <string.h>

#include "core/query_spellings.h"
#include "core/text_matcher.h"

namespace {

enum Side { kGlued, kFree, kUndecided };

bool IsWordUnit(const unsigned char* at) { return at[1] != 0 || IsWordByte(at[0]); }

// Bytes of the mark at the start of a file that begins with one.
size_t MarkLength(const unsigned char* t, size_t length, TextPlace place) {
    if (place.offset != 0) return 0;
    if (length >= 2 && t[0] == 0xFF && t[1] == 0xFE) return 2;
    if (length >= 3 && t[0] == 0xEF && t[1] == 0xBB && t[2] == 0xBF) return 3;
    return 0;
}

// Whether position at of text[0, length), counted in units of one byte or
// two, lies strictly between two word characters. Right after the mark is
// the file's start.
Side Boundary(const unsigned char* t, size_t length, size_t at, size_t unit, size_t mark, bool fileEnd) {
    auto word = [&](size_t i) { return unit == 1 ? IsWordByte(t[i]) : IsWordUnit(t + i); };
    const bool before = at >= unit;
    const bool after = at + unit <= length;
    if ((mark > 0 && at == mark) || (after && !word(at)) || (before && !word(at - unit))) return kFree;
    if (!before) return kUndecided;
    if (!after) return fileEnd ? kFree : kUndecided;
    return kGlued;
}

}  // namespace

size_t FindWholeWord(const char* text, size_t length, TextPlace place, const char* query, bool caseInsensitive) {
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    const size_t m = strlen(query);
    const size_t mark = MarkLength(t, length, place);
    for (size_t from = 0; from < length;) {
        const size_t hit = from + FindText(text + from, length - from, query, caseInsensitive);
        if (hit >= length) break;
        Side start = Boundary(t, length, hit, 1, mark, place.fileEnd);
        if (start == kUndecided && place.offset == 0) start = kFree;  // the file's start
        if (start == kFree && Boundary(t, length, hit + m, 1, mark, place.fileEnd) == kFree) return hit;
        from = hit + 1;
    }
    return length;
}

size_t FindWholeWordUtf16(const char* text, size_t length, TextPlace place, const char* query, size_t queryLength,
                          bool caseInsensitive) {
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    const size_t mark = MarkLength(t, length, place);
    for (size_t from = 0; from < length;) {
        const size_t hit = from + FindUtf16Text(text + from, length - from, place.offset + from, query, queryLength,
                                                caseInsensitive);
        if (hit >= length) break;
        Side start = Boundary(t, length, hit, 2, mark, place.fileEnd);
        if (start == kUndecided && place.offset + hit == 0) start = kFree;
        if (start == kFree && Boundary(t, length, hit + queryLength, 2, mark, place.fileEnd) == kFree) return hit;
        from = hit + 2;
    }
    return length;
}
