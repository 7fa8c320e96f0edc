#pragma once
#include <stddef.h>

#include "core/content_index_file.h"

// The platform's side of keeping the content index in a file. The program
// uses content_index_store_win32.cpp; the native tests and benchmark use
// content_index_store_posix.cpp.

// Writing the index takes two steps, so that the slow one, waiting until
// the file is on disk, needs no hold on the index. DraftContentIndex writes
// it to a temporary name beside path; null when that cannot be written.
// CommitContentIndex waits until the draft is whole on disk, renames it
// over the old file and frees the draft; a crash or a full disk never
// leaves a damaged file. False, with the old file as it was, when the
// folder cannot be written.
struct IndexFileDraft;
IndexFileDraft* DraftContentIndex(const ContentIndex* index, const char* path, const char* builtFor,
                                  size_t builtForLength);
bool CommitContentIndex(IndexFileDraft* draft);

// The index kept at path if it was built for these search paths; null, with
// the verdict saying why, when it is missing (kIndexFileForeign) or not taken.
ContentIndex* RestoreContentIndex(const char* path, const char* builtFor, size_t builtForLength, size_t memoryCap,
                                  IndexFileVerdict* verdict);
