#pragma once
#include <stddef.h>

// The search path for files like the chosen one: its folder with a wildcard
// for its extension, cut to three characters ('C:\src\page.html' gives
// 'C:\src\*.htm'). A name without a dot gives '*.', the files that have no
// extension. When the pattern would not fit in outSize bytes the chosen path
// itself is used, which searches that one file.
// out must not overlap chosen.
void DeriveSearchPattern(const char* chosen, char* out, size_t outSize);
