#include "core/content_index_file.h"

#include <stdlib.h>
#include <string.h>

#include <new>
#include <vector>

#include "core/index_format.h"

namespace {

const char kMagic[8] = {'V', 'a', 'n', 'I', 'd', 'x', '\r', '\n'};
enum { kFileRecordSize = 18, kBufferSize = 1 << 16, kReadBufferSize = 1 << 20 };

const uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
const uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
const uint64_t kPrime3 = 0x165667B19E3779F9ull;

uint64_t Rotate(uint64_t value, int bits) { return value << bits | value >> (64 - bits); }

uint64_t Word(const uint8_t* at) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

void MixStripe(IndexChecksum& checksum, const uint8_t* stripe) {
    for (int lane = 0; lane < 4; ++lane)
        checksum.state[lane] = Rotate(checksum.state[lane] + Word(stripe + 8 * lane) * kPrime2, 31) * kPrime1;
}

void PutLittle(uint8_t* at, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetLittle(const uint8_t* at, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

// --- Writing ---------------------------------------------------------------

// Gathers small fields into one block per write.
struct Output {
    const IndexFileSink* sink;  // none while only the checksum is taken
    IndexChecksum checksum;
    uint8_t buffer[kBufferSize];
    size_t used;
    bool ok;

    void Flush() {
        if (used > 0 && ok) {
            AddToChecksum(checksum, buffer, used);
            if (sink != nullptr) ok = sink->write(sink->context, buffer, used);
        }
        used = 0;
    }
    void Bytes(const void* bytes, size_t length) {
        if (used + length > sizeof buffer) Flush();
        if (length >= sizeof buffer) {
            if (!ok) return;
            AddToChecksum(checksum, bytes, length);
            if (sink != nullptr) ok = sink->write(sink->context, bytes, length);
            return;
        }
        memcpy(buffer + used, bytes, length);
        used += length;
    }
    void Number(uint64_t value, int bytes) {
        uint8_t little[8];
        PutLittle(little, value, bytes);
        Bytes(little, static_cast<size_t>(bytes));
    }
};

unsigned long long FileLength(const ContentIndex* index, size_t builtForLength) {
    unsigned long long length = kIndexFileHeaderSize + 4 + builtForLength + 4 + index->namesLength + 4 +
                                static_cast<unsigned long long>(index->fileCount) * kFileRecordSize + 4 +
                                static_cast<unsigned long long>(index->localCount) * 4 + 4;
    for (size_t i = 0; i < index->listCount; ++i) length += 8 + index->lists[i].size;
    return length;
}

void Emit(const ContentIndex* index, const char* builtFor, size_t builtForLength, uint64_t checksum, Output& out) {
    out.Bytes(kMagic, sizeof kMagic);
    out.Number(kIndexFileVersion, 4);
    out.Number(0, 4);
    out.Number(FileLength(index, builtForLength), 8);
    out.Number(checksum, 8);
    out.Number(builtForLength, 4);
    out.Bytes(builtFor, builtForLength);
    out.Number(index->namesLength, 4);
    out.Bytes(index->names, index->namesLength);
    out.Number(index->fileCount, 4);
    for (size_t i = 0; i < index->fileCount; ++i) {
        const IndexedFile& file = index->files[i];
        out.Number(file.stamp.size, 8);
        out.Number(file.stamp.writeTime, 8);
        out.Number(file.state, 1);
        out.Number(file.state == kFileHeld && file.utf16, 1);
    }
    out.Number(index->localCount, 4);
    for (size_t i = 0; i < index->localCount; ++i) out.Number(index->owner[i], 4);
    out.Number(index->listCount, 4);
    for (size_t i = 0; i < index->listCount; ++i) {
        const PostingList& list = index->lists[i];
        out.Number(list.key, 4);
        out.Number(list.size, 4);
        for (const PostingBlock* block = list.first; block != nullptr; block = block->next)
            out.Bytes(block + 1, BlockUsed(list, block));
    }
    out.Flush();
}

// --- Reading ---------------------------------------------------------------

struct Input {
    const IndexFileSource* source;
    IndexChecksum checksum;
    unsigned long long remaining;  // of the length the header gave
    uint8_t buffer[kReadBufferSize];
    size_t at, have;
    bool cut;  // the source ended early

    // The next `length` bytes where they lie in the buffer, or copied to
    // `spare` when they run past its end: most lists are read in place.
    const uint8_t* Span(size_t length, std::vector<uint8_t>& spare) {
        if (length > remaining) return nullptr;
        if (have - at >= length) {
            const uint8_t* span = buffer + at;
            at += length;
            remaining -= length;
            return span;
        }
        if (length > spare.size()) spare.resize(length);
        return Bytes(spare.data(), length) ? spare.data() : nullptr;
    }

    bool Bytes(void* into, size_t length) {
        uint8_t* to = static_cast<uint8_t*>(into);
        if (length > remaining) return false;
        while (length > 0) {
            if (at == have) {
                const size_t want = remaining < sizeof buffer ? static_cast<size_t>(remaining) : sizeof buffer;
                have = source->read(source->context, buffer, want);
                at = 0;
                AddToChecksum(checksum, buffer, have);
                if (have < want) cut = true;
                if (have == 0) return false;
            }
            const size_t take = length < have - at ? length : have - at;
            memcpy(to, buffer + at, take);
            at += take;
            to += take;
            length -= take;
            remaining -= take;
        }
        return true;
    }
    bool Number(int bytes, uint64_t* value) {
        uint8_t little[8];
        if (!Bytes(little, static_cast<size_t>(bytes))) return false;
        *value = GetLittle(little, bytes);
        return true;
    }
    // A count of records of recordSize bytes each that the rest of the file can hold.
    bool Count(size_t recordSize, size_t* count) {
        uint64_t value;
        if (!Number(4, &value) || value * recordSize > remaining) return false;
        *count = static_cast<size_t>(value);
        return true;
    }
};

// Whole entries, ended by the empty one at the very end.
bool WellEnded(const char* names, size_t length) {
    return length >= 1 && names[length - 1] == '\0' && (length == 1 || names[length - 2] == '\0');
}

size_t CountFiles(const char* names) {
    IndexCursor cursor = StartIndexWalk(names);
    const char* name;
    size_t count = 0;
    while (NextIndexedFile(cursor, &name)) ++count;
    return count;
}

// Takes what `size` more bytes cost, within the cap.
bool Charge(ContentIndex* index, unsigned long long size) {
    if (size > index->memoryCap || index->memoryUsed + size > index->memoryCap) return false;
    index->memoryUsed += static_cast<size_t>(size);
    return true;
}

IndexFileVerdict ReadBody(Input& in, ContentIndex* index, const char* builtFor, size_t builtForLength) {
    size_t length;
    if (!in.Count(1, &length)) return kIndexFileDamaged;
    if (length != builtForLength) return kIndexFileOtherPaths;
    char* built = static_cast<char*>(malloc(length + 1));
    if (built == nullptr) return kIndexFileTooLarge;
    const bool read = in.Bytes(built, length);
    const bool same = read && memcmp(built, builtFor, length) == 0;
    free(built);
    if (!read) return kIndexFileDamaged;
    if (!same) return kIndexFileOtherPaths;

    if (!in.Count(1, &index->namesLength) || index->namesLength == 0) return kIndexFileDamaged;
    if (!Charge(index, index->namesLength)) return kIndexFileTooLarge;
    index->names = static_cast<char*>(malloc(index->namesLength));
    if (index->names == nullptr) return kIndexFileTooLarge;
    if (!in.Bytes(index->names, index->namesLength) || !WellEnded(index->names, index->namesLength))
        return kIndexFileDamaged;

    size_t files;
    if (!in.Count(kFileRecordSize, &files) || files != CountFiles(index->names)) return kIndexFileDamaged;
    if (!Charge(index, static_cast<unsigned long long>(files) * sizeof(IndexedFile))) return kIndexFileTooLarge;
    index->files = static_cast<IndexedFile*>(calloc(files > 0 ? files : 1, sizeof(IndexedFile)));
    if (index->files == nullptr) return kIndexFileTooLarge;
    index->fileCount = files;
    for (size_t i = 0; i < files; ++i) {
        uint8_t record[kFileRecordSize];
        if (!in.Bytes(record, sizeof record) || record[16] > kFileReadAlways || record[17] > 1) return kIndexFileDamaged;
        IndexedFile& file = index->files[i];
        file.stamp.size = GetLittle(record, 8);
        file.stamp.writeTime = GetLittle(record + 8, 8);
        file.state = record[16];
        file.utf16 = record[17] != 0;
        file.local = kDroppedLocal;
    }

    size_t locals;
    if (!in.Count(4, &locals) || locals >= kDroppedLocal) return kIndexFileDamaged;
    if (!Charge(index, static_cast<unsigned long long>(locals) * sizeof(uint32_t))) return kIndexFileTooLarge;
    index->owner = static_cast<uint32_t*>(malloc((locals > 0 ? locals : 1) * sizeof(uint32_t)));
    if (index->owner == nullptr) return kIndexFileTooLarge;
    index->localCapacity = locals;
    // Each held file has exactly one local number; a dropped one names none.
    for (size_t local = 0; local < locals; ++local) {
        uint64_t file;
        if (!in.Number(4, &file)) return kIndexFileDamaged;
        index->owner[local] = static_cast<uint32_t>(file);
        index->localCount = local + 1;
        if (file == kDroppedLocal) {
            ++index->droppedLocals;
            continue;
        }
        if (file >= files || index->files[file].state != kFileHeld || index->files[file].local != kDroppedLocal)
            return kIndexFileDamaged;
        index->files[file].local = static_cast<uint32_t>(local);
    }
    for (size_t i = 0; i < files; ++i)
        if (index->files[i].state == kFileHeld && index->files[i].local == kDroppedLocal) return kIndexFileDamaged;

    size_t lists;
    if (!in.Count(8, &lists) || lists > kTrigramSpace) return kIndexFileDamaged;
    if (!ReserveLists(index, lists)) return kIndexFileTooLarge;
    std::vector<uint8_t> spare;
    for (size_t i = 0; i < lists; ++i) {
        uint64_t key, size;
        if (!in.Number(4, &key) || !in.Number(4, &size) || size > in.remaining) return kIndexFileDamaged;
        if (size > index->memoryCap - index->memoryUsed) return kIndexFileTooLarge;
        const uint8_t* bytes;
        try {
            bytes = in.Span(static_cast<size_t>(size), spare);
        } catch (const std::bad_alloc&) {
            return kIndexFileTooLarge;
        }
        if (bytes == nullptr) return kIndexFileDamaged;
        if (!AdoptPostingList(index, static_cast<Trigram>(key), bytes, static_cast<uint32_t>(size)))
            return index->memoryUsed + size + kIndexFileHeaderSize > index->memoryCap ? kIndexFileTooLarge
                                                                                       : kIndexFileDamaged;
    }
    return in.remaining == 0 ? kIndexFileRead : kIndexFileDamaged;
}

}  // namespace

void StartChecksum(IndexChecksum& checksum) {
    checksum.state[0] = kPrime1 + kPrime2;
    checksum.state[1] = kPrime2;
    checksum.state[2] = 0;
    checksum.state[3] = 0 - kPrime1;
    checksum.tailLength = 0;
    checksum.length = 0;
}

void AddToChecksum(IndexChecksum& checksum, const void* bytes, size_t length) {
    const uint8_t* at = static_cast<const uint8_t*>(bytes);
    checksum.length += length;
    if (checksum.tailLength > 0) {
        const size_t take = length < 32 - checksum.tailLength ? length : 32 - checksum.tailLength;
        memcpy(checksum.tail + checksum.tailLength, at, take);
        checksum.tailLength += take;
        at += take;
        length -= take;
        if (checksum.tailLength < 32) return;
        MixStripe(checksum, checksum.tail);
        checksum.tailLength = 0;
    }
    for (; length >= 32; at += 32, length -= 32) MixStripe(checksum, at);
    memcpy(checksum.tail, at, length);
    checksum.tailLength = length;
}

uint64_t ChecksumValue(const IndexChecksum& checksum) {
    uint64_t value = Rotate(checksum.state[0], 1) + Rotate(checksum.state[1], 7) + Rotate(checksum.state[2], 12) +
                     Rotate(checksum.state[3], 18);
    value ^= checksum.length * kPrime3;
    for (size_t i = 0; i < checksum.tailLength; ++i) value = Rotate(value ^ (checksum.tail[i] * kPrime3), 11) * kPrime1;
    value ^= value >> 33;
    value *= kPrime2;
    value ^= value >> 29;
    value *= kPrime3;
    return value ^ (value >> 32);
}

bool SaveContentIndex(const ContentIndex* index, const char* builtFor, size_t builtForLength,
                      const IndexFileSink& sink) {
    if (builtForLength > UINT32_MAX || index->namesLength > UINT32_MAX) return false;
    // Once to learn the checksum, which the header carries, then for real.
    Output* out = static_cast<Output*>(malloc(sizeof(Output)));
    if (out == nullptr) return false;
    out->sink = nullptr;
    out->used = 0;
    out->ok = true;
    StartChecksum(out->checksum);
    Emit(index, builtFor, builtForLength, 0, *out);
    const uint64_t checksum = ChecksumValue(out->checksum);
    out->sink = &sink;
    out->used = 0;
    StartChecksum(out->checksum);
    Emit(index, builtFor, builtForLength, checksum, *out);
    const bool ok = out->ok;
    free(out);
    return ok;
}

ContentIndex* LoadContentIndex(const IndexFileSource& source, unsigned long long fileLength, const char* builtFor,
                               size_t builtForLength, size_t memoryCap, IndexFileVerdict* verdict) {
    uint8_t header[kIndexFileHeaderSize];
    if (fileLength < sizeof header || source.read(source.context, header, sizeof header) != sizeof header ||
        memcmp(header, kMagic, sizeof kMagic) != 0) {
        *verdict = kIndexFileForeign;
        return nullptr;
    }
    if (GetLittle(header + 8, 4) != kIndexFileVersion || GetLittle(header + 12, 4) != 0) {
        *verdict = kIndexFileOtherVersion;
        return nullptr;
    }
    const unsigned long long length = GetLittle(header + kIndexFileLengthAt, 8);
    if (length != fileLength) {
        *verdict = fileLength < length ? kIndexFileTruncated : kIndexFileDamaged;
        return nullptr;
    }
    const uint64_t checksum = GetLittle(header + kIndexFileChecksumAt, 8);
    PutLittle(header + kIndexFileChecksumAt, 0, 8);

    Input* in = static_cast<Input*>(malloc(sizeof(Input)));
    ContentIndex* index = NewContentIndex(memoryCap);
    if (in == nullptr || index == nullptr) {
        free(in);
        DeleteContentIndex(index);
        *verdict = kIndexFileTooLarge;
        return nullptr;
    }
    in->source = &source;
    StartChecksum(in->checksum);
    AddToChecksum(in->checksum, header, sizeof header);
    in->remaining = length - sizeof header;
    in->at = in->have = 0;
    in->cut = false;
    *verdict = ReadBody(*in, index, builtFor, builtForLength);
    if (*verdict == kIndexFileDamaged && in->cut) *verdict = kIndexFileTruncated;
    if (*verdict == kIndexFileRead && ChecksumValue(in->checksum) != checksum) *verdict = kIndexFileDamaged;
    free(in);
    if (*verdict != kIndexFileRead) {
        DeleteContentIndex(index);
        return nullptr;
    }
    return index;
}
