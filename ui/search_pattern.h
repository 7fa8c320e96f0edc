#pragma once
#include <stddef.h>

#include "core/index_format.h"

// The search path for files like the chosen one: its folder with a wildcard
// for its extension, cut to three characters ('C:\src\page.html' gives
// 'C:\src\*.htm'). A name without a dot gives '*.', the files that have no
// extension. When the pattern would not fit in outSize bytes the chosen path
// itself is used, which searches that one file. The folder ends at the last
// real separator, and the extension is cut only between characters, under
// the code page whose lead bytes are given.
// out must not overlap chosen.
void DeriveSearchPattern(const char* chosen, char* out, size_t outSize, LeadByteTable leadBytes);

// The same under the system's ANSI code page (search_pattern_win32.cpp).
void DeriveSearchPattern(const char* chosen, char* out, size_t outSize);
