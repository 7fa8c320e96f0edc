#pragma once
#include <stddef.h>
#include <stdint.h>

#include "core/content_index.h"

// The content index as a file, so that a start need not read every file
// again. Little-endian throughout:
//
//   header   magic "VanIdx\r\n" (a file cut at a line end, or taken for
//            text, fails at once), format version u32, 0 u32, the whole
//            file's length u64, its checksum u64 (with these 8 bytes as 0)
//   built    u32 length, the search paths it was built for, as resolved
//   names    u32 length, the file index block
//   files    u32 count, then each: size u64, last-write time u64, state u8,
//            starts with the UTF-16 mark u8
//   owners   u32 count, then each local number's file u32 (or 0xFFFFFFFF)
//   lists    u32 count, then each: sequence u32, length u32, the gaps
//
// What reads it trusts nothing in it: every count is checked against the
// bytes that remain, every list decoded, and the checksum compared.

enum { kIndexFileVersion = 1 };

// Receives the file's bytes in order; false when they could not be written.
struct IndexFileSink {
    void* context;
    bool (*write)(void* context, const void* bytes, size_t length);
};

// Hands out the file's next bytes; fewer than asked at its end or on an error.
struct IndexFileSource {
    void* context;
    size_t (*read)(void* context, void* into, size_t length);
};

// builtFor[0, builtForLength): the resolved search paths, each ended by a
// zero byte. False when the sink refused a write.
bool SaveContentIndex(const ContentIndex* index, const char* builtFor, size_t builtForLength,
                      const IndexFileSink& sink);

enum IndexFileVerdict {
    kIndexFileRead,
    kIndexFileForeign,       // not an index file: another magic, or too short for a header
    kIndexFileOtherVersion,  // an index file of another format version
    kIndexFileTruncated,     // shorter than its header says
    kIndexFileDamaged,       // longer than it says, a count or list out of bounds, or a wrong checksum
    kIndexFileOtherPaths,    // built for other search paths
    kIndexFileTooLarge,      // would not fit under the memory cap (or no memory)
};

// Reads an index file of fileLength bytes that must have been built for
// builtFor; null, with the verdict saying why, when it is not taken.
ContentIndex* LoadContentIndex(const IndexFileSource& source, unsigned long long fileLength, const char* builtFor,
                               size_t builtForLength, size_t memoryCap, IndexFileVerdict* verdict);

// The file's checksum: 64 bits over its bytes, fed in any pieces.
struct IndexChecksum {
    uint64_t state[4];
    uint8_t tail[32];
    size_t tailLength;
    unsigned long long length;
};
void StartChecksum(IndexChecksum& checksum);
void AddToChecksum(IndexChecksum& checksum, const void* bytes, size_t length);
uint64_t ChecksumValue(const IndexChecksum& checksum);

// Where the header keeps the length and the checksum.
enum { kIndexFileLengthAt = 16, kIndexFileChecksumAt = 24, kIndexFileHeaderSize = 32 };
