#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>

// The program's queries hold at most 254 characters; one whose longest
// spelling is longer than this is not searched at all.
enum { kMaxQueryLength = 4096 };

// What a search looks for: the query's bytes in the ANSI code page, as typed;
// the same text in UTF-8 when it holds characters outside ASCII; and in
// UTF-16 LE, which is sought only in files that begin with its byte-order
// mark. Prepared once per search into a struct the caller owns, then only
// read, so any number of readers may share it.
struct QuerySpellings {
    const char* ansi;  // the query itself, zero-terminated
    size_t ansiLength;
    char utf8[kMaxQueryLength + 1];  // zero-terminated; empty when it would repeat the ANSI bytes
    size_t utf8Length;
    char utf16[kMaxQueryLength];  // little-endian code units, zero bytes and all
    size_t utf16Length;
};

// wide is the query converted from the ANSI code page, zero-terminated UTF-16
// code units; null takes each ANSI byte as the character of that number
// (Latin-1), as the native callers do. False when a spelling is longer than
// kMaxQueryLength.
bool PrepareQuerySpellings(const char* ansi, const char16_t* wide, QuerySpellings& spellings);

// FF FE: the file is UTF-16 LE.
bool StartsWithUtf16Mark(const char* text, size_t length);

// How many bytes of one piece of a file start the next, so that no
// occurrence of a spelling the file is searched for falls between two.
size_t SpellingOverlap(const QuerySpellings& spellings, bool utf16File);

// Whether text[0, length), which begins at byte offset of its file, holds a
// spelling the file is searched for. A file without the mark costs one
// matcher call for an ASCII query, as a search for its bytes alone does.
bool PieceHoldsQuery(const char* text, size_t length, unsigned long long offset, const QuerySpellings& spellings,
                     bool utf16File, bool caseInsensitive);

// Where the UTF-16 LE text query[0, queryLength) first occurs in
// text[0, length) on whole characters, that is at an even offset in the file
// whose byte offset text[0] is; length when nowhere. Case-insensitive mode
// folds only the ASCII letters, code unit by code unit.
size_t FindUtf16Text(const char* text, size_t length, unsigned long long offset, const char* query,
                     size_t queryLength, bool caseInsensitive);

// Appends code point c (at most 0x10FFFF) as UTF-8.
void AppendUtf8(std::string& out, uint32_t c);
