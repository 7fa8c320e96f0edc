// The search engine's readers and delivery, on files held in memory whose
// opening takes a different time each run: whatever the number of readers
// and whichever file ends first, rows and tones come out as one reader's.
// Built with ThreadSanitizer too.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/index_format.h"
#include "core/search_engine.h"
#include "fake_files.h"
#include "search_record.h"

namespace {

using Strings = std::vector<std::string>;
using Tones = std::vector<unsigned>;

char* Grow(char* block, size_t size) { return static_cast<char*>(realloc(block, size)); }

// One group per folder, each with its names in order.
struct Index {
    explicit Index(const std::vector<std::pair<std::string, Strings>>& groups) {
        IndexWriter writer = {nullptr, 0, 0, Grow, false, false};
        BeginIndex(writer);
        for (const auto& group : groups)
            for (size_t i = 0; i < group.second.size(); ++i) {
                const char* name = group.second[i].c_str();
                EXPECT_TRUE(i == 0 ? AddGroupEntry(writer, group.first.c_str(), group.first.size(), name)
                                   : AddNameEntry(writer, name));
            }
        if (writer.block == nullptr) writer.block = Grow(nullptr, 1);
        EndIndex(writer);
        block = writer.block;
    }
    ~Index() { free(block); }
    char* block;
};

// A text query; the matcher lives until the next call.
const QueryMatcher& Matcher(const char* query, bool caseInsensitive) {
    static QueryMatcher matcher;
    ReleaseQueryMatcher(matcher);
    EXPECT_EQ(PrepareQueryMatcher(query, nullptr, nullptr, caseInsensitive, false, false, matcher, nullptr),
              kMatcherReady);
    return matcher;
}

struct Outcome {
    Strings rows;
    Tones tones;
};

// Paced rows that the receiver never says it has taken still all arrive.
Outcome Search(const Index& index, const char* query, int readers, bool paced = false) {
    SearchRecord record;
    SearchEvents events = RecordingEvents(&record);
    events.paced = paced;
    EXPECT_TRUE(SearchIndex(index.block, Matcher(query, true), readers, events));
    EXPECT_EQ(record.finished, 1);
    EXPECT_FALSE(record.stopped);
    return {record.rows, record.tones};
}

// A hit at the very end of a file of three pieces and more.
std::string HitAtTheEnd() {
    std::string bytes(kFirstReadPiece + 2 * kReadPiece + 100, 'x');
    bytes.replace(bytes.size() - 6, 6, "needle");
    return bytes;
}

TEST(SearchOrder, AnyNumberOfReadersAndAnyTimingGiveTheRowsAndTonesOfOne) {
    FakeFile unopenable, sizeless, unreadable;
    unopenable.opens = false;
    sizeless.bytes = "needle";
    sizeless.sizeFails = true;  // counted as empty: a tone, no row
    unreadable.bytes = "needle";
    unreadable.readFails = true;
    std::map<std::string, FakeFile> files = {
        {"/kit/hit.inc", {"a needle"}},       {"/kit/miss.inc", {"hay"}},    {"/kit/locked.inc", unopenable},
        {"/kit/empty.inc", {""}},             {"/kit/end.inc", {HitAtTheEnd()}}, {"/kit/sizeless.inc", sizeless},
        {"/kit/unreadable.inc", unreadable},  {"/more/NEEDLE.h", {"NEEDLE"}},
    };
    std::vector<std::pair<std::string, Strings>> groups = {
        {"/kit/", {"hit.inc", "miss.inc", "locked.inc", "empty.inc", "end.inc", "sizeless.inc", "unreadable.inc"}},
        {"/more/", {"NEEDLE.h"}},
        {"/kit/", {"hit.inc"}},  // the same file through a second path
    };
    // Many more, so that readers overtake one another: every third holds the query.
    Strings many;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "f" + std::to_string(i) + ".h";
        files["/many/" + name] = {i % 3 == 0 ? "x needle" : "x"};
        many.push_back(name);
    }
    groups.push_back({"/many/", many});
    const Index index(groups);

    SetFakeFiles(files, 0, 0);
    const Outcome one = Search(index, "needle", 1);
    ASSERT_GE(one.rows.size(), 4u);
    EXPECT_EQ(Strings(one.rows.begin(), one.rows.begin() + 4),
              (Strings{"/kit/hit.inc", "/kit/end.inc", "/more/NEEDLE.h", "/kit/hit.inc"}));
    EXPECT_EQ(one.rows.size(), 4u + 100u);
    EXPECT_EQ(one.rows.back(), "/many/f297.h");
    EXPECT_EQ(one.tones, (Tones{200, 300, 400, 300, 400}));

    for (int readers : {1, 2, 8})
        for (unsigned seed : {1u, 2u, 3u}) {
            SetFakeFiles(files, seed, 2000);
            const bool paced = seed == 3;
            const Outcome outcome = Search(index, "needle", readers, paced);
            EXPECT_EQ(outcome.rows, one.rows) << readers << " readers, seed " << seed << (paced ? ", paced" : "");
            EXPECT_EQ(outcome.tones, one.tones) << readers << " readers, seed " << seed << (paced ? ", paced" : "");
        }
}

TEST(SearchOrder, AStopEndsTheRunInsideAHugeFileAndNothingAfterItIsDelivered) {
    FakeFile huge;
    huge.zeros = 1ull << 40;  // a terabyte of zeros: read whole, it would take minutes
    const std::map<std::string, FakeFile> files = {
        {"/kit/a.inc", {"needle"}}, {"/kit/huge.inc", huge}, {"/kit/z.inc", {"needle"}}};
    const Index index({{"/kit/", {"a.inc", "huge.inc", "z.inc"}}});
    SetFakeFiles(files, 0, 0);

    SearchRecord record;
    SearchRun* run = StartSearch(index.block, Matcher("needle", false), 2, RecordingEvents(&record));
    ASSERT_NE(run, nullptr);
    // The other reader goes on past the huge file while it is being read.
    for (int i = 0; i < 5000 && (FakeReadsOf("/kit/huge.inc") < 10 || FakeReadsOf("/kit/z.inc") == 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(FakeReadsOf("/kit/huge.inc"), 10u);
    EXPECT_GT(FakeReadsOf("/kit/z.inc"), 0u);
    StopSearch(run);
    const unsigned long long readsAtStop = FakeReadsOf("/kit/huge.inc");
    FinishSearch(run);
    // At most the piece being read when the stop came.
    EXPECT_LE(FakeReadsOf("/kit/huge.inc"), readsAtStop + 1);
    EXPECT_EQ(record.finished, 1);
    EXPECT_TRUE(record.stopped);
    // z.inc was found, but its row comes after the huge file's, so never.
    EXPECT_TRUE(record.rows.empty() || record.rows == Strings{"/kit/a.inc"});
}

}  // namespace
