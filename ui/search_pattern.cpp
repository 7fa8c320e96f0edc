#include "ui/search_pattern.h"

#include <string.h>

#include "core/index_format.h"

void DeriveSearchPattern(const char* chosen, char* out, size_t outSize) {
    const size_t directoryLength = SearchPathDirectoryLength(chosen);
    const char* name = chosen + directoryLength;
    const char* dot = strrchr(name, '.');
    size_t extensionLength = dot != nullptr ? strlen(dot + 1) : 0;
    if (extensionLength > 3) extensionLength = 3;
    const size_t patternLength = directoryLength + 2 + extensionLength;
    if (patternLength >= outSize) {
        size_t length = strlen(chosen);
        if (length >= outSize) length = outSize - 1;
        memcpy(out, chosen, length);
        out[length] = '\0';
        return;
    }
    memcpy(out, chosen, directoryLength);
    out[directoryLength] = '*';
    out[directoryLength + 1] = '.';
    if (dot != nullptr) memcpy(out + directoryLength + 2, dot + 1, extensionLength);
    out[patternLength] = '\0';
}
