#include "core/query_spellings.h"

#include <string.h>

#include "core/text_matcher.h"

namespace {

// Appends bytes while they fit in capacity; false once they do not.
struct Output {
    char* bytes;
    size_t length;
    size_t capacity;

    bool Put(unsigned value) {
        if (length >= capacity) return false;
        bytes[length++] = static_cast<char>(value);
        return true;
    }
};

bool IsSurrogatePair(const char16_t* wide, size_t i) {
    return wide[i] >= 0xD800 && wide[i] < 0xDC00 && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000;
}

// A lone surrogate, which no conversion from a code page gives, is written
// as the three bytes of its own value.
bool EncodeUtf8(const char16_t* wide, Output& out) {
    for (size_t i = 0; wide[i] != 0; ++i) {
        unsigned c = wide[i];
        bool ok;
        if (c < 0x80) {
            ok = out.Put(c);
        } else if (c < 0x800) {
            ok = out.Put(0xC0 | c >> 6) && out.Put(0x80 | (c & 0x3F));
        } else if (IsSurrogatePair(wide, i)) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
            ok = out.Put(0xF0 | c >> 18) && out.Put(0x80 | (c >> 12 & 0x3F)) && out.Put(0x80 | (c >> 6 & 0x3F)) &&
                 out.Put(0x80 | (c & 0x3F));
        } else {
            ok = out.Put(0xE0 | c >> 12) && out.Put(0x80 | (c >> 6 & 0x3F)) && out.Put(0x80 | (c & 0x3F));
        }
        if (!ok) return false;
    }
    return true;
}

bool IsAscii(const char* text) {
    for (; *text != '\0'; ++text)
        if (static_cast<unsigned char>(*text) >= 0x80) return false;
    return true;
}

unsigned UnitAt(const unsigned char* at) { return at[0] | static_cast<unsigned>(at[1]) << 8; }

// The matcher's rule on whole code units: only a query unit that is an ASCII
// letter folds, so U+0141 never meets U+0161, nor U+4100 U+6100, although
// their low bytes are two cases of one letter.
bool UnitsAgree(unsigned text, unsigned query, bool caseInsensitive) {
    return text == query || (caseInsensitive && (query | 0x20) - 'a' < 26 && (text | 0x20) == (query | 0x20));
}

}  // namespace

bool PrepareQuerySpellings(const char* ansi, const char16_t* wide, QuerySpellings& spellings) {
    spellings.ansi = ansi;
    spellings.ansiLength = strlen(ansi);
    spellings.utf8[0] = '\0';
    spellings.utf8Length = 0;
    spellings.utf16Length = 0;
    if (spellings.ansiLength > kMaxQueryLength) return false;

    char16_t latin1[kMaxQueryLength + 1];
    if (wide == nullptr) {
        for (size_t i = 0; i <= spellings.ansiLength; ++i) latin1[i] = static_cast<unsigned char>(ansi[i]);
        wide = latin1;
    }

    Output utf16 = {spellings.utf16, 0, kMaxQueryLength};
    for (size_t i = 0; wide[i] != 0; ++i)
        if (!utf16.Put(wide[i] & 0xFF) || !utf16.Put(wide[i] >> 8)) return false;
    spellings.utf16Length = utf16.length;

    if (IsAscii(ansi)) return true;
    Output utf8 = {spellings.utf8, 0, kMaxQueryLength};
    if (!EncodeUtf8(wide, utf8)) return false;
    // Under the UTF-8 code page it is the query itself.
    if (utf8.length == spellings.ansiLength && memcmp(spellings.utf8, ansi, utf8.length) == 0) utf8.length = 0;
    spellings.utf8[utf8.length] = '\0';
    spellings.utf8Length = utf8.length;
    return true;
}

bool StartsWithUtf16Mark(const char* text, size_t length) {
    return length >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE;
}

size_t SpellingOverlap(const QuerySpellings& spellings, bool utf16File) {
    size_t longest = spellings.ansiLength > spellings.utf8Length ? spellings.ansiLength : spellings.utf8Length;
    if (utf16File && spellings.utf16Length > longest) longest = spellings.utf16Length;
    return longest > 0 ? longest - 1 : 0;
}

bool PieceHoldsQuery(const char* text, size_t length, unsigned long long offset, const QuerySpellings& spellings,
                     bool utf16File, bool caseInsensitive) {
    if (MatchText(text, length, spellings.ansi, caseInsensitive)) return true;
    if (spellings.utf8Length != 0 && MatchText(text, length, spellings.utf8, caseInsensitive)) return true;
    return utf16File &&
           FindUtf16Text(text, length, offset, spellings.utf16, spellings.utf16Length, caseInsensitive) < length;
}

size_t FindUtf16Text(const char* text, size_t length, unsigned long long offset, const char* query,
                     size_t queryLength, bool caseInsensitive) {
    const size_t units = queryLength / 2;
    if (units == 0 || queryLength > length) return length;
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(query);
    const unsigned first = UnitAt(q);
    for (size_t i = offset & 1; i + 2 * units <= length; i += 2) {
        if (!UnitsAgree(UnitAt(t + i), first, caseInsensitive)) continue;
        size_t k = 1;
        while (k < units && UnitsAgree(UnitAt(t + i + 2 * k), UnitAt(q + 2 * k), caseInsensitive)) ++k;
        if (k == units) return i;
    }
    return length;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
