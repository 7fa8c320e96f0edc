// The lines worker over files held in memory: the order in which it serves
// what is asked, what it drops, and how it stops. Built with
// ThreadSanitizer too.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/search_engine_lines.h"
#include "fake_files.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// What the worker answered, gathered from its thread.
struct LineRecord {
    std::mutex lock;
    std::vector<std::string> answers;  // "ask row ticket: count first-line"
    int finished = 0;
    int late = 0;       // answers after `finished`
    int refusals = 0;   // answers still to refuse, as a full queue does
};

LineRecord& Of(void* context) { return *static_cast<LineRecord*>(context); }

bool Answer(void* context, LineAnswer* answer) {
    LineRecord& record = Of(context);
    std::lock_guard<std::mutex> held(record.lock);
    record.late += record.finished;
    if (record.refusals > 0) {
        --record.refusals;
        return false;
    }
    const char* asks[] = {"row", "pane", "open"};
    std::string text = std::string(asks[answer->ask]) + " " + std::to_string(answer->row) + " " +
                       std::to_string(answer->ticket) + ": " + std::to_string(answer->listing.count);
    for (const ListedLine& line : answer->listing.lines) text += " " + std::to_string(line.number);
    if (!answer->opened) text += " unopened";
    record.answers.push_back(text);
    FreeLineAnswer(answer);
    return true;
}

bool Finished(void* context) {
    std::lock_guard<std::mutex> held(Of(context).lock);
    ++Of(context).finished;
    return true;
}

template <class Done>
bool WaitFor(Done done) {
    for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(Ms(1));
    return done();
}

std::vector<std::string> Answers(LineRecord& record) {
    std::lock_guard<std::mutex> held(record.lock);
    return record.answers;
}

bool HasFinished(LineRecord& record) {
    std::lock_guard<std::mutex> held(record.lock);
    return record.finished > 0;
}

LineWorker* Start(LineRecord& record) {
    QueryMatcher matcher;
    PatternError error;
    EXPECT_EQ(PrepareQueryMatcher("needle", nullptr, nullptr, false, false, false, matcher, &error), kMatcherReady);
    return StartLineWorker(matcher, {&record, Answer, Finished});
}

FakeFile Stalled(const std::string& bytes) {
    FakeFile file;
    file.bytes = bytes;
    file.stall = Stall::kInRead;
    return file;
}

// While the worker is held in a read, more is asked: an opening and the
// pane put that row off, and come first; of the rows, those scrolled away
// are dropped and the latest asked for comes first.
TEST(LineWorker, AnOpeningThenThePaneThenTheRowsOnScreenLatestFirst) {
    SetFakeFiles({{"/kit/stalled.inc", Stalled("needle\n")},
                  {"/kit/a.inc", {"x\nneedle\nneedle\n"}},
                  {"/kit/b.inc", {"a\nb\nneedle\n"}},
                  {"/kit/c.inc", {"needle"}},
                  {"/kit/d.inc", {"none"}}},
                 0, 0);
    LineRecord record;
    LineWorker* worker = Start(record);
    ASSERT_NE(worker, nullptr);
    AskRowLines(worker, 10, "/kit/stalled.inc", 0, 20);
    ASSERT_TRUE(WaitFor([] { return StalledCalls() == 1; }));
    AskRowLines(worker, 3, "/kit/c.inc", 0, 20);
    AskRowLines(worker, 11, "/kit/c.inc", 0, 20);
    AskRowLines(worker, 12, "/kit/d.inc", 0, 20);
    AskRowLines(worker, 11, "/kit/c.inc", 10, 20);  // scrolled: row 3 is away; row 11 asked again
    AskPaneLines(worker, 1, "/kit/a.inc", 7);
    AskOpenLine(worker, 2, "/kit/b.inc", 9);
    AskRowLines(worker, 13, "/kit/missing.inc", 10, 20);
    ReleaseStalls();
    const std::vector<std::string> expected = {"open 2 9: 1 3",  "pane 1 7: 2 2 3", "row 10 0: 1 1",
                                               "row 13 0: 0 unopened", "row 11 0: 1 1", "row 12 0: 0"};
    EXPECT_TRUE(WaitFor([&] { return Answers(record).size() >= expected.size(); }));
    std::this_thread::sleep_for(Ms(50));
    EXPECT_EQ(Answers(record), expected);
    ReleaseLineWorker(worker);
    EXPECT_TRUE(WaitFor([&] { return HasFinished(record); }));
}

// Releasing the worker while it waits in a read that does not come back
// returns at once; it ends once the read does, answering nothing more, not
// even what the pane and the opening asked and no longer want.
TEST(LineWorker, ReleasedWhileStalledItEndsOnItsOwnAndDropsWhatIsNoLongerWanted) {
    SetFakeFiles({{"/kit/stalled.inc", Stalled("needle\n")}, {"/kit/a.inc", {"needle\n"}}}, 0, 0);
    LineRecord record;
    LineWorker* worker = Start(record);
    ASSERT_NE(worker, nullptr);
    AskPaneLines(worker, 0, "/kit/stalled.inc", 1);
    ASSERT_TRUE(WaitFor([] { return StalledCalls() == 1; }));
    AskOpenLine(worker, 1, "/kit/a.inc", 2);
    ForgetOpenLine(worker);
    AskPaneLines(worker, 1, "/kit/a.inc", 3);  // the focus moved on: the stalled file's listing is dropped
    AskRowLines(worker, 5, "/kit/stalled.inc", 0, 10);
    const Clock::time_point asked = Clock::now();
    ReleaseLineWorker(worker);
    EXPECT_LT(std::chrono::duration_cast<Ms>(Clock::now() - asked).count(), 100);
    std::this_thread::sleep_for(Ms(100));
    EXPECT_FALSE(HasFinished(record));
    ReleaseStalls();
    ASSERT_TRUE(WaitFor([&] { return HasFinished(record); }));
    std::this_thread::sleep_for(Ms(50));
    std::lock_guard<std::mutex> held(record.lock);
    EXPECT_EQ(record.finished, 1);
    EXPECT_EQ(record.late, 0);
    EXPECT_TRUE(record.answers.empty()) << record.answers.front();
}

TEST(LineWorker, ARefusedAnswerIsOfferedAgain) {
    SetFakeFiles({{"/kit/a.inc", {"needle\n"}}}, 0, 0);
    LineRecord record;
    record.refusals = 2;
    LineWorker* worker = Start(record);
    ASSERT_NE(worker, nullptr);
    AskPaneLines(worker, 1, "/kit/a.inc", 3);
    EXPECT_TRUE(WaitFor([&] { return Answers(record).size() == 1; }));
    EXPECT_EQ(Answers(record), std::vector<std::string>{"pane 1 3: 1 1"});
    ReleaseLineWorker(worker);
    EXPECT_TRUE(WaitFor([&] { return HasFinished(record); }));
}

}  // namespace
