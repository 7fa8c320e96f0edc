// The content index file's reader on hostile bytes: it must never crash,
// read out of bounds or take memory past its cap, whatever it is given;
// and what it does take must behave as an index: writing it again and
// reading that back gives the same bytes, and compacting it changes no
// choice.
//
// Input layout:  [mode] [file bytes ...]
//   mode   bit 0 set: the checksum is made right before reading, so that
//          mutations get past it to the structure behind; bit 1 set: a cap
//          of 4 KiB instead of 1 MiB.
// The paths it must have been built for are taken from the file itself, so
// that a reading gets past that check too.

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/content_index.h"
#include "core/content_index_file.h"
#include "fuzz/fuzz_support.h"

namespace {

struct Reading {
    const std::string* bytes;
    size_t at;
};

size_t ReadBytes(void* context, void* into, size_t length) {
    Reading* reading = static_cast<Reading*>(context);
    const size_t take = std::min(length, reading->bytes->size() - reading->at);
    memcpy(into, reading->bytes->data() + reading->at, take);
    reading->at += take;
    return take;
}

bool Append(void* context, const void* bytes, size_t length) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(bytes), length);
    return true;
}

ContentIndex* Load(const std::string& bytes, const std::string& builtFor, size_t cap, IndexFileVerdict* verdict) {
    Reading reading = {&bytes, 0};
    const IndexFileSource source = {&reading, ReadBytes};
    return LoadContentIndex(source, bytes.size(), builtFor.data(), builtFor.size(), cap, verdict);
}

std::string Save(const ContentIndex* index, const std::string& builtFor) {
    std::string bytes;
    const IndexFileSink sink = {&bytes, Append};
    FUZZ_CHECK(SaveContentIndex(index, builtFor.data(), builtFor.size(), sink), "saving failed");
    return bytes;
}

std::vector<uint32_t> Choose(const ContentIndex* index, const std::string& literal) {
    LiteralQuery query;
    query.kind = LiteralQuery::kLiteral;
    query.literal = literal;
    std::vector<uint32_t> chosen;
    FUZZ_CHECK(ChooseFiles(index, query, query, chosen), "no memory to choose");
    return chosen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t cap = (mode & 2) ? 4096 : 1 << 20;
    std::string builtFor;
    if (bytes.size() >= kIndexFileHeaderSize + 4) {
        uint32_t length = 0;
        for (int i = 3; i >= 0; --i) length = length << 8 | static_cast<uint8_t>(bytes[kIndexFileHeaderSize + i]);
        if (length <= bytes.size() - kIndexFileHeaderSize - 4) builtFor = bytes.substr(kIndexFileHeaderSize + 4, length);
    }
    if ((mode & 1) && bytes.size() >= kIndexFileHeaderSize) {
        memset(&bytes[kIndexFileChecksumAt], 0, 8);
        IndexChecksum checksum;
        StartChecksum(checksum);
        AddToChecksum(checksum, bytes.data(), bytes.size());
        const uint64_t value = ChecksumValue(checksum);
        for (int i = 0; i < 8; ++i) bytes[kIndexFileChecksumAt + i] = static_cast<char>(value >> (8 * i));
    }

    IndexFileVerdict verdict;
    ContentIndex* index = Load(bytes, builtFor, cap, &verdict);
    if (index == nullptr) return 0;
    FUZZ_CHECK(index->memoryUsed <= cap, "a read index takes %zu bytes past its cap of %zu", index->memoryUsed, cap);

    const std::string saved = Save(index, builtFor);
    ContentIndex* again = Load(saved, builtFor, SIZE_MAX, &verdict);
    FUZZ_CHECK(again != nullptr, "what was written again did not read back: verdict %d", verdict);
    FUZZ_CHECK(Save(again, builtFor) == saved, "writing a read index twice gave two files");

    // Literals shorter than a sequence, and the first sequences it lists.
    std::vector<std::string> literals = {"", "a", "ab"};
    for (size_t i = 0; i < index->listCount && i < 16; ++i) {
        const Trigram key = index->lists[i].key;
        literals.push_back({static_cast<char>(key >> 16), static_cast<char>(key >> 8), static_cast<char>(key)});
    }
    std::vector<std::vector<uint32_t>> before;
    for (const std::string& literal : literals) before.push_back(Choose(index, literal));
    CompactContentIndex(again);
    for (size_t i = 0; i < literals.size(); ++i)
        FUZZ_CHECK(Choose(again, literals[i]) == before[i], "compacting changed the files chosen for %s",
                   Printable(literals[i]).c_str());
    DeleteContentIndex(again);
    DeleteContentIndex(index);
    return 0;
}
