#include "core/trigram_set.h"

#include <stdlib.h>

namespace {

struct FoldTable {
    unsigned char to[256];
    FoldTable() {
        for (int c = 0; c < 256; ++c) to[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
};
const FoldTable kFold;

}  // namespace

struct TrigramCollector {
    uint64_t* seen;  // one bit per possible sequence, cleared again after each file
    Trigram* found;  // kMaxFileTrigrams, and one more written before it is counted
    size_t count;
    uint32_t window;  // the last bytes fed, folded
    unsigned long long fed;
    bool overflowed;
};

Trigram FoldedTrigram(const char* bytes) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
    return static_cast<Trigram>(kFold.to[b[0]]) << 16 | static_cast<Trigram>(kFold.to[b[1]]) << 8 | kFold.to[b[2]];
}

TrigramCollector* NewTrigramCollector() {
    TrigramCollector* collector = static_cast<TrigramCollector*>(calloc(1, sizeof(TrigramCollector)));
    if (collector == nullptr) return nullptr;
    collector->seen = static_cast<uint64_t*>(calloc(kTrigramSpace / 64, sizeof(uint64_t)));
    collector->found = static_cast<Trigram*>(malloc((kMaxFileTrigrams + 1) * sizeof(Trigram)));
    if (collector->seen == nullptr || collector->found == nullptr) {
        DeleteTrigramCollector(collector);
        return nullptr;
    }
    return collector;
}

void DeleteTrigramCollector(TrigramCollector* collector) {
    if (collector == nullptr) return;
    free(collector->seen);
    free(collector->found);
    free(collector);
}

void StartTrigrams(TrigramCollector* collector) {
    // Clearing only the bits that were set costs far less than 2 MiB per file.
    for (size_t i = 0; i < collector->count; ++i) collector->seen[collector->found[i] >> 6] = 0;
    collector->count = 0;
    collector->window = 0;
    collector->fed = 0;
    collector->overflowed = false;
}

void AddTrigramPiece(TrigramCollector* collector, const char* text, size_t length) {
    if (collector->overflowed) return;  // its set is dropped anyway
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    uint32_t window = collector->window;
    size_t i = 0;
    // The first two bytes of the file open no sequence yet.
    for (; i < length && collector->fed + i < 2; ++i) window = window << 8 | kFold.to[bytes[i]];
    uint64_t* seen = collector->seen;
    Trigram* found = collector->found;
    size_t count = collector->count;
    for (; i < length; ++i) {
        window = (window << 8 | kFold.to[bytes[i]]) & (kTrigramSpace - 1);
        uint64_t& word = seen[window >> 6];
        const uint64_t bit = uint64_t{1} << (window & 63);
        // Without a branch: most sequences of a text repeat, and the test
        // would be mispredicted about as often as not.
        found[count] = window;
        count += (word & bit) == 0;
        word |= bit;
        if (count == kMaxFileTrigrams + 1) {
            collector->overflowed = true;
            // Keep the bits in step with the list, so that the next start clears them all.
            seen[window >> 6] &= ~bit;
            --count;
            break;
        }
    }
    collector->count = count;
    collector->window = window;
    collector->fed += length;
}

const Trigram* FinishTrigrams(TrigramCollector* collector, size_t* count) {
    *count = collector->overflowed ? 0 : collector->count;
    return collector->overflowed ? nullptr : collector->found;
}
