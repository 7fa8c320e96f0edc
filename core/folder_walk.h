#pragma once
#include <stddef.h>

#include "core/index_format.h"

// A search path whose last folder name is "**" ("C:\kit\include\**\*.h")
// reaches into sub-folders: the files matching its mask ("*.h") in its base
// folder ("C:\kit\include\") and in every folder below, at any depth. Each
// folder is listed by the platform; what is pure is the path arithmetic and
// the folders still to be walked.

// True for such a path, with the length of its base (up to and including the
// separator before "**", or the colon of a bare drive: "C:**\*.h") and where
// its mask begins. A path whose "**" stands anywhere else is no tree.
bool SplitTreeSearchPath(const char* path, size_t* baseLength, size_t* maskStart, LeadByteTable leadBytes = nullptr);

// directory[0, directoryLength) followed by name and a separator: the one the
// directory ends with, else a backslash. False when it does not fit in out.
bool ComposeSubFolder(const char* directory, size_t directoryLength, const char* name, char* out, size_t outSize);

// The folders still to be walked, each a zero-terminated text in a block that
// grows through the same kind of function as the index's. The caller owns it.
struct FolderStack {
    char* block;
    size_t size;
    size_t used;
    IndexGrowFn grow;
};

// False when the block cannot grow; the folder is then not walked.
bool PushFolder(FolderStack& stack, const char* directory);
// Reverses the order of the folders pushed since mark (an earlier value of
// used): pushed in listing order, they are then popped in listing order.
void ReverseFolders(FolderStack& stack, size_t mark);
// Moves the folder pushed last into out; false when none is left. A folder
// that does not fit in out is dropped, and the one before it taken.
bool PopFolder(FolderStack& stack, char* out, size_t outSize);
