#pragma once
#include <stddef.h>

#include <atomic>
#include <memory>
#include <string>

#include "core/literal_query.h"
#include "core/query_spellings.h"
#include "core/regex_pattern.h"

// What a search looks for, whatever the mode: the query as text (its
// spellings, see query_spellings.h), as whole words, or as a pattern (see
// regex_pattern.h), in either case mode. Prepared once per search, then
// only read, so any number of readers share it, and copies of it share its
// compiled patterns. The search engine, the line locator and the benchmark
// scan files through it piece by piece.
//
// A pattern is matched line by line, in the same encodings as a text: its
// bytes in the ANSI code page in every file, its UTF-8 form in every file
// when it holds a character outside ASCII, and in a file that begins with
// the UTF-16 LE mark on that file's characters only (a byte-wise match
// there would join the halves of characters). A file's byte-order mark is
// not part of its first line.

struct CompiledPattern;

// Room in front of each piece for the bytes a matcher keeps of the piece
// before: the longest spelling and a character on either side, or in
// pattern mode the unfinished last line. A longer line is searched in
// windows that each overlap the one before by this much, so a match of up
// to kMaxKept - 2 bytes is found wherever it lies in the line.
enum { kMaxKept = 16 << 10 };

struct QueryMatcher {
    QuerySpellings spellings;
    char query[kMaxQueryLength + 1];  // what spellings.ansi points at
    bool caseInsensitive;
    bool wholeWords;
    bool pattern;
    std::shared_ptr<const CompiledPattern> bytes;  // pattern: the ANSI bytes, one character each
    std::shared_ptr<const CompiledPattern> utf8;   // pattern: UTF-8, also for the lines of UTF-16 files
    bool utf8InEveryFile;      // the pattern holds characters outside ASCII
    std::string utf16Literal;  // pattern: a candidate literal in UTF-16 LE; empty for none
};

enum MatcherResult { kMatcherReady, kQueryTooLong, kBadPattern };

// Where the regex library found a pattern's fault: a 1-based character
// position and its own message.
struct PatternError {
    size_t position;
    std::string message;
};

// wide and leadBytes as for PrepareQuerySpellings and CompilePattern: null
// for Latin-1. On kBadPattern, error says why; the matcher holds nothing
// then, and on any result ReleaseQueryMatcher may be called.
MatcherResult PrepareQueryMatcher(const char* ansi, const char16_t* wide, const unsigned char* leadBytes,
                                  bool caseInsensitive, bool wholeWords, bool pattern, QueryMatcher& matcher,
                                  PatternError* error);
void ReleaseQueryMatcher(QueryMatcher& matcher);

// A copy that lives on its own: it shares only the compiled patterns, which
// are only read and last as long as any copy.
void CopyQueryMatcher(const QueryMatcher& from, QueryMatcher& to);

// A reader's knowledge of the file it scans: where the piece lies, and what
// the first piece said about the file.
struct PieceScan {
    unsigned long long offset;  // of the piece's first byte in the file
    bool utf16;                 // the file begins with the UTF-16 LE mark
    bool midLine;               // pattern: the piece begins inside a line cut short
    size_t overlap;             // text: the bytes of a piece that begin the next
    size_t textStart;           // where the first line's text begins: after the mark
    // When set, a pattern's scan looks at it between slices of a piece and
    // gives up, finding nothing, once it holds: a slow pattern still stops soon.
    const std::atomic<bool>* stop;
};

// Before the file's first piece, given that piece; stop may be null.
void BeginFileScan(const QueryMatcher& matcher, const char* text, size_t length, PieceScan& scan,
                   const std::atomic<bool>* stop = nullptr);

// Whether text[0, length), the next piece (with what was kept of the one
// before it in front), holds a match; last when the file ends with it. Sets
// keep to the number of its last bytes that must begin the next piece, at
// most kMaxKept, and moves scan on to that piece.
bool PieceHoldsMatch(const QueryMatcher& matcher, PieceScan& scan, const char* text, size_t length, bool last,
                     size_t* keep);

// How the line of a match is written: as the file's bytes, in UTF-8 (found
// by the query's UTF-8 form) or in UTF-16 LE (a file with the mark).
enum MatchEncoding { kAnsiMatch, kUtf8Match, kUtf16Match };

// As PieceHoldsMatch, but where the first match begins (in pattern mode, the
// start of the first line that holds one), and how its line is written;
// length when there is none.
size_t FirstMatchInPiece(const QueryMatcher& matcher, PieceScan& scan, const char* text, size_t length, bool last,
                         size_t* keep, MatchEncoding* encoding);

// --- Line by line, for listing the lines of a file that hold a match ---

// Where in text[from, to), whole lines of the file that `file` describes
// (from at a line's start, or at the file's text after its mark; to right
// after a line end, or at the file's end), the first line that holds a
// match lies: a position within that line; to when none does. offset: of
// text[0] in the file.
size_t FindLineWithMatch(const QueryMatcher& matcher, const PieceScan& file, const char* text, size_t from,
                         size_t to, unsigned long long offset);

// A line without its line end (a CR before its LF left out too), or the part
// of a long one that a reader holds: with cut, the line began before
// text[0], which is context only; with goesOn, it goes on after length, and
// its last character is context only. offset: of text[0] in the file.
struct LinePart {
    const char* text;
    size_t length;
    unsigned long long offset;
    bool utf16;  // in a file with the UTF-16 LE mark: on whole characters
    bool cut, goesOn;
};

// The first match in the line that begins at or after from (with cut, from
// is at least its second character), its bytes in span, and the form of the
// query that found it; false when there is none. Of matches that begin
// together, the one of the ANSI bytes comes first.
bool MatchInLine(const QueryMatcher& matcher, const LinePart& line, size_t from, MatchSpan* span,
                 MatchEncoding* encoding);

// What every match of a pattern holds, for choosing the files worth reading:
// literals with the ASCII letters in lower case, in UTF-16 LE for a file
// with the mark. A text query's own literals are its spellings.
LiteralQuery RequiredLiterals(const QueryMatcher& matcher, bool utf16File);
