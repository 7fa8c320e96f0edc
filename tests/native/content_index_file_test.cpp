#include "core/content_index_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/index_format.h"

namespace {

const char kBuiltFor[] = "C:\\kit\\*.inc\0D:\\src\\**\\*.h\0";

char* GrowWithRealloc(char* block, size_t newSize) { return static_cast<char*>(realloc(block, newSize)); }

bool Append(void* context, const void* bytes, size_t length) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(bytes), length);
    return true;
}

bool Refuse(void*, const void*, size_t) { return false; }

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

ContentIndex* Load(const std::string& bytes, IndexFileVerdict* verdict, size_t cap = SIZE_MAX,
                   const char* builtFor = kBuiltFor, size_t builtForLength = sizeof kBuiltFor) {
    Reading reading = {&bytes, 0};
    const IndexFileSource source = {&reading, ReadBytes};
    return LoadContentIndex(source, bytes.size(), builtFor, builtForLength, cap, verdict);
}

std::string Save(const ContentIndex* index) {
    std::string bytes;
    const IndexFileSink sink = {&bytes, Append};
    EXPECT_TRUE(SaveContentIndex(index, kBuiltFor, sizeof kBuiltFor, sink));
    return bytes;
}

// Three files: two held, with four sequences between them, and one that
// could not be read; the first was held twice, so one local number is dropped.
struct Sample {
    ContentIndex* index = NewContentIndex(SIZE_MAX);
    char* names;
    std::string bytes;

    Sample() {
        IndexWriter writer = {nullptr, 0, 0, GrowWithRealloc, false, false};
        BeginIndex(writer);
        AddGroupEntry(writer, "C:\\kit\\", 7, "a.inc");
        AddNameEntry(writer, "b.inc");
        AddNameEntry(writer, "c.inc");
        EndIndex(writer);
        names = writer.block;
        const FileStamp stamps[] = {{10, 100}, {20, 200}, {30, 300}};
        RelistFiles(index, names, stamps, 3);
        const Trigram abc = FoldedTrigram("abc"), bcd = FoldedTrigram("bcd"), xyz = FoldedTrigram("xyz");
        const Trigram first[] = {abc, bcd}, second[] = {xyz, abc, FoldedTrigram("\xFF\xFEx")};
        HoldFile(index, 0, stamps[0], false, first, 2);
        HoldFile(index, 1, stamps[1], true, second, 3);
        HoldFile(index, 0, stamps[0], false, first, 2);
        MarkFileUnreadable(index, 2);
        bytes = Save(index);
    }
    ~Sample() {
        DeleteContentIndex(index);
        free(names);
    }

    // Where the parts begin, by the layout in the header's comment.
    size_t NamesAt() const { return kIndexFileHeaderSize + 4 + sizeof kBuiltFor; }
    size_t FilesAt() const { return NamesAt() + 4 + index->namesLength; }
    size_t OwnersAt() const { return FilesAt() + 4 + 3 * 18; }
    size_t ListsAt() const { return OwnersAt() + 4 + 3 * 4; }
};

void Put32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// As another program would write it: a right checksum over wrong contents.
std::string WithChecksum(std::string bytes) {
    memset(&bytes[kIndexFileChecksumAt], 0, 8);
    IndexChecksum checksum;
    StartChecksum(checksum);
    AddToChecksum(checksum, bytes.data(), bytes.size());
    const uint64_t value = ChecksumValue(checksum);
    for (int i = 0; i < 8; ++i) bytes[kIndexFileChecksumAt + i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string Flipped(std::string bytes, size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
    return bytes;
}

TEST(ContentIndexFile, ReadsBackWhatItWrote) {
    Sample sample;
    IndexFileVerdict verdict;
    ContentIndex* loaded = Load(sample.bytes, &verdict);
    ASSERT_NE(loaded, nullptr) << verdict;
    EXPECT_EQ(Save(loaded), sample.bytes);
    EXPECT_EQ(loaded->files[1].stamp.writeTime, 200u);
    EXPECT_EQ(loaded->files[2].state, kFileUnreadable);
    EXPECT_TRUE(loaded->files[1].utf16);
    EXPECT_EQ(loaded->droppedLocals, 1u);
    LiteralQuery query;
    query.kind = LiteralQuery::kLiteral;
    query.literal = "abcd";
    std::vector<uint32_t> chosen;
    ASSERT_TRUE(ChooseFiles(loaded, query, query, chosen));
    EXPECT_EQ(chosen, (std::vector<uint32_t>{0, 2}));
    DeleteContentIndex(loaded);

    const IndexFileSink refusing = {nullptr, Refuse};
    EXPECT_FALSE(SaveContentIndex(sample.index, kBuiltFor, sizeof kBuiltFor, refusing));
}

// A list read back whole may pass the size of the chunks blocks are carved from.
TEST(ContentIndexFile, AListLongerThanAChunkReadsBack) {
    IndexWriter writer = {nullptr, 0, 0, GrowWithRealloc, false, false};
    BeginIndex(writer);
    AddGroupEntry(writer, "C:\\kit\\", 7, "f");
    std::vector<FileStamp> stamps(1, FileStamp{1, 1});
    for (int i = 1; i < 40000; ++i, stamps.push_back(FileStamp{1, 1})) AddNameEntry(writer, "f");
    EndIndex(writer);
    ContentIndex* index = NewContentIndex(SIZE_MAX);
    ASSERT_TRUE(RelistFiles(index, writer.block, stamps.data(), stamps.size()));
    const Trigram abc = FoldedTrigram("abc");
    for (uint32_t file = 0; file < stamps.size(); ++file) HoldFile(index, file, stamps[file], false, &abc, 1);
    IndexFileVerdict verdict;
    ContentIndex* loaded = Load(Save(index), &verdict);
    ASSERT_NE(loaded, nullptr) << verdict;
    LiteralQuery query;
    query.kind = LiteralQuery::kLiteral;
    query.literal = "abc";
    std::vector<uint32_t> chosen;
    ASSERT_TRUE(ChooseFiles(loaded, query, query, chosen));
    EXPECT_EQ(chosen.size(), stamps.size());
    DeleteContentIndex(loaded);
    DeleteContentIndex(index);
    free(writer.block);
}

TEST(ContentIndexFile, WhatIsNotTaken) {
    Sample sample;
    const std::string& good = sample.bytes;
    std::string older = good, newer = good, countPast = good, badState = good, pastEnd = good, twice = good;
    Put32(older, 8, 0);
    Put32(newer, 8, kIndexFileVersion + 1);
    Put32(countPast, sample.FilesAt(), 0x10000000);
    badState[sample.FilesAt() + 4 + 16] = 9;
    // The lists come in the order their sequences were first held: abc
    // (local numbers 0, 1 and 2, one byte each), bcd, ...
    const size_t firstList = sample.ListsAt() + 4;
    pastEnd[firstList + 8] = 7;  // local number 7 of 3
    Put32(twice, firstList + 8 + 3, FoldedTrigram("abc"));
    std::string unnamed = good;
    Put32(unnamed, sample.OwnersAt() + 4 + 4, 0xFFFFFFFF);  // b.inc held, yet no number names it
    std::string unended = good;
    unended[sample.FilesAt() - 1] = 'x';
    const std::string settings = "[TRESKO]\r\nPath1=\\korvan\\include\\*.inc\r\nPath2=\r\nPath3=\r\nEditor=\r\n";
    const struct {
        const char* row;
        std::string bytes;
        IndexFileVerdict want;
        size_t cap = SIZE_MAX;
    } cases[] = {
        {"empty", "", kIndexFileForeign},
        {"shorter than a header", good.substr(0, kIndexFileHeaderSize - 1), kIndexFileForeign},
        {"a settings file", settings, kIndexFileForeign},
        {"another magic", Flipped(good, 3), kIndexFileForeign},
        {"an older version", older, kIndexFileOtherVersion},
        {"a newer version", newer, kIndexFileOtherVersion},
        {"cut after the header", good.substr(0, kIndexFileHeaderSize), kIndexFileTruncated},
        {"cut in the names", good.substr(0, sample.FilesAt() - 3), kIndexFileTruncated},
        {"cut before its last byte", good.substr(0, good.size() - 1), kIndexFileTruncated},
        {"a byte more", good + '\0', kIndexFileDamaged},
        {"a bit flipped in a list", Flipped(good, good.size() - 1), kIndexFileDamaged},
        {"a bit flipped in a stamp", Flipped(good, sample.FilesAt() + 4 + 9), kIndexFileDamaged},
        {"a bit flipped in the checksum", Flipped(good, kIndexFileChecksumAt + 7), kIndexFileDamaged},
        {"a bit flipped in the paths", Flipped(good, kIndexFileHeaderSize + 6), kIndexFileOtherPaths},
        {"too large for the cap", good, kIndexFileTooLarge, 600},
        // Checksums made right: only the structure can tell.
        {"a count past the end", WithChecksum(countPast), kIndexFileDamaged},
        {"a state no file has", WithChecksum(badState), kIndexFileDamaged},
        {"a list naming a number past the end", WithChecksum(pastEnd), kIndexFileDamaged},
        {"one sequence listed twice", WithChecksum(twice), kIndexFileDamaged},
        {"a held file without a number", WithChecksum(unnamed), kIndexFileDamaged},
        {"names not ended", WithChecksum(unended), kIndexFileDamaged},
        {"the same, checksum made right", WithChecksum(good), kIndexFileRead},
    };
    for (const auto& c : cases) {
        IndexFileVerdict verdict = kIndexFileRead;
        ContentIndex* loaded = Load(c.bytes, &verdict, c.cap);
        EXPECT_EQ(verdict, c.want) << c.row;
        EXPECT_EQ(loaded != nullptr, c.want == kIndexFileRead) << c.row;
        DeleteContentIndex(loaded);
    }

    IndexFileVerdict verdict;
    const char otherPaths[] = "C:\\kit\\*.inc\0";
    EXPECT_EQ(Load(good, &verdict, SIZE_MAX, otherPaths, sizeof otherPaths), nullptr);
    EXPECT_EQ(verdict, kIndexFileOtherPaths);
}

}  // namespace
