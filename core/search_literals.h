#pragma once

#include "core/literal_query.h"
#include "core/query_matcher.h"
#include "core/query_spellings.h"

// What a file must hold for a text-mode search (whole words too) to find
// the query in it: any one of the spellings it is searched for, that is the
// ANSI bytes, the UTF-8 form when there is one, and in a file that starts
// with the UTF-16 LE mark the UTF-16 bytes as well.
LiteralQuery SpellingLiterals(const QuerySpellings& spellings, bool utf16File);

// What a file must hold for a search through this matcher, in any mode, to
// find anything in it: plain for files without the UTF-16 mark, utf16 for
// files with it. Text and whole words: the spellings above; a pattern: the
// literals every match of it holds. False when every file may hold a match:
// a spelling shorter than three bytes, a pattern with no literal.
bool SearchLiterals(const QueryMatcher& matcher, LiteralQuery& plain, LiteralQuery& utf16);
