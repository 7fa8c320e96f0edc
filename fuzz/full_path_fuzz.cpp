// Full paths: composing a directory and a name, resolving a search path
// against a base folder, and the directory part and kind of a path, in a
// single-byte code page and in code page 932; the "**" form of a tree, its
// sub-folders' directories, and the stack of folders a walk keeps.
//
// Input layout:  [size low] [size high] directory 0x00 name 0x00 path 0x00 base
//   size       the output buffer's size, 0 to 1023 bytes.
//   directory  used up to its first '*', as an index entry gives it.
// Every text and the output buffer are heap blocks of their exact size, so a
// read or write one byte past any of them lands in an ASan redzone.

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/folder_walk.h"
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

// A tree when the last folder name of the directory part, ended by a real
// separator, is exactly "**"; it begins after the separator before it, or
// after a bare drive's colon, or at the start.
bool RefSplitTree(const std::string& path, const unsigned char* leadBytes, size_t* base) {
    const size_t directoryLength = RefDirectoryLength(path, leadBytes);
    if (directoryLength == 0 || !RefIsSeparator(path[directoryLength - 1])) return false;
    const std::string folder = path.substr(0, directoryLength - 1);
    const std::vector<size_t> starts = RefCharacterStarts(folder, leadBytes);
    size_t start = 0;
    for (size_t k = 0; k < starts.size(); ++k) {
        const size_t end = k + 1 < starts.size() ? starts[k + 1] : folder.size();
        const bool single = end == starts[k] + 1;
        if (single && (RefIsSeparator(folder[starts[k]]) || (k == 1 && starts[1] == 1 && folder[1] == ':')))
            start = end;
    }
    *base = start;
    return folder.compare(start, std::string::npos, "**") == 0;
}

void CheckTree(const std::string& path, const unsigned char* leadBytes, const char* codePage) {
    auto bytes = ExactCopy(path, true);
    size_t base = 0, maskStart = 0, refBase = 0;
    const bool tree = SplitTreeSearchPath(bytes.get(), &base, &maskStart, leadBytes);
    const bool want = RefSplitTree(path, leadBytes, &refBase);
    FUZZ_CHECK(tree == want, "\"%s\" taken for a tree: %d, want %d (%s)", Printable(path).c_str(), tree, want,
               codePage);
    if (tree)
        FUZZ_CHECK(base == refBase && maskStart == RefDirectoryLength(path, leadBytes),
                   "\"%s\" split at %zu and %zu (%s)", Printable(path).c_str(), base, maskStart, codePage);
}

char* GrowExactly(char* block, size_t newSize) {
    static size_t size;
    char* grown = static_cast<char*>(malloc(newSize));
    if (grown == nullptr) return nullptr;
    if (block != nullptr) memcpy(grown, block, size);
    free(block);
    size = newSize;
    return grown;
}

// The texts pushed as folders, the last `listed` of them reversed as one
// listing, then all popped into a buffer of outSize bytes.
void CheckFolderStack(const std::vector<std::string>& texts, size_t listed, size_t outSize) {
    FolderStack stack = {nullptr, 0, 0, GrowExactly};
    std::vector<std::string> model;
    std::vector<size_t> marks;  // where each text starts, and the end
    for (size_t i = 0; i < texts.size(); ++i) {
        marks.push_back(stack.used);
        auto bytes = ExactCopy(texts[i], true);
        FUZZ_CHECK(PushFolder(stack, bytes.get()), "push of \"%s\" refused", Printable(texts[i]).c_str());
        model.push_back(texts[i]);
    }
    marks.push_back(stack.used);
    ReverseFolders(stack, marks[texts.size() - listed]);
    std::reverse(model.end() - listed, model.end());
    std::unique_ptr<char[]> out(new char[outSize]);
    while (!model.empty() && model.back().size() >= outSize) model.pop_back();
    while (PopFolder(stack, out.get(), outSize)) {
        FUZZ_CHECK(!model.empty(), "popped \"%s\" from an empty stack", Printable(out.get()).c_str());
        FUZZ_CHECK(model.back() == out.get(), "popped \"%s\", want \"%s\"", Printable(out.get()).c_str(),
                   Printable(model.back()).c_str());
        model.pop_back();
        while (!model.empty() && model.back().size() >= outSize) model.pop_back();
    }
    FUZZ_CHECK(model.empty(), "%zu folders left unpopped", model.size());
    free(stack.block);
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
        FUZZ_CHECK(
            SearchPathDirectoryLength(bytes.get(), RefLeadBytes932()) == RefDirectoryLength(*s, RefLeadBytes932()),
            "directory part of \"%s\" in code page 932", Printable(*s).c_str());
        CheckTree(*s, nullptr, "single-byte");
        CheckTree(*s, RefLeadBytes932(), "code page 932");
    }

    // Against an absolute base every search path resolves to one whose
    // directory entry the index reader recognises as a directory.
    if (ok && RefIsAbsolute(base)) {
        const std::string resolved(out.get());
        const std::string entry = resolved.substr(0, RefDirectoryLength(resolved)) + "*x";
        FUZZ_CHECK(IsDirectoryEntry(entry.c_str()), "\"%s\" resolved against \"%s\" gives the entry \"%s\"",
                   Printable(path).c_str(), Printable(base).c_str(), Printable(entry).c_str());
    }

    memset(out.get(), 0xAA, outSize);
    ok = ComposeSubFolder(directoryBytes.get(), directory.size(), nameBytes.get(), out.get(), outSize);
    const char separator = !directory.empty() && RefIsSeparator(directory.back()) ? directory.back() : '\\';
    CheckComposed("ComposeSubFolder", ok, out.get(), outSize, directory + name + separator);

    CheckFolderStack({directoryText, name, path, base}, outSize % 5, outSize);
    return 0;
}
