// The content index natively, through the program's own worker, engine and
// matcher on POSIX file calls: building it against one full search of the
// same files, reading it back, its size in memory and as a file, and whole
// searches with the index ready against the same searches without it, in
// interleaved rounds on a warm cache; medians.
//   content_index_bench <rounds> <index file> <search path> [query...]
// A query written "-i:text" is searched case-insensitively, "-w:text" as
// whole words, "-E:text" as a pattern; they combine ("-w:-i:text").

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "core/content_index.h"
#include "core/file_index_posix.h"
#include "core/index_format.h"
#include "core/query_matcher.h"
#include "core/search_engine.h"
#include "core/search_engine_index.h"
#include "core/search_literals.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Counting {
    size_t rows = 0;
};
void Visiting(void*, const char*) {}
bool Rows(void* context, RowBatch* batch) {
    static_cast<Counting*>(context)->rows += batch->count;
    FreeRowBatch(batch);
    return true;
}
void Tone(void*, unsigned) {}
bool Finished(void*, bool) { return true; }

// Until the worker's first pass is over.
struct Passes {
    std::mutex lock;
    std::condition_variable done;
    bool passed = false, finished = false;
};
void OnProgress(void* context, IndexProgress progress) {
    Passes* passes = static_cast<Passes*>(context);
    std::lock_guard<std::mutex> held(passes->lock);
    passes->passed = passes->passed || progress.done == progress.files;
    passes->done.notify_all();
}
void OnFinished(void* context) {
    Passes* passes = static_cast<Passes*>(context);
    std::lock_guard<std::mutex> held(passes->lock);
    passes->finished = true;
    passes->done.notify_all();
}

struct Kit {
    std::string fileIndex;
    std::vector<FileStamp> stamps;
    std::string pattern;
    WatchedFolder folder;
};

// A keeper with its index built (or read back) for the kit; the time it took.
IndexKeeper* Index(const Kit& kit, const std::string& indexFile, double* ms) {
    IndexKeeper* keeper = NewIndexKeeper(kContentIndexCap);
    IndexJob job;
    job.listing = 1;
    job.fileIndex = kit.fileIndex;
    job.stamps = kit.stamps;
    job.folders = {kit.folder};
    job.builtFor = kit.pattern + '\0';
    job.indexFile = indexFile;
    job.readers = DefaultReaderCount();
    static Passes* passes;
    passes = new Passes;
    const Clock::time_point start = Clock::now();
    IndexWorker* worker = StartIndexWorker(keeper, job, IndexEvents{passes, OnProgress, OnFinished});
    std::unique_lock<std::mutex> held(passes->lock);
    passes->done.wait(held, [] { return passes->passed; });
    *ms = Ms(start);
    held.unlock();
    // Its file is written after the pass: the next start reads it.
    struct stat info;
    for (int i = 0; i < 6000 && stat(indexFile.c_str(), &info) != 0; ++i) usleep(10000);
    ReleaseIndexWorker(worker);
    held.lock();
    passes->done.wait(held, [] { return passes->finished; });
    return keeper;
}

// The modes a query is written with: "-i:", "-w:" and "-E:" in front, in
// any order, for case-insensitive, whole words and a pattern, as grep has
// them; the text after the last prefix is the query.
const char* TakeModes(const char* query, bool* insensitive, bool* words, bool* pattern) {
    *insensitive = *words = *pattern = false;
    for (;;) {
        if (strncmp(query, "-i:", 3) == 0) *insensitive = true;
        else if (strncmp(query, "-w:", 3) == 0) *words = true;
        else if (strncmp(query, "-E:", 3) == 0) *pattern = true;
        else return query;
        query += 3;
    }
}

// A whole search as the program makes one: the files the index chooses,
// then the engine over them.
double SearchMs(IndexKeeper* keeper, const Kit& kit, const char* query, size_t* rows, size_t* read) {
    bool insensitive, words, pattern;
    query = TakeModes(query, &insensitive, &words, &pattern);
    const Clock::time_point start = Clock::now();
    static QueryMatcher matcher;
    PatternError error;
    if (PrepareQueryMatcher(query, nullptr, nullptr, insensitive, words, pattern, matcher, &error) != kMatcherReady) {
        fprintf(stderr, "%s: %s\n", query, error.message.c_str());
        exit(2);
    }
    const char* block = kit.fileIndex.data();
    IndexWriter writer = {nullptr, 0, 0, [](char* b, size_t n) { return static_cast<char*>(realloc(b, n)); }, false,
                          false};
    std::vector<uint32_t> files;
    *read = kit.stamps.size();
    LiteralQuery plain, utf16;
    // Every file chosen: the index itself serves, as in the program.
    if (keeper != nullptr && SearchLiterals(matcher, plain, utf16) &&
        ChooseIndexedFiles(keeper, 1, plain, utf16, files) && files.size() < kit.stamps.size()) {
        BeginIndex(writer);
        SelectIndexedFiles(block, files.data(), files.size(), writer);
        if (writer.block == nullptr) GrowBlock(writer.block, writer.size, 1, writer.grow);
        EndIndex(writer);
        block = writer.block;
        *read = files.size();
    }
    Counting counting;
    const SearchEvents events = {&counting, Visiting, Rows, Tone, Finished, false};
    SearchIndex(block, matcher, DefaultReaderCount(), events);
    free(writer.block);
    ReleaseQueryMatcher(matcher);
    *rows = counting.rows;
    return Ms(start);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: content_index_bench <rounds> <index file> <search path> [query...]\n");
        return 2;
    }
    const int rounds = atoi(argv[1]);
    const std::string indexFile = argv[2];
    Kit kit;
    kit.pattern = argv[3];
    const char* paths[] = {argv[3]};
    char* block = BuildPosixFileIndex(paths, 1, "/", &kit.stamps);
    kit.fileIndex.assign(block, FileIndexLength(block));
    free(block);
    unsigned long long bytes = 0;
    for (const FileStamp& stamp : kit.stamps) bytes += stamp.size;
    const size_t tree = kit.pattern.find("/**/");
    kit.folder = tree != std::string::npos ? WatchedFolder{kit.pattern.substr(0, tree + 1), true}
                                           : WatchedFolder{kit.pattern.substr(0, kit.pattern.find_last_of('/') + 1), false};

    const std::vector<const char*> queries(argv + 4, argv + argc);
    std::vector<std::vector<double>> plain(queries.size()), indexed(queries.size());
    std::vector<size_t> rows(queries.size()), read(queries.size());
    std::vector<double> builds, readBacks;
    IndexKeeper* keeper = nullptr;
    size_t memory = 0;
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms the cache
        unlink(indexFile.c_str());
        double ms;
        if (keeper != nullptr) DeleteIndexKeeper(keeper);
        keeper = Index(kit, indexFile, &ms);
        if (round > 0) builds.push_back(ms);
        DeleteIndexKeeper(keeper);
        keeper = Index(kit, indexFile, &ms);
        if (round > 0) readBacks.push_back(ms);
        for (size_t q = 0; q < queries.size(); ++q) {
            size_t found, files;
            const double without = SearchMs(nullptr, kit, queries[q], &found, &files);
            const double with = SearchMs(keeper, kit, queries[q], &rows[q], &read[q]);
            if (found != rows[q])
                fprintf(stderr, "%s: %zu rows without the index, %zu with it\n", queries[q], found, rows[q]);
            if (round > 0) plain[q].push_back(without), indexed[q].push_back(with);
        }
    }
    struct stat info;
    const unsigned long long fileSize =
        stat(indexFile.c_str(), &info) == 0 ? static_cast<unsigned long long>(info.st_size) : 0;
    memory = IndexMemoryUsed(keeper);
    printf("%s: %zu files, %.1f MB; %d rounds, medians, %d readers\n", argv[3], kit.stamps.size(), bytes / 1e6, rounds,
           DefaultReaderCount());
    printf("  index: in memory %.1f MB (%.1f%% of the kit), as a file %.1f MB (%.1f%%)\n", memory / 1e6,
           100.0 * memory / bytes, fileSize / 1e6, 100.0 * fileSize / bytes);
    printf("  building it %.1f ms, reading it back %.1f ms (%.1f%% of building)\n", Median(builds), Median(readBacks),
           100.0 * Median(readBacks) / Median(builds));
    for (size_t q = 0; q < queries.size(); ++q)
        printf("  %-22s without %8.2f ms, with %8.2f ms (%5.3f x), %5zu of %zu files read, %zu rows\n", queries[q],
               Median(plain[q]), Median(indexed[q]), Median(indexed[q]) / Median(plain[q]), read[q], kit.stamps.size(),
               rows[q]);
    DeleteIndexKeeper(keeper);
    return 0;
}
