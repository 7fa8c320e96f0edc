#pragma once
#include <stddef.h>

// True when the zero-terminated query occurs anywhere in text[0, length).
// Zero bytes in the text are ordinary bytes. In case-insensitive mode only the
// ASCII letters fold; every other byte, 0x80 and up included, matches itself.
// An empty query is never found.
bool MatchText(const char* text, size_t length, const char* query, bool caseInsensitive);

// Where the first occurrence of the query begins in text[0, length), or
// length when there is none; the same matching as MatchText.
size_t FindText(const char* text, size_t length, const char* query, bool caseInsensitive);
