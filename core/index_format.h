#pragma once
#include <stddef.h>

// The file index is a packed run of zero-terminated entries, ended by an empty
// entry. Each search path opens a group with a directory entry,
// "<directory>*<first name>"; the names after it are bare and belong to that
// directory. A directory entry starts like an absolute path, which no file name
// can, so the two kinds are told apart by their first two characters.

// Grows (or, given no block, allocates) the index block; returns the block's
// new address, or null with the old block untouched.
typedef char* (*IndexGrowFn)(char* block, size_t newSize);

// Makes block[0, size) hold at least needed bytes, doubling from 4 KiB;
// false, with the block untouched, when it cannot.
bool GrowBlock(char*& block, size_t& size, size_t needed, IndexGrowFn grow);

struct IndexWriter {
    char* block;
    size_t size;
    size_t used;
    IndexGrowFn grow;
    bool failed;   // once the block could not grow, later entries are refused
    bool inGroup;  // a name joins the group entry before it, so it needs one
};

void BeginIndex(IndexWriter& writer);
// False when the entry was not stored: out of memory, or an entry that would
// read back differently. A group entry needs an absolute directory without
// '*'; once one is refused, names are refused until the next group starts, so
// that none joins the group before it. A name must not be empty (the end of
// the list) or look like a directory entry.
bool AddGroupEntry(IndexWriter& writer, const char* directory, size_t directoryLength, const char* name);
bool AddNameEntry(IndexWriter& writer, const char* name);
// A further name of a folder listing whose group is directory: a bare name,
// or, when it would read back as a directory entry (a Unix 'a:b.inc'), an
// entry that names the directory again.
bool AddListedName(IndexWriter& writer, const char* directory, size_t directoryLength, const char* name);
void EndIndex(IndexWriter& writer);

// Writes the files numbered files[0, count) (ascending, in index order) of
// the index block into the writer, which has begun: a smaller index of the
// same files in the same order, for a search that reads only those. False
// when an entry was not stored.
bool SelectIndexedFiles(const char* block, const unsigned* files, size_t count, IndexWriter& writer);

struct IndexCursor {
    const char* next;
    const char* directory;
    size_t directoryLength;
};

IndexCursor StartIndexWalk(const char* block);
// Moves to the next file of the index; false at the end. The cursor's
// directory is the file's directory.
bool NextIndexedFile(IndexCursor& cursor, const char** name);

// A backslash or slash first (current drive or UNC), or a drive colon second.
bool IsAbsoluteSearchPath(const char* path);
bool IsDirectoryEntry(const char* entry);

// Which bytes open a two-byte character in the ANSI code page: a table of
// 256 entries, nonzero for a lead byte, or null for a single-byte code page.
// In code pages 932, 936, 949 and 950 the second byte of a character may be
// 0x5C, a backslash, which then separates nothing.
typedef const unsigned char* LeadByteTable;

// Length of the directory part: up to and including the last backslash or
// slash, else up to the colon of a bare drive path ("C:*.inc"), else 0.
size_t SearchPathDirectoryLength(const char* path, LeadByteTable leadBytes = nullptr);

// A relative path is taken against baseDirectory (which ends with a
// separator). False when the result does not fit in out.
bool ResolveSearchPath(const char* path, const char* baseDirectory, char* out, size_t outSize);

// directory[0, directoryLength) followed by name; false when it does not fit.
bool ComposeFullPath(const char* directory, size_t directoryLength, const char* name, char* out, size_t outSize);
