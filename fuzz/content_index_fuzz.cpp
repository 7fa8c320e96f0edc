// The content index against a full scan: on a random kit, after random
// changes, re-reads, relistings, compactions and round trips through the
// file format, every file in whose current bytes the search's own matcher
// finds a match (in either case mode, as text, as whole words or as a
// pattern) must be chosen; and the choice must be exactly what the file's
// folded three-byte sequences allow for the literals the search asks for,
// worked out here from the bytes: a file the index does not hold is always
// chosen, a held one when it holds every sequence of a literal that the
// literal tree needs (a literal shorter than three bytes needs none).
//
// Input layout:  [mode] [query ...] 0x00 [files] [file]... [operation]...
//   mode       bits 0-2: the collector is fed pieces of 1 to 8 bytes (7: the
//              whole file at once); bit 3: a memory cap of a few KiB, so
//              that some files are not held; bit 4: whole words; bit 5: the
//              query is a pattern, each of its bytes picking a token from
//              kTokens; bit 6: the lead bytes of code page 932.
//   query      up to 24 bytes, its characters taken as Latin-1 for the
//              UTF-8 and UTF-16 spellings.
//   files      the kit's size, modulo 9.
//   file       [length] [bytes]: a file's bytes; FF FE first makes it UTF-16.
//   operation  one byte, modulo 8, with a file number byte where it names one:
//     0 k file   the file changes and the index is told (a folder watch)
//     1 k        the file is read again and held
//     2 k        the file cannot be read
//     3 k        the file is read in full until the next listing
//     4          compact
//     5          save and read back
//     6 k file   the file changes while the program is not running; the
//                next start lists it with a new stamp and reads it again
//     7          the next listing comes in the reverse order

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/content_index.h"
#include "core/content_index_file.h"
#include "core/index_format.h"
#include "core/query_matcher.h"
#include "core/search_literals.h"
#include "fuzz/fuzz_support.h"

namespace {

const size_t kMaxFiles = 8;

// Literals of several lengths, in both cases and beyond ASCII, and what
// makes a pattern hold none, several or alternatives of them.
const char* const kTokens[] = {"abc", "Abc", "xyz", "ab",   "c",         "x",    "\xE9", "\\xE9t\\xE9", "[ab]",
                               "[^a]", ".",  "*",   "+",    "?",         "|",    "(",    ")",           "(?i)",
                               "^",   "$",   "\\w", "\\b",  "\\d",       "{2}",  " ",    "\\s",         "\\x00",
                               "\\n", "\x82\x61", "(?:abc|Xyz)", "\\Qa.c\\E", "AbC"};
const size_t kTokenCount = sizeof kTokens / sizeof kTokens[0];

struct KitFile {
    std::string name;
    std::string bytes;       // as it is now
    unsigned long long stamp;  // changes with the bytes
};

char* GrowWithRealloc(char* block, size_t newSize) { return static_cast<char*>(realloc(block, newSize)); }

// The listing as the file index would hold it: one folder, in this order.
char* ListFiles(const std::vector<KitFile>& kit, std::vector<FileStamp>& stamps) {
    IndexWriter writer = {nullptr, 0, 0, GrowWithRealloc, false, false};
    BeginIndex(writer);
    stamps.clear();
    for (size_t i = 0; i < kit.size(); ++i) {
        const bool stored = i == 0 ? AddGroupEntry(writer, "C:\\kit\\", 7, kit[i].name.c_str())
                                   : AddNameEntry(writer, kit[i].name.c_str());
        FUZZ_CHECK(stored, "a kit file was not listed");
        stamps.push_back(FileStamp{kit[i].bytes.size(), kit[i].stamp});
    }
    if (writer.block == nullptr) writer.block = GrowWithRealloc(nullptr, 1);
    EndIndex(writer);
    return writer.block;
}

// The sequences of bytes, folded, as a sorted set.
std::vector<uint32_t> ReferenceTrigrams(const std::string& bytes) {
    std::vector<uint32_t> set;
    auto fold = [](unsigned char c) -> uint32_t { return c >= 'A' && c <= 'Z' ? c + 32u : c; };
    for (size_t i = 0; i + 3 <= bytes.size(); ++i)
        set.push_back(fold(bytes[i]) << 16 | fold(bytes[i + 1]) << 8 | fold(bytes[i + 2]));
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
    return set;
}

bool IsUtf16(const std::string& bytes) { return StartsWithUtf16Mark(bytes.data(), bytes.size()); }

struct Model {
    std::vector<KitFile> kit;
    std::vector<bool> held;        // what the index should hold
    std::vector<std::string> seen;  // the bytes it read when it held them
    std::vector<unsigned long long> seenStamp;
    std::vector<FileStamp> stamps;
    char* names = nullptr;
    ContentIndex* index = nullptr;
    size_t pieceSize = 0;  // 0: whole
    TrigramCollector* collector = nullptr;
};

void Hold(Model& model, size_t file) {
    const std::string& bytes = model.kit[file].bytes;
    StartTrigrams(model.collector);
    const size_t step = model.pieceSize == 0 ? bytes.size() + 1 : model.pieceSize;
    for (size_t at = 0; at < bytes.size(); at += step) {
        const size_t length = std::min(step, bytes.size() - at);
        // An exact copy, so a read past the piece lands in a redzone.
        std::vector<char> piece(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + length));
        AddTrigramPiece(model.collector, piece.data(), length);
    }
    size_t count;
    const Trigram* trigrams = FinishTrigrams(model.collector, &count);
    FUZZ_CHECK(trigrams != nullptr, "a small file overflowed the collector");
    std::vector<uint32_t> got(trigrams, trigrams + count);
    std::sort(got.begin(), got.end());
    FUZZ_CHECK(got == ReferenceTrigrams(bytes), "the collector's set differs for file %zu (%s), pieces of %zu", file,
               Printable(bytes).c_str(), model.pieceSize);
    const FileStamp stamp = {bytes.size(), model.kit[file].stamp};
    model.held[file] = HoldFile(model.index, static_cast<uint32_t>(file), stamp, IsUtf16(bytes), trigrams, count);
    model.seen[file] = bytes;
    model.seenStamp[file] = model.kit[file].stamp;
}

void Relist(Model& model) {
    free(model.names);
    model.names = ListFiles(model.kit, model.stamps);
    FUZZ_CHECK(RelistFiles(model.index, model.names, model.stamps.data(), model.kit.size()), "relisting failed");
    for (size_t file = 0; file < model.kit.size(); ++file) {
        const bool keeps = model.held[file] && model.seenStamp[file] == model.kit[file].stamp;
        FUZZ_CHECK((model.index->files[file].state == kFileHeld) == keeps, "file %zu %s its sequences on relisting (state %d, stamps %llu/%llu)",
                   file, keeps ? "lost" : "kept", model.index->files[file].state, model.seenStamp[file],
                   model.kit[file].stamp);
        model.held[file] = keeps;
    }
    for (size_t file = 0; file < model.kit.size(); ++file)
        if (model.index->files[file].state == kFileUnread) Hold(model, file);
}

bool Append(void* context, const void* bytes, size_t length) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(bytes), length);
    return true;
}

struct Reading {
    const std::string* bytes;
    size_t at;
};

size_t ReadSaved(void* context, void* into, size_t length) {
    Reading* reading = static_cast<Reading*>(context);
    const size_t take = std::min(length, reading->bytes->size() - reading->at);
    memcpy(into, reading->bytes->data() + reading->at, take);
    reading->at += take;
    return take;
}

void RoundTrip(Model& model) {
    static const char kBuiltFor[] = "C:\\kit\\*\0";
    std::string saved;
    const IndexFileSink sink = {&saved, Append};
    FUZZ_CHECK(SaveContentIndex(model.index, kBuiltFor, sizeof kBuiltFor, sink), "saving failed");
    Reading reading = {&saved, 0};
    const IndexFileSource source = {&reading, ReadSaved};
    IndexFileVerdict verdict;
    ContentIndex* loaded =
        LoadContentIndex(source, saved.size(), kBuiltFor, sizeof kBuiltFor, model.index->memoryCap, &verdict);
    FUZZ_CHECK(loaded != nullptr, "a saved index did not read back: verdict %d", verdict);
    DeleteContentIndex(model.index);
    model.index = loaded;
}

// Whether the matcher finds a match in the file, read as one piece.
bool MatcherFinds(const QueryMatcher& matcher, const std::string& bytes) {
    // Exact, so a read past it lands in a redzone; never null, as a reader's buffer.
    std::unique_ptr<char[]> text(new char[std::max<size_t>(bytes.size(), 1)]);
    memcpy(text.get(), bytes.data(), bytes.size());
    PieceScan scan;
    BeginFileScan(matcher, text.get(), bytes.size(), scan);
    size_t keep;
    return PieceHoldsMatch(matcher, scan, text.get(), bytes.size(), true, &keep);
}

// Whether a file whose folded sequences are `has` holds what q asks, as the
// index should work it out; exact turns false where a literal has more
// sequences than the index consults (eight), so it may choose more.
bool ReferenceMay(const LiteralQuery& q, const std::vector<uint32_t>& has, bool* exact) {
    switch (q.kind) {
    case LiteralQuery::kAll:
        return true;
    case LiteralQuery::kNone:
        return false;
    case LiteralQuery::kLiteral: {
        const std::vector<uint32_t> needs = ReferenceTrigrams(q.literal);
        if (needs.size() > 8) *exact = false;
        return q.literal.size() < 3 || std::includes(has.begin(), has.end(), needs.begin(), needs.end());
    }
    case LiteralQuery::kAnd:
    case LiteralQuery::kOr: {
        const bool all = q.kind == LiteralQuery::kAnd;
        bool may = all;
        for (const LiteralQuery& part : q.parts) may = all ? ReferenceMay(part, has, exact) && may
                                                           : ReferenceMay(part, has, exact) || may;
        return may;
    }
    }
    return true;
}

// What a text search (whole words too) needs a file to hold, from its
// spellings: any one of them. A pattern's literals come from RE2 alone.
LiteralQuery Spellings(const QueryMatcher& matcher, bool utf16File) {
    const QuerySpellings& s = matcher.spellings;
    LiteralQuery any;
    any.kind = LiteralQuery::kOr;
    std::vector<std::string> spellings = {std::string(s.ansi, s.ansiLength)};
    if (s.utf8Length > 0) spellings.push_back(std::string(s.utf8, s.utf8Length));
    if (utf16File) spellings.push_back(std::string(s.utf16, s.utf16Length));
    for (const std::string& spelling : spellings) {
        any.parts.emplace_back();
        any.parts.back().kind = LiteralQuery::kLiteral;
        any.parts.back().literal = spelling;
    }
    return any;
}

void Check(const Model& model, const QueryMatcher& matcher) {
    LiteralQuery plain, utf16;
    std::vector<uint32_t> chosen;
    const bool constrains = SearchLiterals(matcher, plain, utf16);
    const QuerySpellings& s = matcher.spellings;
    FUZZ_CHECK(matcher.pattern || constrains == (s.ansiLength >= 3 && (s.utf8Length == 0 || s.utf8Length >= 3) &&
                                                 s.utf16Length >= 3),
               "text %s: the literals %s", Printable(matcher.query).c_str(), constrains ? "constrain" : "do not");
    FUZZ_CHECK(ChooseFiles(model.index, plain, utf16, chosen), "no choice");
    FUZZ_CHECK(model.index->memoryUsed <= model.index->memoryCap, "the index took %zu bytes past its cap of %zu",
               model.index->memoryUsed, model.index->memoryCap);
    const char* mode = matcher.pattern ? (matcher.wholeWords ? "pattern, whole words" : "pattern")
                                       : (matcher.wholeWords ? "whole words" : "text");
    for (size_t file = 0; file < model.kit.size(); ++file) {
        // Literals that constrain nothing leave the program reading every file.
        const bool isChosen =
            !constrains || std::binary_search(chosen.begin(), chosen.end(), static_cast<uint32_t>(file));
        const std::string& now = model.kit[file].bytes;
        FUZZ_CHECK(!MatcherFinds(matcher, now) || isChosen,
                   "file %zu (%s) holds a match of %s (%s%s) but was not chosen", file, Printable(now).c_str(), Printable(matcher.query).c_str(), mode,
                   matcher.caseInsensitive ? ", case-insensitive" : "");
        FUZZ_CHECK((model.index->files[file].state == kFileHeld) == model.held[file], "file %zu: held %d, want %d",
                   file, model.index->files[file].state == kFileHeld, static_cast<int>(model.held[file]));
        if (!model.held[file]) {
            FUZZ_CHECK(isChosen, "file %zu is not held but was not chosen", file);
            continue;
        }
        if (!constrains) continue;
        const std::vector<uint32_t> has = ReferenceTrigrams(model.seen[file]);
        const bool utf16File = IsUtf16(model.seen[file]);
        bool exact = true;
        const bool may = ReferenceMay(matcher.pattern ? (utf16File ? utf16 : plain) : Spellings(matcher, utf16File),
                                      has, &exact);
        FUZZ_CHECK(!may || isChosen, "held file %zu (%s) may hold %s (%s) but was not chosen", file,
                   Printable(model.seen[file]).c_str(), Printable(matcher.query).c_str(), mode);
        FUZZ_CHECK(!exact || may == isChosen, "held file %zu (%s) cannot hold %s (%s) but was chosen", file,
                   Printable(model.seen[file]).c_str(), Printable(matcher.query).c_str(), mode);
    }
}

std::string TakeFile(FuzzInput& in) {
    const size_t length = in.Byte();
    std::string bytes;
    for (size_t i = 0; i < length && !in.Empty(); ++i) bytes += static_cast<char>(in.Byte());
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    if (in.Empty()) return 0;
    const uint8_t mode = in.Byte();
    std::string query = in.Text();
    if (query.size() > 24) query.resize(24);
    const bool words = (mode & 16) != 0, pattern = (mode & 32) != 0;
    if (pattern) {
        std::string tokens;
        for (unsigned char c : query.substr(0, 12)) tokens += kTokens[c % kTokenCount];
        query = tokens;
    }
    const unsigned char* leadBytes = (mode & 64) ? RefLeadBytes932() : nullptr;
    // One matcher for each case mode; a bad pattern searches nothing.
    static QueryMatcher matchers[2];
    for (int insensitive = 0; insensitive < 2; ++insensitive) {
        PatternError error;
        if (PrepareQueryMatcher(query.c_str(), nullptr, leadBytes, insensitive != 0, words, pattern,
                                matchers[insensitive], &error) != kMatcherReady) {
            ReleaseQueryMatcher(matchers[0]);
            ReleaseQueryMatcher(matchers[1]);
            return 0;
        }
    }
    auto check = [&](const Model& model) {
        for (const QueryMatcher& matcher : matchers) Check(model, matcher);
    };

    Model model;
    model.pieceSize = (mode & 7) == 7 ? 0 : (mode & 7) + 1;
    // One for the whole run: it is large.
    static TrigramCollector* collector = NewTrigramCollector();
    model.collector = collector;
    model.index = NewContentIndex((mode & 8) ? 4096 + 64 * in.Byte() : SIZE_MAX);
    const size_t files = in.Byte() % (kMaxFiles + 1);
    for (size_t i = 0; i < files; ++i) {
        model.kit.push_back(KitFile{"f" + std::to_string(i), TakeFile(in), 0});
        model.held.push_back(false);
        model.seen.push_back(std::string());
        model.seenStamp.push_back(0);
    }
    Relist(model);
    check(model);

    while (!in.Empty()) {
        const int operation = in.Byte() % 8;
        const size_t file = files > 0 ? in.Byte() % files : 0;
        const bool named = files > 0;
        switch (operation) {
        case 0:
        case 6:
            if (!named) break;
            model.kit[file].bytes = TakeFile(in);
            ++model.kit[file].stamp;
            if (operation == 6) {
                Relist(model);
            } else {
                MarkFileChanged(model.index, static_cast<uint32_t>(file));
                model.held[file] = false;
            }
            break;
        case 1:
            if (named) Hold(model, file);
            break;
        case 2:
        case 3:
            if (!named) break;
            (operation == 2 ? MarkFileUnreadable : MarkFileReadAlways)(model.index, static_cast<uint32_t>(file));
            model.held[file] = false;
            break;
        case 4:
            CompactContentIndex(model.index);
            break;
        case 5:
            RoundTrip(model);
            break;
        case 7: {
            std::reverse(model.kit.begin(), model.kit.end());
            std::reverse(model.held.begin(), model.held.end());
            std::reverse(model.seen.begin(), model.seen.end());
            std::reverse(model.seenStamp.begin(), model.seenStamp.end());
            Relist(model);
            break;
        }
        }
        check(model);
    }
    free(model.names);
    DeleteContentIndex(model.index);
    ReleaseQueryMatcher(matchers[0]);
    ReleaseQueryMatcher(matchers[1]);
    return 0;
}
