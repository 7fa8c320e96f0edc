// The file index: the writer against a model of what it accepted, and the
// reader walking what the writer left, across rebuilds over the same block and
// growths that fail.
//
// Input layout:  [initial size] [growth failure] operations...
//   initial size     0: no block yet; otherwise a block of that many bytes
//                    holding stale bytes from an earlier build.
//   growth failure   k = bits 0-6: the k-th growth fails (0: none does);
//                    bit 7: so does every growth after it.
//   operation        one byte, taken modulo 4:
//     'D' directory 0x00 name 0x00   a group entry
//     'M' [count] name 0x00          count + 1 name entries, to grow the block
//     'N' name 0x00                  a name entry
//     'S'                            end this build, check it, start another
// Directories are passed by length, unterminated, and names as exact heap
// copies, so a read past either lands in an ASan redzone; so does a write
// past the block, which is reallocated to exactly the size asked for.

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "core/index_format.h"
#include "fuzz/fuzz_support.h"

namespace {

struct Growth {
    unsigned calls;
    unsigned failAt;  // 0: never
    bool failAfter;
    size_t blockSize;
} growth;

char* Grow(char* block, size_t newSize) {
    ++growth.calls;
    if (growth.failAt != 0 && (growth.calls == growth.failAt || (growth.failAfter && growth.calls > growth.failAt)))
        return nullptr;
    FUZZ_CHECK(block == nullptr || newSize > growth.blockSize, "grown from %zu to %zu bytes", growth.blockSize, newSize);
    char* grown = static_cast<char*>(malloc(newSize));
    if (grown == nullptr) return nullptr;
    memset(grown, 'S', newSize);
    if (block != nullptr) memcpy(grown, block, growth.blockSize);
    free(block);
    growth.blockSize = newSize;
    return grown;
}

struct File {
    std::string directory;
    std::string name;
};

// What the reader must give back: every accepted name with the directory of
// the group entry it was added under.
struct Model {
    std::vector<File> files;
    std::string directory;
    bool inGroup = false;
};

bool RefStorableDirectory(const std::string& directory) {
    return !directory.empty() && directory.find('*') == std::string::npos &&
           (RefIsSeparator(directory[0]) || (directory.size() >= 2 && directory[1] == ':'));
}

// A bare name must not read as the end of the list or as a directory entry.
bool RefStorableName(const std::string& name) {
    return !name.empty() && !RefIsSeparator(name[0]) && !(name.size() >= 2 && name[1] == ':');
}

std::unique_ptr<char[]> ExactCopy(const std::string& s, bool terminated) {
    std::unique_ptr<char[]> copy(new char[s.size() + (terminated ? 1 : 0)]);
    memcpy(copy.get(), s.data(), s.size());
    if (terminated) copy[s.size()] = '\0';
    return copy;
}

// A refusal is sound when the entry cannot be stored faithfully or the block
// could not grow; after a failed growth nothing more may be stored.
void CheckAdded(const char* what, bool ok, bool storable, bool failedBefore, const IndexWriter& writer,
                const std::string& text) {
    FUZZ_CHECK(!(ok && failedBefore), "%s \"%s\" stored after a failed growth", what, Printable(text).c_str());
    FUZZ_CHECK(!(ok && !storable), "%s \"%s\" stored though it cannot be read back", what, Printable(text).c_str());
    FUZZ_CHECK(!(!ok && storable && !writer.failed), "%s \"%s\" refused", what, Printable(text).c_str());
}

void AddGroup(IndexWriter& writer, Model& model, const std::string& directory, const std::string& name) {
    auto directoryBytes = ExactCopy(directory, false);
    auto nameBytes = ExactCopy(name, true);
    const bool failedBefore = writer.failed;
    const bool ok = AddGroupEntry(writer, directoryBytes.get(), directory.size(), nameBytes.get());
    CheckAdded("directory", ok, RefStorableDirectory(directory), failedBefore, writer, directory);
    model.inGroup = ok;
    if (!ok) return;
    model.directory = directory;
    model.files.push_back({directory, name});
}

void AddName(IndexWriter& writer, Model& model, const std::string& name) {
    auto nameBytes = ExactCopy(name, true);
    const bool failedBefore = writer.failed;
    const bool ok = AddNameEntry(writer, nameBytes.get());
    CheckAdded("name", ok, model.inGroup && RefStorableName(name), failedBefore, writer, name);
    if (ok) model.files.push_back({model.directory, name});
}

void CheckWalk(const IndexWriter& writer, const Model& model) {
    const char* begin = writer.block;
    const char* end = writer.block + writer.size;
    IndexCursor cursor = StartIndexWalk(writer.block);
    const char* name;
    size_t count = 0;
    while (NextIndexedFile(cursor, &name)) {
        FUZZ_CHECK(count < model.files.size(), "more than the %zu files added", model.files.size());
        FUZZ_CHECK(name >= begin && name < end && cursor.directoryLength <= static_cast<size_t>(end - begin),
                   "file %zu lies outside the block", count);
        const File& want = model.files[count];
        const std::string directory(cursor.directory, cursor.directoryLength);
        FUZZ_CHECK(directory == want.directory && want.name == name,
                   "file %zu read back as \"%s\" + \"%s\", added as \"%s\" + \"%s\"", count,
                   Printable(directory).c_str(), Printable(name).c_str(), Printable(want.directory).c_str(),
                   Printable(want.name).c_str());
        ++count;
    }
    FUZZ_CHECK(count == model.files.size(), "%zu files read back of %zu added", count, model.files.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const size_t initialSize = input.Byte();
    const uint8_t failure = input.Byte();
    growth = {0, static_cast<unsigned>(failure & 0x7F), (failure & 0x80) != 0, initialSize};

    char* block = nullptr;
    if (initialSize != 0) {
        block = static_cast<char*>(malloc(initialSize));
        memset(block, 'S', initialSize);
    }
    IndexWriter writer = {block, initialSize, 0, Grow, false, false};
    BeginIndex(writer);
    Model model;

    while (!input.Empty()) {
        switch (input.Byte() % 4) {
        case 'D' % 4: {
            const std::string directory = input.Text();
            AddGroup(writer, model, directory, input.Text());
            break;
        }
        case 'M' % 4: {
            const unsigned count = input.Byte() + 1u;
            const std::string name = input.Text();
            for (unsigned i = 0; i < count; ++i) AddName(writer, model, name);
            break;
        }
        case 'N' % 4:
            AddName(writer, model, input.Text());
            break;
        case 'S' % 4:
            EndIndex(writer);
            CheckWalk(writer, model);
            BeginIndex(writer);
            model = Model();
            break;
        }
    }
    EndIndex(writer);
    CheckWalk(writer, model);
    free(writer.block);
    return 0;
}
