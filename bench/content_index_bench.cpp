// The content index alone, natively, on one thread: building it over the
// files of search paths, its size in memory and as a file, reading that file
// back, and choosing the candidates of queries.
//   content_index_bench <rounds> <search path> [query...]

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "core/content_index.h"
#include "core/content_index_file.h"
#include "core/file_index_posix.h"
#include "core/index_format.h"
#include "core/search_engine.h"
#include "core/spelling_literals.h"
#include "core/trigram_set.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool AppendBytes(void* context, const void* bytes, size_t length) {
    std::string* out = static_cast<std::string*>(context);
    out->append(static_cast<const char*>(bytes), length);
    return true;
}

struct Reading {
    const std::string* bytes;
    size_t at;
};

size_t ReadBytes(void* context, void* into, size_t length) {
    Reading* reading = static_cast<Reading*>(context);
    const size_t take = std::min(length, reading->bytes->size() - reading->at);
    memcpy(into, reading->bytes->data() + reading->at, take);
    reading->at += take;
    return take;
}

// Reads every file in the search's pieces and holds its sequences.
void Build(ContentIndex* index, const char* files, TrigramCollector* collector, std::vector<char>& piece,
           unsigned long long* bytes) {
    IndexCursor cursor = StartIndexWalk(files);
    const char* name;
    std::string path;
    for (uint32_t file = 0; NextIndexedFile(cursor, &name); ++file) {
        path.assign(cursor.directory, cursor.directoryLength);
        path += name;
        const int handle = open(path.c_str(), O_RDONLY);
        if (handle < 0) {
            MarkFileUnreadable(index, file);
            continue;
        }
        StartTrigrams(collector);
        bool utf16 = false;
        for (size_t want = kFirstReadPiece;; want = kReadPiece) {
            const ssize_t got = read(handle, piece.data(), want);
            if (got <= 0) break;
            if (want == kFirstReadPiece) utf16 = got >= 2 && piece[0] == '\xFF' && piece[1] == '\xFE';
            AddTrigramPiece(collector, piece.data(), static_cast<size_t>(got));
            *bytes += static_cast<unsigned long long>(got);
            if (static_cast<size_t>(got) < want) break;
        }
        close(handle);
        size_t count;
        const Trigram* trigrams = FinishTrigrams(collector, &count);
        HoldFile(index, file, FileStamp{0, 0}, utf16, trigrams, count);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: content_index_bench <rounds> <search path> [query...]\n");
        return 2;
    }
    const int rounds = atoi(argv[1]);
    const char* paths[] = {argv[2]};
    char* files = BuildPosixFileIndex(paths, 1, "/");
    size_t count = 0;
    {
        IndexCursor cursor = StartIndexWalk(files);
        const char* name;
        while (NextIndexedFile(cursor, &name)) ++count;
    }
    std::vector<FileStamp> stamps(count, FileStamp{0, 0});
    TrigramCollector* collector = NewTrigramCollector();
    std::vector<char> piece(kReadPiece);

    std::vector<double> builds;
    ContentIndex* index = nullptr;
    unsigned long long bytes = 0;
    for (int round = 0; round < rounds; ++round) {
        DeleteContentIndex(index);
        index = NewContentIndex(SIZE_MAX);
        bytes = 0;
        const Clock::time_point start = Clock::now();
        RelistFiles(index, files, stamps.data(), count);
        Build(index, files, collector, piece, &bytes);
        builds.push_back(Ms(start));
    }
    size_t postings = 0;
    for (size_t i = 0; i < index->listCount; ++i) postings += index->lists[i].size;
    std::string saved;
    const IndexFileSink sink = {&saved, AppendBytes};
    const char builtFor[] = "bench";
    std::vector<double> saves, loads;
    for (int round = 0; round < rounds; ++round) {
        saved.clear();
        Clock::time_point start = Clock::now();
        SaveContentIndex(index, builtFor, sizeof builtFor, sink);
        saves.push_back(Ms(start));
        Reading reading = {&saved, 0};
        const IndexFileSource source = {&reading, ReadBytes};
        IndexFileVerdict verdict;
        start = Clock::now();
        ContentIndex* loaded = LoadContentIndex(source, saved.size(), builtFor, sizeof builtFor, SIZE_MAX, &verdict);
        RelistFiles(loaded, files, stamps.data(), count);
        loads.push_back(Ms(start));
        if (loaded == nullptr) fprintf(stderr, "the saved index did not read back: %d\n", verdict);
        DeleteContentIndex(loaded);
    }
    printf("%s: %zu files, %.1f MB; build %.1f ms (one thread); in memory %.1f MB (%.1f%%, lists %.1f MB, %zu "
           "sequences); file %.1f MB (%.1f%%); save %.1f ms, read back and relist %.1f ms\n",
           argv[2], count, bytes / 1e6, Median(builds), index->memoryUsed / 1e6, 100.0 * index->memoryUsed / bytes,
           postings / 1e6, index->listCount, saved.size() / 1e6, 100.0 * saved.size() / bytes, Median(saves),
           Median(loads));

    static QuerySpellings spellings;
    std::vector<uint32_t> chosen;
    // The choice is the same in both case modes: the sequences are folded.
    for (int q = 3; q < argc; ++q) {
        std::vector<double> times;
        PrepareQuerySpellings(argv[q], nullptr, spellings);
        for (int round = 0; round < std::max(rounds, 5) * 20; ++round) {
            const Clock::time_point start = Clock::now();
            ChooseFiles(index, SpellingLiterals(spellings, false), SpellingLiterals(spellings, true), chosen);
            times.push_back(Ms(start));
        }
        printf("  %-20s %zu candidates, %.3f ms\n", argv[q], chosen.size(), Median(times));
    }
    DeleteContentIndex(index);
    DeleteTrigramCollector(collector);
    free(files);
    return 0;
}
