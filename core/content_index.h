#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "core/file_stamp.h"
#include "core/literal_query.h"
#include "core/trigram_set.h"

// Which files of the file index may hold a query: for each file, in index
// order, what the listing said of it and the three-byte sequences it held
// when it was read, so that a search reads only the files that hold every
// sequence of some spelling, and every file the index cannot vouch for.
//
// The sequences sit in one posting list per sequence: the files that hold
// it, in the order they were read, as gaps between local numbers (LEB128),
// one or two bytes each. Each file read gets the next local number, so the
// lists grow at their ends in any order of reading, and a file read again
// after a change gets a new number, its old one being dropped. Compacting
// frees what dropped numbers hold.
//
// A list is a chain of blocks carved from large chunks that the index owns:
// growing thousands of lists by reallocation would cost a page fault for
// most postings. No number straddles two blocks.
//
// Not safe for concurrent use: the search engine serializes its callers.

enum IndexedFileState : uint8_t {
    kFileUnread,      // not read since it was listed or changed: read in full
    kFileHeld,        // its sequences are held: read only when it may match
    kFileUnreadable,  // could not be read: read (and its tones sounded) by every search
    kFileReadAlways,  // not held (too many sequences, no room, or not watched): read in full
};

struct IndexedFile {
    FileStamp stamp;
    uint32_t local;  // when held
    uint8_t state;   // IndexedFileState
    bool utf16;      // when held: it starts with the UTF-16 LE mark
};

struct PostingBlock {
    PostingBlock* next;
    uint32_t used;      // of a list's last block, only once it is no longer the last
    uint32_t capacity;  // the bytes follow the block
};

struct PostingList {
    Trigram key;
    uint32_t next;  // one past the last local number in it
    uint32_t size;  // bytes in all its blocks: how rare the sequence is
    // The last block's used bytes and capacity, kept here: adding a file then
    // touches only the bytes it writes of the block.
    uint32_t lastUsed;
    uint32_t lastCapacity;
    PostingBlock* first;
    PostingBlock* last;
};

inline uint32_t BlockUsed(const PostingList& list, const PostingBlock* block) {
    return block == list.last ? list.lastUsed : block->used;
}

enum : uint32_t { kDroppedLocal = 0xFFFFFFFFu };

struct ContentIndex {
    size_t memoryCap;
    size_t memoryUsed;  // what the blocks below take, as allocated

    char* names;  // the file index the files came from, as index_format.h writes it
    size_t namesLength;
    IndexedFile* files;
    size_t fileCount;

    uint32_t* owner;  // local number -> file, or kDroppedLocal
    size_t localCount;
    size_t localCapacity;
    size_t droppedLocals;

    PostingList* lists;
    size_t listCount;
    size_t listCapacity;
    uint32_t* slots;  // open addressing by sequence: list number + 1, or 0
    size_t slotCount;

    char** chunks;  // where the blocks are carved from
    size_t chunkBytes;  // in all
    size_t chunkCount;
    size_t chunkCapacity;
    char* chunkFree;
    size_t chunkLeft;

    // HoldFile's note of the lists it grew, to undo a file that does not fit.
    struct Undo {
        uint32_t list, used, next, size;
        PostingBlock* last;
    }* undo;
    size_t undoCapacity;
};

// Null when there is no memory for one. memoryCap bounds everything the
// index allocates; a file that would pass it is not held.
ContentIndex* NewContentIndex(size_t memoryCap);
void DeleteContentIndex(ContentIndex* index);

// Takes the files of a new file index, in its order: fileIndex is the
// block, count its files and stamps one stamp per file. A file held before
// under the same full path with the same stamp keeps its sequences; every
// other file is unread. False, with no file held, when it does not fit.
bool RelistFiles(ContentIndex* index, const char* fileIndex, const FileStamp* stamps, size_t count);

// The sequences of a file just read, and its stamp as it was when reading
// began; null trigrams (too many of them) or no room leave it
// kFileReadAlways and return false.
bool HoldFile(ContentIndex* index, uint32_t file, const FileStamp& stamp, bool utf16, const Trigram* trigrams,
              size_t count);
void MarkFileUnreadable(ContentIndex* index, uint32_t file);
// Changed since it was read: unread until it is held again.
void MarkFileChanged(ContentIndex* index, uint32_t file);
// Read in full by every search until the next listing.
void MarkFileReadAlways(ContentIndex* index, uint32_t file);

// Frees what dropped local numbers hold in the lists. Worth it once they
// are a fair share of all.
void CompactContentIndex(ContentIndex* index);
bool WorthCompacting(const ContentIndex* index);

// The files a search must read, ascending: every file not held, and each
// held one that holds what `plain` asks (or `utf16`, for a file that starts
// with the mark). A literal shorter than three bytes constrains nothing.
// False when there was no memory to choose: then read them all.
bool ChooseFiles(const ContentIndex* index, const LiteralQuery& plain, const LiteralQuery& utf16,
                 std::vector<uint32_t>& files);

// The bytes of the file index block, its end marker included.
size_t FileIndexLength(const char* fileIndex);

// For reading an index file back: takes a copy of a list whose gaps name
// local numbers below index->localCount. False for a sequence already
// listed, gaps that do not decode to such numbers, or no room.
bool AdoptPostingList(ContentIndex* index, Trigram key, const uint8_t* bytes, uint32_t size);
// Room for this many lists in all, made at once.
bool ReserveLists(ContentIndex* index, size_t count);
