#pragma once
#include <stddef.h>
#include <stdint.h>

#include <atomic>
#include <vector>

#include "core/query_matcher.h"
#include "core/search_engine.h"

// Lists the lines of a file that hold a match of what a search looks for
// (see query_matcher.h), reading the file in the search's own pieces: each
// line's number and its text for display, with its matches marked, and how
// many such lines the file holds to its end.

// The text of a line as the lists show it: at most this many characters.
enum { kLineTextLimit = 200 };

// Room for that many characters in UTF-8, four bytes each at the most.
enum { kLineTextRoom = 4 * kLineTextLimit + 1 };

// A line whose first match ends past the cut is shown from this many
// characters before it instead, after an ellipsis.
enum { kLeadBeforeHit = 20 };

// What is kept of a line that goes on into the next piece: a shorter one
// whole, of a longer one its last bytes, in which the next piece's matches
// find what comes before them.
enum { kLineKept = kMaxKept };

// A buffer for ListMatchingLines: a piece and what is kept before it.
enum { kLocatorBufferSize = kReadPiece + kLineKept };

// How a line's text is written: as the file's bytes, as UTF-8 (its first
// match was of the query's UTF-8 form), or in UTF-16 LE code units (the
// file begins with their byte-order mark).
enum LineEncoding { kAnsiLine, kUtf8Line, kUtf16Line };

// A match in a line's shown text, in bytes: [begin, end).
struct LineMark {
    uint32_t begin, end;
};

struct ListedLine {
    unsigned long long number;  // counted from 1
    LineEncoding encoding;
    // Shown from shortly before its first match rather than from its first
    // visible character, which lies too far before it: an ellipsis goes in front.
    bool cutBefore;
    // The line from its first visible character (or from the cut): tabs and
    // other control characters as spaces, blanks at its end dropped, at most
    // kLineTextLimit characters (less one after the cut); bytes
    // [text, text + length) of LineListing::text.
    size_t text, length;
    // Its matches within that text, in order: marks [marks, marks + markCount).
    size_t marks, markCount;
};

struct LineListing {
    std::vector<ListedLine> lines;
    std::vector<char> text;
    std::vector<LineMark> marks;
    unsigned long long count = 0;  // lines that hold a match
};

// One read of at most want bytes into into; fewer than wanted means the end
// of the file. False on a read error, with got holding what arrived before it.
typedef bool (*ReadPieceFunction)(void* context, char* into, size_t want, size_t* got);

// Lines end at LF, so CR LF counts as one line end; in a UTF-16 file at the
// LF character, and its mark is no part of the first line. A read error ends
// the file where it happened.
//
// The first `keep` lines that hold a match are listed; the others are
// counted to the end of the file, or with countAll false the reading ends at
// the keep-th. Reading also ends before the next piece once *stop holds
// (stop may be null): the listing is then unfinished. buffer holds
// kLocatorBufferSize bytes. Throws std::bad_alloc when the listing finds no
// memory.
void ListMatchingLines(ReadPieceFunction read, void* context, char* buffer, const QueryMatcher& matcher, size_t keep,
                       bool countAll, const std::atomic<bool>* stop, LineListing* out);
