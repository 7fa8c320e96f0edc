#pragma once
#include <stddef.h>

#include <string>
#include <vector>

#include "core/literal_query.h"

// A pattern in the usual Perl-like syntax, compiled for one encoding of the
// text: single bytes (the ANSI code page, each byte a character) or UTF-8.
// Only regex_pattern.cpp calls the regex library.
//
// Matching is always on one line, given without its line end; so `^` and
// `$` mean the line's start and end whatever the pattern's own flags, and
// no match spans two lines. In case-insensitive mode, and inside a
// pattern's own (?i), only the ASCII letters fold; every other character
// matches only itself. With whole words a match may neither begin nor end
// between two word characters (ASCII letters, digits, '_', and every
// character from 0x80 up); the line's ends count as boundaries.
struct CompiledPattern;

enum PatternEncoding { kBytePattern, kUtf8Pattern };

// Where the library found a fault: a 1-based character position in the
// pattern, and its own message.
struct PatternFault {
    size_t position;
    std::string message;
};

// The pattern is UTF-8 for kUtf8Pattern; for kBytePattern its own bytes, in
// which leadBytes (null for a single-byte code page) marks the bytes that
// begin a character of two. Null, with the fault, when the library refuses
// the pattern, for its syntax or its size; the fault's position is counted
// in the pattern's characters.
CompiledPattern* CompilePattern(const std::string& pattern, PatternEncoding encoding,
                                const unsigned char* leadBytes, bool caseInsensitive, bool wholeWords,
                                PatternFault* fault);
void FreePattern(const CompiledPattern* pattern);

struct MatchSpan {
    size_t begin, end;
};

// The first match that begins at or after from in line[0, length), a line
// without its end; the bytes before from are context only, so that `^`
// and word boundaries see them (a part of a line cut short passes its
// first byte so). When the line goes on after length (it was cut short
// there), its last byte is context only too, so that neither `$` nor a
// word's end is seen at the cut. Spans are offsets in line; span may be
// null when only whether there is a match counts.
bool FindInLine(const CompiledPattern& pattern, const char* line, size_t length, size_t from, bool goesOn,
                MatchSpan* span);

// Somewhere in text[from, to], which holds whole lines, where a match may
// lie (an empty one may lie at to); false when surely none does. Only the
// line around a candidate needs to be tried with FindInLine; it scans text
// whole, without the cost of a call per line.
bool NextCandidate(const CompiledPattern& pattern, const char* text, size_t from, size_t to, size_t* at);

// A string that every match holds, with its ASCII letters in lower case, to
// find candidate lines with a plain case-insensitive search; empty when the
// pattern has none long enough to pay. With asciiOnly, the longest run of
// ASCII characters in such a string, which the same pattern in another
// encoding holds too.
const std::string& CandidateLiteral(const CompiledPattern& pattern, bool asciiOnly);

// Other strings that every match holds, alike: a candidate line without
// all of them cannot match, and is passed over without asking the pattern.
const std::vector<std::string>& OtherLiterals(const CompiledPattern& pattern, bool asciiOnly);

// The literals every match must hold, as the library derives them; with
// asciiOnly each literal is reduced to its runs of ASCII characters, which
// hold for the pattern in any encoding.
LiteralQuery PatternLiterals(const CompiledPattern& pattern, bool asciiOnly);
