#pragma once
#include <stddef.h>

// The whole-word rule of a plain text query: a hit counts only where it
// neither begins nor ends between two word characters. Word characters are
// the ASCII letters, digits and '_', and every byte from 0x80 up (in UTF-16,
// every code unit from 0x80 up), so a letter of any code page is never a
// boundary. A file's start and end are boundaries, and so is its byte-order
// mark (FF FE, or EF BB BF in UTF-8), which is no text.

inline bool IsWordByte(unsigned char c) {
    return c >= 0x80 || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_';
}

// Where text[0, length) lies in its file: at which byte offset, and whether
// the file ends with it. A hit at either edge of the text whose other side
// is not in the text is left undecided: the text before or after it, which
// the previous or next piece holds, decides it there.
struct TextPlace {
    unsigned long long offset;
    bool fileEnd;
};

// Where the first whole-word occurrence of the zero-terminated query begins
// in text[0, length); length when there is none. Matching as FindText.
size_t FindWholeWord(const char* text, size_t length, TextPlace place, const char* query, bool caseInsensitive);

// The same for the UTF-16 LE query[0, queryLength), on whole characters, as
// FindUtf16Text.
size_t FindWholeWordUtf16(const char* text, size_t length, TextPlace place, const char* query, size_t queryLength,
                          bool caseInsensitive);
