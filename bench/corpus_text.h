#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>

// Deterministic include-style text for the benchmarks: CRLF lines of
// declarations, constants and prototypes over made-up identifiers. The same
// seed gives the same bytes on every platform and compiler.
class CorpusText {
public:
    explicit CorpusText(uint64_t seed) : state_(seed) {}

    uint64_t Next();
    size_t Pick(size_t n) { return static_cast<size_t>(Next() % n); }

    // One line, ended by CRLF.
    std::string Line();
    // Lines until at least size bytes, cut to exactly size.
    std::string Text(size_t size);

private:
    std::string Name();
    std::string Upper(const std::string& name);
    std::string Type();
    uint64_t state_;
};

// The planted queries of the benchmark corpora. None of the generated lines
// can hold any of them, in either case.
struct PlantedQuery {
    const char* label;
    const char* text;       // as planted
    const char* mixedCase;  // the same letters in other cases, for case-insensitive runs
};
extern const PlantedQuery kPlantedQueries[4];
enum { kRareQuery, kOncePerFileQuery, kFrequentQuery, kAbsentQuery };
