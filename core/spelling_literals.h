#pragma once

#include "core/literal_query.h"
#include "core/query_spellings.h"

// What a file must hold for a text-mode search (whole words too) to find
// the query in it: any one of the spellings it is searched for, that is the
// ANSI bytes, the UTF-8 form when there is one, and in a file that starts
// with the UTF-16 LE mark the UTF-16 bytes as well.
LiteralQuery SpellingLiterals(const QuerySpellings& spellings, bool utf16File);
