// The search engine's readers and delivery, on files held in memory whose
// opening takes a different time each run: whatever the number of readers
// and whichever file ends first, rows and tones come out as one reader's.
// And what goes wrong around them: a call that stalls, a receiver that
// cannot take a post, a stop. Built with ThreadSanitizer too.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/search_engine.h"
#include "fake_files.h"
#include "search_record.h"

namespace {

using Strings = std::vector<std::string>;
using Tones = std::vector<unsigned>;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

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

// Paced rows that the receiver never says it has taken still all arrive,
// and so do those it refuses at first.
Outcome Search(const FakeIndex& index, const char* query, int readers, bool paced = false, int refusals = 0) {
    SearchRecord record;
    record.refusals = refusals;
    SearchEvents events = RecordingEvents(&record);
    events.paced = paced;
    EXPECT_TRUE(SearchIndex(index.block, Matcher(query, true), readers, events));
    EXPECT_EQ(record.finished, 1);
    EXPECT_FALSE(record.stopped);
    EXPECT_EQ(record.refusals, 0);
    return {record.rows, record.tones};
}

// Up to five seconds.
template <class Done>
bool WaitFor(Done done) {
    for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(Ms(1));
    return done();
}

template <class Read>
auto Locked(SearchRecord& record, Read read) {
    std::lock_guard<std::mutex> held(record.lock);
    return read(record);
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<Ms>(Clock::now() - start).count();
}

bool HasFinished(SearchRecord& record) {
    return Locked(record, [](SearchRecord& r) { return r.finished > 0; });
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
    const FakeIndex index(groups);

    SetFakeFiles(files, 0, 0);
    const Outcome one = Search(index, "needle", 1);
    ASSERT_GE(one.rows.size(), 4u);
    EXPECT_EQ(Strings(one.rows.begin(), one.rows.begin() + 4),
              (Strings{"/kit/hit.inc", "/kit/end.inc", "/more/NEEDLE.h", "/kit/hit.inc"}));
    EXPECT_EQ(one.rows.size(), 4u + 100u);
    EXPECT_EQ(one.rows.back(), "/many/f297.h");
    EXPECT_EQ(one.tones, (Tones{200, 300, 400, 300, 400}));

    // Some runs with a receiver whose queue is full for its first posts.
    for (int readers : {1, 2, 8})
        for (unsigned seed : {1u, 2u, 3u}) {
            SetFakeFiles(files, seed, 2000);
            const bool paced = seed == 3;
            const int refusals = seed == 1 ? 0 : 4;
            const Outcome outcome = Search(index, "needle", readers, paced, refusals);
            const std::string run = std::to_string(readers) + " readers, seed " + std::to_string(seed) +
                                    (paced ? ", paced" : "") + ", " + std::to_string(refusals) + " refused";
            EXPECT_EQ(outcome.rows, one.rows) << run;
            EXPECT_EQ(outcome.tones, one.tones) << run;
        }
}

TEST(SearchOrder, AStopEndsTheRunInsideAHugeFileAndNothingAfterItIsDelivered) {
    FakeFile huge;
    huge.zeros = 1ull << 40;  // a terabyte of zeros: read whole, it would take minutes
    const std::map<std::string, FakeFile> files = {
        {"/kit/a.inc", {"needle"}}, {"/kit/huge.inc", huge}, {"/kit/z.inc", {"needle"}}};
    const FakeIndex index({{"/kit/", {"a.inc", "huge.inc", "z.inc"}}});
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
    ReleaseSearch(run);
    ASSERT_TRUE(WaitFor([&] { return HasFinished(record); }));
    // At most the piece being read when the stop came.
    EXPECT_LE(FakeReadsOf("/kit/huge.inc"), readsAtStop + 1);
    std::lock_guard<std::mutex> held(record.lock);
    EXPECT_EQ(record.finished, 1);
    EXPECT_TRUE(record.stopped);
    // z.inc was found, but its row comes after the huge file's, so never.
    EXPECT_TRUE(record.rows.empty() || record.rows == Strings{"/kit/a.inc"});
}

// Enter, and then closing the window, during a search whose reader waits in
// a call to a share that stopped answering.
TEST(SearchOrder, AStalledCallHoldsUpNeitherTheCallerNorTheNextSearch) {
    const FakeIndex index({{"/share/", {"a.inc", "stalled.inc", "z.inc"}}});
    for (Stall stall : {Stall::kInOpen, Stall::kInRead}) {
        const char* where = stall == Stall::kInOpen ? "stalled in the open" : "stalled in a read";
        FakeFile stalled;
        stalled.bytes = "hay";
        stalled.stall = stall;
        SetFakeFiles({{"/share/a.inc", {"needle"}}, {"/share/stalled.inc", stalled}, {"/share/z.inc", {"needle"}}},
                     0, 0);
        SearchRecord first, second;
        SearchRun* run = StartSearch(index.block, Matcher("needle", false), 2, RecordingEvents(&first));
        ASSERT_NE(run, nullptr);
        ASSERT_TRUE(WaitFor([] { return StalledCalls() == 1; })) << where;

        Clock::time_point asked = Clock::now();
        StopSearch(run);
        ReleaseSearch(run);
        SearchRun* next = StartSearch(index.block, Matcher("needle", false), 2, RecordingEvents(&second));
        EXPECT_LT(MsSince(asked), 100) << where << ": stopping and starting again";
        ASSERT_NE(next, nullptr);
        ASSERT_TRUE(WaitFor([] { return StalledCalls() == 2; })) << where;  // the same file, the same stall
        asked = Clock::now();
        ReleaseSearch(next);
        EXPECT_LT(MsSince(asked), 100) << where << ": ending";

        // Each ends on its own once its call returns, `finished` last, even
        // when a reader's progress comes due on the way out.
        std::this_thread::sleep_for(Ms(kProgressIntervalMs + 50));
        EXPECT_FALSE(HasFinished(first)) << where;
        ReleaseStalls();
        ASSERT_TRUE(WaitFor([&] { return HasFinished(first) && HasFinished(second); })) << where;
        std::this_thread::sleep_for(Ms(50));
        for (SearchRecord* record : {&first, &second}) {
            std::lock_guard<std::mutex> held(record->lock);
            EXPECT_EQ(record->finished, 1) << where;
            EXPECT_TRUE(record->stopped) << where;
            EXPECT_EQ(record->late, 0) << where;
            EXPECT_TRUE(record->rows.empty() || record->rows == Strings{"/share/a.inc"}) << where;
        }
    }
}

// Escape while paced rows wait behind a batch the receiver has not yet
// taken, and behind a stalled file: they are handed on before `finished`.
TEST(SearchOrder, AStopHandsOnTheRowsAlreadyPutInOrder) {
    FakeFile sizeless, stalled;
    sizeless.sizeFails = true;  // a tone, before which the rows so far are handed on
    stalled.bytes = "hay";
    stalled.stall = Stall::kInRead;
    SetFakeFiles({{"/kit/first.inc", {"needle"}}, {"/kit/sizeless.inc", sizeless}, {"/kit/a.inc", {"needle"}},
                  {"/kit/b.inc", {"needle"}}, {"/kit/stalled.inc", stalled}},
                 0, 0);
    const FakeIndex index({{"/kit/", {"first.inc", "sizeless.inc", "a.inc", "b.inc", "stalled.inc"}}});
    SearchRecord record;
    SearchEvents events = RecordingEvents(&record);
    events.paced = true;
    SearchRun* run = StartSearch(index.block, Matcher("needle", false), 1, events);
    ASSERT_NE(run, nullptr);
    // One reader: a.inc and b.inc are read before it stalls; the delivery
    // puts them in order within a few polls.
    ASSERT_TRUE(WaitFor([] { return StalledCalls() == 1; }));
    std::this_thread::sleep_for(Ms(300));
    EXPECT_EQ(Locked(record, [](SearchRecord& r) { return r.rows; }), Strings{"/kit/first.inc"});
    StopSearch(run);
    EXPECT_TRUE(WaitFor([&] { return Locked(record, [](SearchRecord& r) { return r.rows.size() == 3; }); }));
    EXPECT_FALSE(HasFinished(record));  // still in the stalled read
    ReleaseSearch(run);
    ReleaseStalls();
    ASSERT_TRUE(WaitFor([&] { return HasFinished(record); }));
    std::lock_guard<std::mutex> held(record.lock);
    EXPECT_EQ(record.rows, (Strings{"/kit/first.inc", "/kit/a.inc", "/kit/b.inc"}));
    EXPECT_EQ(record.tones, Tones{300});
    EXPECT_TRUE(record.stopped);
    EXPECT_EQ(record.late, 0);
}

// A receiver whose queue is full refuses a post; the engine tries again.
TEST(SearchOrder, ARefusedPostIsMadeAgainAndLeavesNothingStuck) {
    FakeFile stalled;
    stalled.bytes = "hay";
    stalled.stall = Stall::kInRead;
    SetFakeFiles({{"/kit/a.inc", {"needle"}}, {"/kit/b.inc", {"needle"}}, {"/kit/stalled.inc", stalled}}, 0, 0);
    const FakeIndex index({{"/kit/", {"a.inc", "b.inc", "stalled.inc"}}});

    // Paced rows whose first post is refused still come while a slow file
    // holds back the rest: no flag is left saying a batch is out.
    SearchRecord paced;
    paced.refusals = 1;
    SearchEvents events = RecordingEvents(&paced);
    events.paced = true;
    SearchRun* run = StartSearch(index.block, Matcher("needle", false), 1, events);
    ASSERT_NE(run, nullptr);
    EXPECT_TRUE(WaitFor([&] { return Locked(paced, [](SearchRecord& r) { return r.rows.size() == 2; }); }));
    EXPECT_EQ(StalledCalls(), 1);
    ReleaseSearch(run);
    ReleaseStalls();
    ASSERT_TRUE(WaitFor([&] { return HasFinished(paced); }));
    EXPECT_EQ(Locked(paced, [](SearchRecord& r) { return r.rows; }), (Strings{"/kit/a.inc", "/kit/b.inc"}));

    // The end, refused three times, is taken the fourth.
    SetFakeFiles({{"/kit/a.inc", {"needle"}}}, 0, 0);
    SearchRecord ended;
    ended.refusals = 3;
    run = StartSearch(index.block, Matcher("absent", false), 2, RecordingEvents(&ended));
    ASSERT_NE(run, nullptr);
    EXPECT_TRUE(WaitFor([&] { return HasFinished(ended); }));
    ReleaseSearch(run);
    std::lock_guard<std::mutex> held(ended.lock);
    EXPECT_EQ(ended.refusals, 0);
    EXPECT_FALSE(ended.stopped);
    EXPECT_EQ(ended.tones, (Tones{200, 300, 400, 200, 300, 400}));  // b.inc and stalled.inc are gone
}

}  // namespace
