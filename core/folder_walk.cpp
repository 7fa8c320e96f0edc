#include "core/folder_walk.h"

#include <string.h>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

void Reverse(char* begin, char* end) {
    while (begin < end) {
        --end;
        const char c = *begin;
        *begin++ = *end;
        *end = c;
    }
}

// Whether path[at] begins a character, rather than being the second byte of one.
bool BeginsCharacter(const char* path, size_t at, LeadByteTable leadBytes) {
    size_t i = 0;
    while (i < at)
        i += leadBytes != nullptr && leadBytes[static_cast<unsigned char>(path[i])] && path[i + 1] != '\0' ? 2 : 1;
    return i == at;
}

}  // namespace

bool SplitTreeSearchPath(const char* path, size_t* baseLength, size_t* maskStart, LeadByteTable leadBytes) {
    const size_t directoryLength = SearchPathDirectoryLength(path, leadBytes);
    // "**" and the separator after it, as a whole folder name.
    if (directoryLength < 3 || path[directoryLength - 2] != '*' || path[directoryLength - 3] != '*') return false;
    const size_t base = directoryLength - 3;
    // The directory part ends at a real separator; the byte before "**" must
    // be one too, or the colon of a bare drive.
    const bool wholeName = base == 0 || ((IsSeparator(path[base - 1]) || (base == 2 && path[1] == ':')) &&
                                         BeginsCharacter(path, base - 1, leadBytes));
    if (!wholeName) return false;
    *baseLength = base;
    *maskStart = directoryLength;
    return true;
}

bool ComposeSubFolder(const char* directory, size_t directoryLength, const char* name, char* out, size_t outSize) {
    const char separator =
        directoryLength > 0 && IsSeparator(directory[directoryLength - 1]) ? directory[directoryLength - 1] : '\\';
    if (!ComposeFullPath(directory, directoryLength, name, out, outSize)) return false;
    const size_t length = strlen(out);
    if (length + 1 >= outSize) return false;
    out[length] = separator;
    out[length + 1] = '\0';
    return true;
}

bool PushFolder(FolderStack& stack, const char* directory) {
    const size_t length = strlen(directory) + 1;
    const size_t needed = stack.used + length;
    if (needed < stack.used || !GrowBlock(stack.block, stack.size, needed, stack.grow)) return false;
    memcpy(stack.block + stack.used, directory, length);
    stack.used = needed;
    return true;
}

// In place: the span without its last terminator is reversed, which turns
// "a\0bc\0d" into "d\0cb\0a", then each text in it back again.
void ReverseFolders(FolderStack& stack, size_t mark) {
    if (mark >= stack.used) return;
    char* begin = stack.block + mark;
    char* last = stack.block + stack.used - 1;
    Reverse(begin, last);
    char* text = begin;
    for (char* p = begin; p < last; ++p) {
        if (*p != '\0') continue;
        Reverse(text, p);
        text = p + 1;
    }
    Reverse(text, last);
}

bool PopFolder(FolderStack& stack, char* out, size_t outSize) {
    while (stack.used > 0) {
        const size_t end = stack.used - 1;  // the terminator of the last text
        size_t start = end;
        while (start > 0 && stack.block[start - 1] != '\0') --start;
        stack.used = start;
        const size_t length = end - start;
        if (length < outSize) {
            memcpy(out, stack.block + start, length + 1);
            return true;
        }
    }
    return false;
}
