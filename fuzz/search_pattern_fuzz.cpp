// The search path that a browse derives from a chosen file, in a single-byte
// code page and in code page 932.
//
// Input layout:  [mode] chosen path
//   mode   bit 7 clear: the 256-byte settings slot; set: a slot of
//          1 + (mode & 0x7F) bytes, to reach the edges with short paths.
// The slot is a heap block of exactly its size, so a write past it, or a
// missing terminator read by the checks, lands in an ASan redzone.

#include <string.h>

#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "ui/search_pattern.h"

namespace {

// The folder, a wildcard, and the name's own extension cut to three bytes
// without halving a character; only a dot inside the name counts.
std::string RefPattern(const std::string& chosen, const unsigned char* leadBytes) {
    const size_t directoryLength = RefDirectoryLength(chosen, leadBytes);
    const std::string name = chosen.substr(directoryLength);
    const size_t dot = name.rfind('.');
    std::string extension;
    if (dot != std::string::npos) {
        const std::string all = name.substr(dot + 1);
        const std::vector<size_t> starts = RefCharacterStarts(all, leadBytes);
        size_t length = 0;
        for (size_t k = 0; k < starts.size(); ++k) {
            const size_t end = k + 1 < starts.size() ? starts[k + 1] : all.size();
            if (end > 3) break;
            length = end;
        }
        extension = all.substr(0, length);
    }
    return chosen.substr(0, directoryLength) + "*." + extension;
}

void Check(const std::string& chosen, size_t slotSize, const unsigned char* leadBytes, const char* codePage) {
    std::unique_ptr<char[]> chosenBytes(new char[chosen.size() + 1]);
    memcpy(chosenBytes.get(), chosen.c_str(), chosen.size() + 1);
    std::unique_ptr<char[]> slot(new char[slotSize]);
    memset(slot.get(), 0xAA, slotSize);

    DeriveSearchPattern(chosenBytes.get(), slot.get(), slotSize, leadBytes);

    const size_t length = strnlen(slot.get(), slotSize);
    FUZZ_CHECK(length < slotSize, "no terminator in the %zu-byte slot for \"%s\"", slotSize, Printable(chosen).c_str());
    const std::string got(slot.get(), length);

    const std::string pattern = RefPattern(chosen, leadBytes);
    std::string want;
    if (pattern.size() < slotSize) {
        want = pattern;
    } else if (chosen.size() < slotSize) {
        want = chosen;  // the one chosen file, rather than a cut pattern
    } else {
        // Neither fits; an Open dialog limited to the slot never returns this.
        FUZZ_CHECK(chosen.compare(0, got.size(), got) == 0, "\"%s\" is not a prefix of \"%s\"", Printable(got).c_str(),
                   Printable(chosen).c_str());
        return;
    }
    FUZZ_CHECK(got == want, "\"%s\" in %zu bytes gave \"%s\", want \"%s\" (%s)", Printable(chosen).c_str(), slotSize,
               Printable(got).c_str(), Printable(want).c_str(), codePage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const uint8_t mode = input.Byte();
    const size_t slotSize = (mode & 0x80) ? 1 + (mode & 0x7F) : 256;
    const std::string chosen = input.Text();
    Check(chosen, slotSize, nullptr, "single-byte");
    Check(chosen, slotSize, RefLeadBytes932(), "code page 932");
    return 0;
}
