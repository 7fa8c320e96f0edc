// Full paths: composing a directory and a name, resolving a search path
// against a base folder, and the directory part and kind of a path.
//
// Input layout:  [size low] [size high] directory 0x00 name 0x00 path 0x00 base
//   size       the output buffer's size, 0 to 1023 bytes.
//   directory  used up to its first '*', as an index entry gives it.
// Every text and the output buffer are heap blocks of their exact size, so a
// read or write one byte past any of them lands in an ASan redzone.

#include <string.h>

#include <memory>
#include <string>

#include "core/index_format.h"
#include "fuzz/fuzz_support.h"

namespace {

std::unique_ptr<char[]> ExactCopy(const std::string& s, bool terminated) {
    std::unique_ptr<char[]> copy(new char[s.size() + (terminated ? 1 : 0)]);
    memcpy(copy.get(), s.data(), s.size());
    if (terminated) copy[s.size()] = '\0';
    return copy;
}

bool RefIsAbsolute(const std::string& path) {
    return (!path.empty() && RefIsSeparator(path[0])) || (path.size() >= 2 && path[1] == ':');
}

// The output holds exactly want and its terminator when the call succeeded,
// and success means want fits.
void CheckComposed(const char* what, bool ok, const char* out, size_t outSize, const std::string& want) {
    const bool fits = want.size() < outSize;
    FUZZ_CHECK(ok == fits, "%s reported %d for \"%s\" in %zu bytes", what, ok, Printable(want).c_str(), outSize);
    if (ok)
        FUZZ_CHECK(memcmp(out, want.c_str(), want.size() + 1) == 0, "%s wrote \"%s\", want \"%s\"", what,
                   Printable(std::string(out, strnlen(out, outSize))).c_str(), Printable(want).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const size_t outSize = (input.Byte() | (static_cast<size_t>(input.Byte()) << 8)) % 1024;
    const std::string directoryText = input.Text();
    const std::string name = input.Text();
    const std::string path = input.Text();
    const std::string base = input.Text();

    const std::string directory = directoryText.substr(0, directoryText.find('*'));
    // Given by its length alone: the directory is not terminated.
    auto directoryBytes = ExactCopy(directory, false);
    auto nameBytes = ExactCopy(name, true);
    auto pathBytes = ExactCopy(path, true);
    auto baseBytes = ExactCopy(base, true);
    std::unique_ptr<char[]> out(new char[outSize]);
    memset(out.get(), 0xAA, outSize);

    bool ok = ComposeFullPath(directoryBytes.get(), directory.size(), nameBytes.get(), out.get(), outSize);
    CheckComposed("ComposeFullPath", ok, out.get(), outSize, directory + name);

    memset(out.get(), 0xAA, outSize);
    ok = ResolveSearchPath(pathBytes.get(), baseBytes.get(), out.get(), outSize);
    const bool absolute = RefIsAbsolute(path);
    CheckComposed("ResolveSearchPath", ok, out.get(), outSize, absolute ? path : base + path);

    FUZZ_CHECK(IsAbsoluteSearchPath(pathBytes.get()) == absolute, "kind of \"%s\"", Printable(path).c_str());
    for (const std::string* s : {&path, &base, &name}) {
        auto bytes = ExactCopy(*s, true);
        FUZZ_CHECK(SearchPathDirectoryLength(bytes.get()) == RefDirectoryLength(*s), "directory part of \"%s\"",
                   Printable(*s).c_str());
    }

    // Against an absolute base every search path resolves to one whose
    // directory entry the index reader recognises as a directory.
    if (ok && RefIsAbsolute(base)) {
        const std::string resolved(out.get());
        const std::string entry = resolved.substr(0, RefDirectoryLength(resolved)) + "*x";
        FUZZ_CHECK(IsDirectoryEntry(entry.c_str()), "\"%s\" resolved against \"%s\" gives the entry \"%s\"",
                   Printable(path).c_str(), Printable(base).c_str(), Printable(entry).c_str());
    }
    return 0;
}
