#pragma once
#include <stddef.h>
#include <stdint.h>

// The three-byte sequences of a file, with the ASCII letters folded to lower
// case: a file can hold a spelling of a query, in either case mode, only if it
// holds every sequence of that spelling folded so. Every byte counts, zero
// bytes too, since a search matches across them.

// The first byte in bits 16 to 23, the last in bits 0 to 7.
typedef uint32_t Trigram;
enum : uint32_t { kTrigramSpace = 1u << 24 };

// The folded sequence that starts at bytes[0]; three bytes must be there.
Trigram FoldedTrigram(const char* bytes);

// A file whose distinct sequences pass this many is not worth holding: it is
// binary or huge, and would be a candidate for almost any query anyway.
enum : uint32_t { kMaxFileTrigrams = 1u << 18 };

// Gathers the distinct sequences of one file, fed piece by piece in file
// order, so a file is read once. One per reader: it keeps 2 MiB of its own.
struct TrigramCollector;

// Null when there is no memory for one.
TrigramCollector* NewTrigramCollector();
void DeleteTrigramCollector(TrigramCollector* collector);

void StartTrigrams(TrigramCollector* collector);
// The next bytes of the file; a sequence may straddle two pieces.
void AddTrigramPiece(TrigramCollector* collector, const char* text, size_t length);
// The distinct sequences of the file, in no order, valid until the next
// start; null when there were more than kMaxFileTrigrams.
const Trigram* FinishTrigrams(TrigramCollector* collector, size_t* count);
