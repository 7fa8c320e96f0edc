#pragma once

#include "core/line_locator.h"

// The first line of the file at path that holds a match, read from the
// file as it is now, its text in the ANSI code page: line 0 and no text when
// it no longer holds one or cannot be read. Its handle and buffer are its
// own, apart from the search's; it is called on the window's thread only.
void LookUpLine(const char* path, const QueryMatcher& matcher, LineLocation* out);
