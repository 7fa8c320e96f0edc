#include "core/search_engine_index.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/file_index_posix.h"
#include "core/query_matcher.h"
#include "core/search_literals.h"

namespace {

struct Folder {
    std::string path;
    Folder() {
        char name[] = "/tmp/vantrel-index-XXXXXX";
        path = std::string(mkdtemp(name)) + "/";
    }
    ~Folder() { system(("rm -rf '" + path + "'").c_str()); }
    void Write(const std::string& name, const std::string& bytes) const {
        FILE* file = fopen((path + name).c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }
};

// What the worker reported, gathered from its thread.
struct Reports {
    std::mutex lock;
    std::condition_variable changed;
    IndexProgress last = {0, 0};
    int passes = 0;
    bool finished = false;
};

void OnProgress(void* context, IndexProgress progress) {
    Reports* reports = static_cast<Reports*>(context);
    std::lock_guard<std::mutex> held(reports->lock);
    reports->last = progress;
    if (progress.files > 0 && progress.done == progress.files) ++reports->passes;
    reports->changed.notify_all();
}

void OnFinished(void* context) {
    Reports* reports = static_cast<Reports*>(context);
    std::lock_guard<std::mutex> held(reports->lock);
    reports->finished = true;
    reports->changed.notify_all();
}

// The worker holds the index a moment after a pass, drafting its file, and
// a search then rightly reads all: asked again for a while, unless the
// index is expected to say no more than that.
bool ChooseSettled(IndexKeeper* keeper, unsigned long long listing, const LiteralQuery& plain,
                   const LiteralQuery& utf16, std::vector<uint32_t>& files, bool once = false) {
    for (int i = 0;; ++i) {
        if (ChooseIndexedFiles(keeper, listing, plain, utf16, files)) return true;
        if (once || i == 100) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

struct Worker {
    IndexKeeper* keeper = NewIndexKeeper(SIZE_MAX);
    Reports reports;
    IndexWorker* worker = nullptr;
    IndexJob job;

    Worker(const Folder& folder, unsigned long long listing, const std::string& indexFile) {
        const std::string pattern = folder.path + "*.h";
        const char* paths[] = {pattern.c_str()};
        char* block = BuildPosixFileIndex(paths, 1, "/", &job.stamps);
        job.listing = listing;
        job.fileIndex.assign(block, FileIndexLength(block));
        free(block);
        job.folders = {{folder.path, false}};
        job.builtFor = pattern + '\0';
        job.indexFile = indexFile;
        job.readers = 2;
        worker = StartIndexWorker(keeper, job, IndexEvents{&reports, OnProgress, OnFinished});
    }
    ~Worker() {
        if (worker != nullptr) ReleaseIndexWorker(worker);
        std::unique_lock<std::mutex> held(reports.lock);
        reports.changed.wait(held, [&] { return reports.finished; });
        held.unlock();
        DeleteIndexKeeper(keeper);
    }
    bool Pass() {
        std::unique_lock<std::mutex> held(reports.lock);
        return reports.changed.wait_for(held, std::chrono::seconds(10), [&] { return reports.passes > 0; });
    }
    // The files a search of query would read, as names; "all" when the
    // index cannot say (asked once when saysAll expects that). A query
    // written "-w:" is whole words, "-E:" a pattern.
    std::string Chosen(const char* query, bool saysAll = false) {
        const bool words = strncmp(query, "-w:", 3) == 0, pattern = strncmp(query, "-E:", 3) == 0;
        QueryMatcher matcher;
        PatternError error;
        EXPECT_EQ(PrepareQueryMatcher(query + (words || pattern ? 3 : 0), nullptr, nullptr, false, words, pattern,
                                      matcher, &error),
                  kMatcherReady)
            << query;
        LiteralQuery plain, utf16;
        std::vector<uint32_t> files;
        const bool constrains = SearchLiterals(matcher, plain, utf16);
        ReleaseQueryMatcher(matcher);
        if (!constrains || !ChooseSettled(keeper, job.listing, plain, utf16, files, saysAll)) return "all";
        std::string names;
        for (uint32_t file : files) names += std::to_string(file);
        return names;
    }
    // Until a change has been seen, or ten seconds.
    std::string ChosenOnceNot(const char* query, const std::string& before) {
        std::string now;
        for (int i = 0; i < 200 && (now = Chosen(query)) == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return now;
    }
};

TEST(IndexWorker, BuildsWatchesAndKeepsTheIndex) {
    Folder folder;
    folder.Write("a.h", "int WINAPI MessageBoxA(HWND);");
    folder.Write("b.h", "HANDLE WINAPI CreateFileA(LPCSTR);");
    folder.Write("c.h", std::string("\xFF\xFEM\0e\0n\0u\0", 10));
    const std::string indexFile = folder.path + "vantrel.idx";
    {
        Worker worker(folder, 1, indexFile);
        ASSERT_NE(worker.worker, nullptr);
        ASSERT_TRUE(worker.Pass());
        EXPECT_EQ(worker.reports.last.files, 3u);
        EXPECT_EQ(worker.Chosen("MessageBox"), "0");
        EXPECT_EQ(worker.Chosen("WINAPI"), "01");
        EXPECT_EQ(worker.Chosen("menu"), "2") << "UTF-16 in the file with the mark";
        EXPECT_EQ(worker.Chosen("ab", true), "all") << "too short to rule out any";
        EXPECT_EQ(worker.Chosen("-w:WINAPI"), "01");
        EXPECT_EQ(worker.Chosen("-E:MessageBox[AW]|CreateFile[AW]"), "01");
        EXPECT_EQ(worker.Chosen("-E:Men[uU]"), "2") << "a pattern's literal in UTF-16 in the file with the mark";
        EXPECT_EQ(worker.Chosen("-E:\\w+A\\("), "01") << "a( is too short to rule out a plain file, not in UTF-16";
        EXPECT_EQ(worker.Chosen("-E:\\w+", true), "all") << "no literal";
        EXPECT_EQ(worker.Chosen("MessageBox"), "0");
        // b.h changes, a.h goes: both read in full until read again.
        folder.Write("b.h", "MessageBoxW");
        unlink((folder.path + "a.h").c_str());
        EXPECT_EQ(worker.ChosenOnceNot("MessageBox", "0"), "01");
        struct stat info;
        for (int i = 0; i < 200 && stat(indexFile.c_str(), &info) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(stat(indexFile.c_str(), &info), 0) << "written after the first pass";
    }
    // The next start reads the file back; a file gone is dropped, one
    // changed is read again.
    {
        Worker worker(folder, 7, indexFile);
        ASSERT_TRUE(worker.Pass());
        EXPECT_EQ(worker.reports.last.files, 2u);
        EXPECT_EQ(worker.Chosen("MessageBox"), "0") << "b.h, now first, and a.h gone";
        EXPECT_EQ(worker.Chosen("menu"), "1");
        EXPECT_EQ(worker.Chosen("nothing"), "");
    }
}

// Another program holding the old file a moment (here: a folder in its
// place) does not leave the index unwritten until the next change.
TEST(IndexWorker, AWriteThatFailsIsTriedAgain) {
    Folder folder;
    folder.Write("a.h", "int WINAPI MessageBoxA(HWND);");
    const std::string indexFile = folder.path + "vantrel.idx";
    ASSERT_EQ(mkdir(indexFile.c_str(), 0700), 0);
    Worker worker(folder, 1, indexFile);
    ASSERT_TRUE(worker.Pass());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past the first write
    ASSERT_EQ(rmdir(indexFile.c_str()), 0);
    struct stat info = {};
    for (int i = 0; i < 200 && (stat(indexFile.c_str(), &info) != 0 || !S_ISREG(info.st_mode)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(S_ISREG(info.st_mode)) << "written once the way is free";
}

TEST(IndexWorker, AFolderThatCannotBeWatchedIsReadInFull) {
    Folder folder;
    folder.Write("a.h", "MessageBoxA");
    folder.Write("b.h", "CreateFileA");
    Worker worker(folder, 1, "");
    ASSERT_TRUE(worker.Pass());
    EXPECT_EQ(worker.Chosen("CreateFile"), "1");
    // The same listing, its folder now named without a separator: no watch.
    IndexKeeper* keeper = NewIndexKeeper(SIZE_MAX);
    Reports reports;
    IndexJob job = worker.job;
    job.folders[0].directory.pop_back();
    IndexWorker* unwatched = StartIndexWorker(keeper, job, IndexEvents{&reports, OnProgress, OnFinished});
    ASSERT_NE(unwatched, nullptr);
    {
        std::unique_lock<std::mutex> held(reports.lock);
        ASSERT_TRUE(reports.changed.wait_for(held, std::chrono::seconds(10), [&] { return reports.passes > 0; }));
    }
    std::vector<uint32_t> files;
    QuerySpellings spellings;
    PrepareQuerySpellings("CreateFile", nullptr, spellings);
    ASSERT_TRUE(ChooseSettled(keeper, job.listing, SpellingLiterals(spellings, false),
                              SpellingLiterals(spellings, true), files));
    EXPECT_EQ(files, (std::vector<uint32_t>{0, 1}));
    ReleaseIndexWorker(unwatched);
    std::unique_lock<std::mutex> held(reports.lock);
    reports.changed.wait(held, [&] { return reports.finished; });
    held.unlock();
    DeleteIndexKeeper(keeper);
}

}  // namespace
