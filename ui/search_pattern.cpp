#include "ui/search_pattern.h"

#include <string.h>

#include "core/index_format.h"

namespace {

// Up to three bytes of the extension, without the first half of a character.
size_t ExtensionLength(const char* extension, LeadByteTable leadBytes) {
    size_t length = 0;
    while (extension[length] != '\0') {
        const bool lead = leadBytes != nullptr && leadBytes[static_cast<unsigned char>(extension[length])] &&
                          extension[length + 1] != '\0';
        const size_t next = length + (lead ? 2 : 1);
        if (next > 3) break;
        length = next;
    }
    return length;
}

}  // namespace

void DeriveSearchPattern(const char* chosen, char* out, size_t outSize, LeadByteTable leadBytes) {
    const size_t directoryLength = SearchPathDirectoryLength(chosen, leadBytes);
    const char* name = chosen + directoryLength;
    const char* dot = strrchr(name, '.');
    const size_t extensionLength = dot != nullptr ? ExtensionLength(dot + 1, leadBytes) : 0;
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
