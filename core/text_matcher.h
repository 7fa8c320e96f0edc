#pragma once
#include <stddef.h>

// True when the zero-terminated query occurs anywhere in text[0, length).
// Zero bytes in the text are ordinary bytes. In case-insensitive mode only the
// ASCII letters fold; every other byte, 0x80 and up included, matches itself.
// An empty query is never found.
bool MatchText(const char* text, size_t length, const char* query, bool caseInsensitive);
