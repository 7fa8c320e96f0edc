#include "core/content_index.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <string>
#include <unordered_map>

#include "core/index_format.h"

namespace {

// A literal's rarest sequences settle which files may hold it: more of
// them would cost decoding long lists and seldom rule out another file.
enum { kMaxLiteralTrigrams = 8 };

// Grows a block to hold at least `needed` elements, by half again at a time,
// while what the index takes stays within its cap.
bool Reserve(ContentIndex* index, void** block, size_t* capacity, size_t needed, size_t elementSize,
             size_t minimum = 16) {
    if (needed <= *capacity) return true;
    size_t grown = *capacity + *capacity / 2;
    if (grown < needed) grown = needed;
    if (grown < minimum) grown = minimum;
    if (grown > SIZE_MAX / elementSize) return false;
    const size_t extra = (grown - *capacity) * elementSize;
    if (index->memoryUsed + extra > index->memoryCap || index->memoryUsed + extra < index->memoryUsed) return false;
    void* moved = realloc(*block, grown * elementSize);
    if (moved == nullptr) return false;
    *block = moved;
    *capacity = grown;
    index->memoryUsed += extra;
    return true;
}

template <typename T>
bool ReserveArray(ContentIndex* index, T** block, size_t* capacity, size_t needed) {
    void* raw = *block;
    const bool ok = Reserve(index, &raw, capacity, needed, sizeof(T));
    *block = static_cast<T*>(raw);
    return ok;
}

// Chunks hold the blocks, each as large as all before it, from kFirstChunk
// to kChunkSize; a block past a quarter of that gets a chunk of its own.
// Blocks double from kFirstBlock to kLargestBlock bytes.
enum { kFirstChunk = 16 << 10, kChunkSize = 1 << 20, kFirstBlock = 32, kLargestBlock = 4096, kLongestNumber = 5 };

uint8_t* BlockBytes(PostingBlock* block) { return reinterpret_cast<uint8_t*>(block + 1); }
const uint8_t* BlockBytes(const PostingBlock* block) { return reinterpret_cast<const uint8_t*>(block + 1); }

char* NewChunk(ContentIndex* index, size_t size) {
    if (!ReserveArray(index, &index->chunks, &index->chunkCapacity, index->chunkCount + 1) ||
        index->memoryUsed + size > index->memoryCap || index->memoryUsed + size < size)
        return nullptr;
    char* chunk = static_cast<char*>(malloc(size));
    if (chunk == nullptr) return nullptr;
    index->chunks[index->chunkCount++] = chunk;
    index->chunkBytes += size;
    index->memoryUsed += size;
    return chunk;
}

// A block of `bytes` in all, its header included; null when there is no room.
PostingBlock* NewBlock(ContentIndex* index, size_t bytes) {
    bytes = (bytes + 7) & ~static_cast<size_t>(7);
    char* at;
    if (bytes > kChunkSize / 4) {
        at = NewChunk(index, bytes);
        if (at == nullptr) return nullptr;
    } else {
        if (bytes > index->chunkLeft) {
            // Near the cap, smaller chunks use up what is left.
            size_t size = index->chunkBytes < kFirstChunk  ? size_t{kFirstChunk}
                          : index->chunkBytes < kChunkSize ? index->chunkBytes
                                                           : size_t{kChunkSize};
            const size_t left = index->memoryCap - index->memoryUsed;
            if (size > left / 2) size = left / 2;
            if (size < bytes) size = bytes;
            char* chunk = NewChunk(index, size);
            if (chunk == nullptr) return nullptr;
            index->chunkFree = chunk;
            index->chunkLeft = size;
        }
        at = index->chunkFree;
        index->chunkFree += bytes;
        index->chunkLeft -= bytes;
    }
    PostingBlock* block = reinterpret_cast<PostingBlock*>(at);
    block->next = nullptr;
    block->used = 0;
    block->capacity = static_cast<uint32_t>(bytes - sizeof(PostingBlock));
    return block;
}

// Where the next gap of the list goes, with room for the longest one; null
// when there is no room.
PostingBlock* TailWithRoom(ContentIndex* index, PostingList& list) {
    PostingBlock* last = list.last;
    if (last != nullptr && list.lastCapacity - list.lastUsed >= kLongestNumber) return last;
    size_t bytes = last == nullptr ? size_t{kFirstBlock} : 2 * (list.lastCapacity + sizeof(PostingBlock));
    if (bytes > kLargestBlock) bytes = kLargestBlock;
    PostingBlock* block = NewBlock(index, bytes);
    if (block == nullptr) return nullptr;
    if (last != nullptr) {
        last->used = list.lastUsed;
        last->next = block;
    } else {
        list.first = block;
    }
    list.last = block;
    list.lastUsed = 0;
    list.lastCapacity = block->capacity;
    return block;
}

uint32_t SlotOf(Trigram key, size_t slotCount) {
    const uint32_t mixed = key * 0x9E3779B1u;
    return (mixed ^ mixed >> 15) & static_cast<uint32_t>(slotCount - 1);
}

// The list of a sequence, or -1.
long FindList(const ContentIndex* index, Trigram key) {
    if (index->slotCount == 0) return -1;
    for (uint32_t slot = SlotOf(key, index->slotCount);; slot = (slot + 1) & (index->slotCount - 1)) {
        const uint32_t list = index->slots[slot];
        if (list == 0) return -1;
        if (index->lists[list - 1].key == key) return static_cast<long>(list - 1);
    }
}

// Doubles the table once it is half full; probing stays short.
bool GrowSlots(ContentIndex* index, size_t lists) {
    if (lists * 2 <= index->slotCount) return true;
    size_t count = index->slotCount == 0 ? 1024 : index->slotCount * 2;
    while (count < lists * 2) count *= 2;
    const size_t bytes = count * sizeof(uint32_t);
    const size_t oldBytes = index->slotCount * sizeof(uint32_t);
    if (index->memoryUsed + bytes > index->memoryCap) return false;
    uint32_t* slots = static_cast<uint32_t*>(calloc(count, sizeof(uint32_t)));
    if (slots == nullptr) return false;
    for (size_t list = 0; list < index->listCount; ++list) {
        uint32_t slot = SlotOf(index->lists[list].key, count);
        while (slots[slot] != 0) slot = (slot + 1) & (count - 1);
        slots[slot] = static_cast<uint32_t>(list + 1);
    }
    free(index->slots);
    index->slots = slots;
    index->slotCount = count;
    index->memoryUsed += bytes - oldBytes;
    return true;
}

long FindOrAddList(ContentIndex* index, Trigram key) {
    const long found = FindList(index, key);
    if (found >= 0) return found;
    if (!GrowSlots(index, index->listCount + 1) || !ReserveArray(index, &index->lists, &index->listCapacity, index->listCount + 1))
        return -1;
    index->lists[index->listCount] = PostingList{key, 0, 0, 0, 0, nullptr, nullptr};
    uint32_t slot = SlotOf(key, index->slotCount);
    while (index->slots[slot] != 0) slot = (slot + 1) & (index->slotCount - 1);
    index->slots[slot] = static_cast<uint32_t>(++index->listCount);
    return static_cast<long>(index->listCount - 1);
}

// A file's sequences reach lists all over the index, each a likely cache
// miss: the slot, the list and its last block of a sequence a few places
// ahead are fetched while this one is added.
enum { kPrefetchSlot = 16, kPrefetchList = 8, kPrefetchTail = 4 };

void Prefetch(const ContentIndex* index, const Trigram* trigrams, size_t i) {
    if (index->slotCount == 0) return;
    __builtin_prefetch(&index->slots[SlotOf(trigrams[i + kPrefetchSlot] & (kTrigramSpace - 1), index->slotCount)]);
    const uint32_t list = index->slots[SlotOf(trigrams[i + kPrefetchList] & (kTrigramSpace - 1), index->slotCount)];
    if (list != 0) __builtin_prefetch(&index->lists[list - 1]);
    const uint32_t tail = index->slots[SlotOf(trigrams[i + kPrefetchTail] & (kTrigramSpace - 1), index->slotCount)];
    if (tail == 0) return;
    const PostingList& growing = index->lists[tail - 1];
    if (growing.last != nullptr) __builtin_prefetch(BlockBytes(growing.last) + growing.lastUsed, 1);
}

// Appends a gap to the list's last block, which has room for it.
void PutNumber(PostingList& list, uint32_t value) {
    PostingBlock* block = list.last;
    uint8_t* at = BlockBytes(block) + list.lastUsed;
    uint8_t* const start = at;
    while (value >= 0x80) {
        *at++ = static_cast<uint8_t>(value | 0x80);
        value >>= 7;
    }
    *at++ = static_cast<uint8_t>(value);
    list.lastUsed += static_cast<uint32_t>(at - start);
    list.size += static_cast<uint32_t>(at - start);
}

// One gap of a list; false at its end or at a number cut short.
bool TakeNumber(const uint8_t*& at, const uint8_t* end, uint32_t* value) {
    uint32_t result = 0;
    for (int shift = 0; shift < 35 && at < end; shift += 7) {
        const uint8_t byte = *at++;
        result |= static_cast<uint32_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            *value = result;
            return true;
        }
    }
    return false;
}

// One past the last local number the gaps name (each number is one past
// the one before plus its gap), or kBadList when a number is cut short or
// too long. Gaps are mostly one byte each: eight at a time while they are.
const unsigned long long kBadList = ~0ull;
unsigned long long ListEnd(const uint8_t* at, size_t size) {
    const uint8_t* const end = at + size;
    unsigned long long next = 0;
    while (at < end) {
        if (end - at >= 8) {
            uint64_t word;
            memcpy(&word, at, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                // Byte sums in 16-bit lanes, then across them.
                const uint64_t pairs = (word & 0x00FF00FF00FF00FFull) + (word >> 8 & 0x00FF00FF00FF00FFull);
                next += (pairs * 0x0001000100010001ull >> 48) + 8;
                at += 8;
                continue;
            }
        }
        uint32_t gap;
        if (!TakeNumber(at, end, &gap)) return kBadList;
        next += gap + 1ull;
    }
    return next;
}

void DropLocal(ContentIndex* index, IndexedFile& file) {
    if (file.state != kFileHeld) return;
    if (file.local < index->localCount && index->owner[file.local] != kDroppedLocal) {
        index->owner[file.local] = kDroppedLocal;
        ++index->droppedLocals;
    }
    file.state = kFileUnread;
}

typedef std::vector<uint64_t> FileSet;

void SetAll(FileSet& set, bool value) { std::fill(set.begin(), set.end(), value ? ~uint64_t{0} : 0); }

// Sets the bit of every file the list names. A number past the end, which
// only a damaged list holds, ends it.
void AddListFiles(const ContentIndex* index, const PostingList& list, FileSet& set) {
    unsigned long long local = 0;
    for (const PostingBlock* block = list.first; block != nullptr; block = block->next) {
        const uint8_t* at = BlockBytes(block);
        const uint8_t* end = at + BlockUsed(list, block);
        uint32_t gap;
        while (TakeNumber(at, end, &gap)) {
            local += gap;
            if (local >= index->localCount) return;
            const uint32_t file = index->owner[local];
            if (file < index->fileCount) set[file >> 6] |= uint64_t{1} << (file & 63);
            ++local;
        }
    }
}

void LiteralFiles(const ContentIndex* index, const std::string& literal, FileSet& set) {
    if (literal.size() < 3) return SetAll(set, true);
    std::vector<Trigram> keys;
    for (size_t i = 0; i + 3 <= literal.size(); ++i) keys.push_back(FoldedTrigram(literal.data() + i));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::vector<std::pair<uint32_t, long>> lists;  // size, list
    for (Trigram key : keys) {
        const long list = FindList(index, key);
        if (list < 0) return SetAll(set, false);  // no file read holds it
        lists.push_back({index->lists[list].size, list});
    }
    std::sort(lists.begin(), lists.end());
    if (lists.size() > kMaxLiteralTrigrams) lists.resize(kMaxLiteralTrigrams);
    SetAll(set, false);
    AddListFiles(index, index->lists[lists[0].second], set);
    FileSet more(set.size());
    for (size_t i = 1; i < lists.size(); ++i) {
        SetAll(more, false);
        AddListFiles(index, index->lists[lists[i].second], more);
        for (size_t w = 0; w < set.size(); ++w) set[w] &= more[w];
    }
}

void QueryFiles(const ContentIndex* index, const LiteralQuery& query, FileSet& set) {
    switch (query.kind) {
    case LiteralQuery::kAll:
        return SetAll(set, true);
    case LiteralQuery::kNone:
        return SetAll(set, false);
    case LiteralQuery::kLiteral:
        return LiteralFiles(index, query.literal, set);
    case LiteralQuery::kAnd:
    case LiteralQuery::kOr: {
        const bool all = query.kind == LiteralQuery::kAnd;
        SetAll(set, all);
        FileSet part(set.size());
        for (const LiteralQuery& sub : query.parts) {
            QueryFiles(index, sub, part);
            for (size_t w = 0; w < set.size(); ++w) set[w] = all ? set[w] & part[w] : set[w] | part[w];
        }
        return;
    }
    }
    SetAll(set, true);
}

// A file's full path, for matching the files of two listings.
std::string FullPath(const IndexCursor& cursor, const char* name) {
    return std::string(cursor.directory, cursor.directoryLength) + name;
}

bool SamePath(const IndexCursor& a, const char* aName, const IndexCursor& b, const char* bName) {
    return a.directoryLength == b.directoryLength && memcmp(a.directory, b.directory, a.directoryLength) == 0 &&
           strcmp(aName, bName) == 0;
}

// Which earlier file each new one is, by full path; kDroppedLocal for none.
// Listings mostly come in the same order, so the same place is tried first.
bool MatchEarlierFiles(const char* earlier, size_t earlierCount, const char* later, uint32_t* match) {
    std::unordered_map<std::string, uint32_t> byPath;
    bool mapped = false;
    IndexCursor old = StartIndexWalk(earlier);
    IndexCursor now = StartIndexWalk(later);
    const char* oldName = nullptr;
    const char* name;
    for (uint32_t file = 0; NextIndexedFile(now, &name); ++file) {
        const bool oldThere = file < earlierCount && NextIndexedFile(old, &oldName);
        if (oldThere && SamePath(old, oldName, now, name)) {
            match[file] = file;
            continue;
        }
        if (!mapped) {
            IndexCursor each = StartIndexWalk(earlier);
            const char* eachName;
            for (uint32_t e = 0; e < earlierCount && NextIndexedFile(each, &eachName); ++e)
                byPath.emplace(FullPath(each, eachName), e);
            mapped = true;
        }
        const auto found = byPath.find(FullPath(now, name));
        match[file] = found == byPath.end() ? kDroppedLocal : found->second;
    }
    return true;
}

}  // namespace

size_t FileIndexLength(const char* fileIndex) {
    if (fileIndex == nullptr) return 0;
    const char* at = fileIndex;
    while (*at != '\0') at += strlen(at) + 1;
    return static_cast<size_t>(at - fileIndex) + 1;
}

ContentIndex* NewContentIndex(size_t memoryCap) {
    ContentIndex* index = static_cast<ContentIndex*>(calloc(1, sizeof(ContentIndex)));
    if (index == nullptr) return nullptr;
    index->memoryCap = memoryCap;
    index->memoryUsed = sizeof(ContentIndex);
    return index;
}

void DeleteContentIndex(ContentIndex* index) {
    if (index == nullptr) return;
    for (size_t i = 0; i < index->chunkCount; ++i) free(index->chunks[i]);
    free(index->chunks);
    free(index->lists);
    free(index->slots);
    free(index->owner);
    free(index->files);
    free(index->names);
    free(index->undo);
    free(index);
}

bool RelistFiles(ContentIndex* index, const char* fileIndex, const FileStamp* stamps, size_t count) {
    const size_t namesLength = FileIndexLength(fileIndex);
    const size_t oldBytes = index->namesLength + index->fileCount * sizeof(IndexedFile);
    const size_t newBytes = namesLength + count * sizeof(IndexedFile);
    char* names = nullptr;
    IndexedFile* files = nullptr;
    uint32_t* match = nullptr;
    bool fits = index->memoryUsed - oldBytes + newBytes <= index->memoryCap && count < kDroppedLocal;
    if (fits) {
        names = static_cast<char*>(malloc(namesLength > 0 ? namesLength : 1));
        files = static_cast<IndexedFile*>(calloc(count > 0 ? count : 1, sizeof(IndexedFile)));
        match = static_cast<uint32_t*>(malloc((count > 0 ? count : 1) * sizeof(uint32_t)));
        fits = names != nullptr && files != nullptr && match != nullptr;
    }
    if (fits) {
        // Every new file must have its stamp, and no stamp goes spare.
        IndexCursor cursor = StartIndexWalk(fileIndex);
        const char* name;
        size_t listed = 0;
        while (NextIndexedFile(cursor, &name)) ++listed;
        fits = listed == count;
    }
    if (fits && index->fileCount == 0) {
        for (size_t i = 0; i < count; ++i) match[i] = kDroppedLocal;
    } else if (fits) {
        try {
            fits = MatchEarlierFiles(index->names, index->fileCount, fileIndex, match);
        } catch (const std::bad_alloc&) {
            // Without the map, no file keeps its sequences: all are read again.
            for (size_t i = 0; i < count; ++i) match[i] = kDroppedLocal;
        }
    }
    for (size_t local = 0; local < index->localCount; ++local) index->owner[local] = kDroppedLocal;
    index->droppedLocals = index->localCount;
    if (!fits) {
        free(names);
        free(files);
        free(match);
        free(index->names);
        free(index->files);
        index->memoryUsed -= oldBytes;
        index->names = nullptr;
        index->namesLength = 0;
        index->files = nullptr;
        index->fileCount = 0;
        return false;
    }
    memcpy(names, fileIndex, namesLength);
    for (size_t file = 0; file < count; ++file) {
        IndexedFile& entry = files[file];
        entry.stamp = stamps[file];
        entry.state = kFileUnread;
        const uint32_t was = match[file];
        if (was == kDroppedLocal) continue;
        const IndexedFile& old = index->files[was];
        if (old.state != kFileHeld || old.stamp.size != entry.stamp.size ||
            old.stamp.writeTime != entry.stamp.writeTime || old.local >= index->localCount ||
            index->owner[old.local] != kDroppedLocal)
            continue;
        index->owner[old.local] = static_cast<uint32_t>(file);
        --index->droppedLocals;
        entry.local = old.local;
        entry.state = kFileHeld;
        entry.utf16 = old.utf16;
    }
    free(match);
    free(index->names);
    free(index->files);
    index->names = names;
    index->namesLength = namesLength;
    index->files = files;
    index->fileCount = count;
    index->memoryUsed = index->memoryUsed - oldBytes + newBytes;
    return true;
}

bool HoldFile(ContentIndex* index, uint32_t file, const FileStamp& stamp, bool utf16, const Trigram* trigrams,
              size_t count) {
    if (file >= index->fileCount) return false;
    IndexedFile& entry = index->files[file];
    DropLocal(index, entry);
    entry.stamp = stamp;
    entry.state = kFileReadAlways;
    const size_t local = index->localCount;
    if (trigrams == nullptr || local >= kDroppedLocal ||
        !ReserveArray(index, &index->owner, &index->localCapacity, local + 1) ||
        !ReserveArray(index, &index->undo, &index->undoCapacity, count))
        return false;
    size_t undone = 0;
    bool fits = true;
    for (size_t i = 0; i < count && fits; ++i) {
        if (i + kPrefetchSlot < count) Prefetch(index, trigrams, i);
        const long found = FindOrAddList(index, trigrams[i] & (kTrigramSpace - 1));
        if (found < 0) {
            fits = false;
            break;
        }
        PostingList& list = index->lists[found];
        if (list.next == local + 1) continue;  // named twice
        index->undo[undone++] = {static_cast<uint32_t>(found), list.lastUsed, list.next, list.size, list.last};
        if (TailWithRoom(index, list) == nullptr) {
            fits = false;
            break;
        }
        PutNumber(list, static_cast<uint32_t>(local - list.next));
        list.next = static_cast<uint32_t>(local + 1);
    }
    if (!fits) {
        // An empty block left at a list's end takes the next gap as well.
        while (undone > 0) {
            const ContentIndex::Undo& undo = index->undo[--undone];
            PostingList& list = index->lists[undo.list];
            if (undo.last != nullptr) undo.last->used = undo.used;
            list.lastUsed = undo.used;
            if (list.last != undo.last) list.last->used = list.lastUsed = 0;
            list.next = undo.next;
            list.size = undo.size;
        }
        return false;
    }
    index->owner[local] = file;
    index->localCount = local + 1;
    entry.local = static_cast<uint32_t>(local);
    entry.state = kFileHeld;
    entry.utf16 = utf16;
    return true;
}

void MarkFileUnreadable(ContentIndex* index, uint32_t file) {
    if (file >= index->fileCount) return;
    DropLocal(index, index->files[file]);
    index->files[file].state = kFileUnreadable;
}

void MarkFileChanged(ContentIndex* index, uint32_t file) {
    if (file >= index->fileCount) return;
    DropLocal(index, index->files[file]);
    index->files[file].state = kFileUnread;
}

void MarkFileReadAlways(ContentIndex* index, uint32_t file) {
    if (file >= index->fileCount) return;
    DropLocal(index, index->files[file]);
    index->files[file].state = kFileReadAlways;
}

bool WorthCompacting(const ContentIndex* index) {
    return index->droppedLocals >= 1024 && index->droppedLocals * 4 >= index->localCount;
}

void CompactContentIndex(ContentIndex* index) {
    if (index->droppedLocals == 0) return;
    // Into chunks of its own, while the old ones stay whole until the end,
    // so that a failure midway leaves the index as it was.
    size_t oldBytes = 0;
    for (size_t i = 0; i < index->listCount; ++i) oldBytes += index->lists[i].size;
    if (index->memoryUsed + oldBytes + oldBytes / 4 + kChunkSize > index->memoryCap) return;
    uint32_t* renumbered = static_cast<uint32_t*>(malloc((index->localCount + 1) * sizeof(uint32_t)));
    PostingList* old = static_cast<PostingList*>(malloc((index->listCount + 1) * sizeof(PostingList)));
    if (renumbered == nullptr || old == nullptr) {
        free(renumbered);
        free(old);
        return;
    }
    uint32_t live = 0;
    for (size_t local = 0; local < index->localCount; ++local)
        renumbered[local] = index->owner[local] != kDroppedLocal ? live++ : kDroppedLocal;
    if (index->listCount > 0) memcpy(old, index->lists, index->listCount * sizeof(PostingList));
    char** oldChunks = index->chunks;
    const size_t oldChunkCount = index->chunkCount;
    const size_t oldChunkCapacity = index->chunkCapacity;
    const size_t oldChunkBytes = index->chunkBytes;
    const size_t usedBefore = index->memoryUsed;
    index->chunks = nullptr;
    index->chunkCount = index->chunkCapacity = index->chunkLeft = index->chunkBytes = 0;
    bool fits = true;
    for (size_t i = 0; i < index->listCount && fits; ++i) {
        PostingList& list = index->lists[i];
        list = PostingList{list.key, 0, 0, 0, 0, nullptr, nullptr};
        unsigned long long local = 0;
        for (const PostingBlock* block = old[i].first; block != nullptr && fits; block = block->next) {
            const uint8_t* at = BlockBytes(block);
            const uint8_t* end = at + BlockUsed(old[i], block);
            uint32_t gap;
            while (fits && TakeNumber(at, end, &gap)) {
                local += gap;
                if (local >= index->localCount) break;
                const uint32_t now = renumbered[local++];
                if (now == kDroppedLocal) continue;
                fits = TailWithRoom(index, list) != nullptr;
                if (fits) PutNumber(list, now - list.next);
                list.next = now + 1;
            }
        }
    }
    char** dropChunks = fits ? oldChunks : index->chunks;
    const size_t dropCount = fits ? oldChunkCount : index->chunkCount;
    for (size_t i = 0; i < dropCount; ++i) free(dropChunks[i]);
    free(dropChunks);
    if (!fits) {
        if (index->listCount > 0) memcpy(index->lists, old, index->listCount * sizeof(PostingList));
        index->chunks = oldChunks;
        index->chunkCount = oldChunkCount;
        index->chunkCapacity = oldChunkCapacity;
        index->chunkBytes = oldChunkBytes;
        index->chunkLeft = 0;  // the rest of the chunk being carved is given up
        index->memoryUsed = usedBefore;
    } else {
        index->memoryUsed -= oldChunkBytes + oldChunkCapacity * sizeof(char*);
        for (size_t local = 0; local < index->localCount; ++local)
            if (renumbered[local] != kDroppedLocal) index->owner[renumbered[local]] = index->owner[local];
        for (size_t file = 0; file < index->fileCount; ++file)
            if (index->files[file].state == kFileHeld)
                index->files[file].local = renumbered[index->files[file].local];
        index->localCount = live;
        index->droppedLocals = 0;
    }
    free(renumbered);
    free(old);
}

bool ChooseFiles(const ContentIndex* index, const LiteralQuery& plain, const LiteralQuery& utf16,
                 std::vector<uint32_t>& files) {
    files.clear();
    try {
        bool anyPlain = false, anyUtf16 = false;
        for (size_t file = 0; file < index->fileCount; ++file) {
            const IndexedFile& entry = index->files[file];
            if (entry.state == kFileHeld) (entry.utf16 ? anyUtf16 : anyPlain) = true;
        }
        const size_t words = (index->fileCount + 63) / 64;
        FileSet plainFiles(anyPlain ? words : 0), utf16Files(anyUtf16 ? words : 0);
        if (anyPlain) QueryFiles(index, plain, plainFiles);
        if (anyUtf16) QueryFiles(index, utf16, utf16Files);
        for (size_t file = 0; file < index->fileCount; ++file) {
            const IndexedFile& entry = index->files[file];
            const uint64_t bit = uint64_t{1} << (file & 63);
            if (entry.state != kFileHeld || ((entry.utf16 ? utf16Files : plainFiles)[file >> 6] & bit) != 0)
                files.push_back(static_cast<uint32_t>(file));
        }
        return true;
    } catch (const std::bad_alloc&) {
        files.clear();
        return false;
    }
}

bool ReserveLists(ContentIndex* index, size_t count) {
    return count < kTrigramSpace && GrowSlots(index, count) &&
           ReserveArray(index, &index->lists, &index->listCapacity, count);
}

bool AdoptPostingList(ContentIndex* index, Trigram key, const uint8_t* bytes, uint32_t size) {
    if (key >= kTrigramSpace || FindList(index, key) >= 0) return false;
    const unsigned long long next = ListEnd(bytes, size);
    if (next > index->localCount) return false;
    const long found = FindOrAddList(index, key);
    if (found < 0) return false;
    PostingList& list = index->lists[found];
    if (size > 0) {
        PostingBlock* block = NewBlock(index, sizeof(PostingBlock) + size);
        if (block == nullptr) return false;
        memcpy(BlockBytes(block), bytes, size);
        block->used = size;
        list.first = list.last = block;
        list.size = size;
        list.lastUsed = size;
        list.lastCapacity = block->capacity;
    }
    list.next = static_cast<uint32_t>(next);
    return true;
}
