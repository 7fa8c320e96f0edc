// The search path that a browse derives from a chosen file.
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const uint8_t mode = input.Byte();
    const size_t slotSize = (mode & 0x80) ? 1 + (mode & 0x7F) : 256;
    const std::string chosen = input.Text();

    std::unique_ptr<char[]> chosenBytes(new char[chosen.size() + 1]);
    memcpy(chosenBytes.get(), chosen.c_str(), chosen.size() + 1);
    std::unique_ptr<char[]> slot(new char[slotSize]);
    memset(slot.get(), 0xAA, slotSize);

    DeriveSearchPattern(chosenBytes.get(), slot.get(), slotSize);

    const size_t length = strnlen(slot.get(), slotSize);
    FUZZ_CHECK(length < slotSize, "no terminator in the %zu-byte slot for \"%s\"", slotSize, Printable(chosen).c_str());
    const std::string got(slot.get(), length);

    // The folder, a wildcard, and the name's own extension cut to three
    // characters; only a dot inside the name counts.
    const size_t directoryLength = RefDirectoryLength(chosen);
    const std::string name = chosen.substr(directoryLength);
    const size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1, 3);
    const std::string pattern = chosen.substr(0, directoryLength) + "*." + extension;

    std::string want;
    if (pattern.size() < slotSize) {
        want = pattern;
    } else if (chosen.size() < slotSize) {
        want = chosen;  // the one chosen file, rather than a cut pattern
    } else {
        // Neither fits; an Open dialog limited to the slot never returns this.
        FUZZ_CHECK(chosen.compare(0, got.size(), got) == 0, "\"%s\" is not a prefix of \"%s\"", Printable(got).c_str(),
                   Printable(chosen).c_str());
        return 0;
    }
    FUZZ_CHECK(got == want, "\"%s\" in %zu bytes gave \"%s\", want \"%s\"", Printable(chosen).c_str(), slotSize,
               Printable(got).c_str(), Printable(want).c_str());
    return 0;
}
