// Running out of memory while a search starts or runs: for each n, the n-th
// allocation from the start fails, on whichever thread makes it. The run
// then does not start, or stops having handed on the rows it had put in
// order, or, where the failure only costs it a reader, completes; the
// process goes on, and nothing leaks. A binary of its own, since it
// replaces operator new.

#include <gtest/gtest.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/search_engine.h"
#include "failing_new.h"
#include "fake_files.h"

namespace {

// A receiver that allocates nothing, so that only the engine's allocations fail.
struct QuietRecord {
    std::mutex lock;
    char rows[2048] = {};  // each row and a newline
    size_t rowsLength = 0;
    char tones[64] = {};  // a letter per tone: 2, 3 or 4 for 200, 300 or 400 Hz
    size_t toneCount = 0;
    std::atomic<int> finished{0};
    std::atomic<bool> stopped{false};
    std::atomic<int> late{0};
};

QuietRecord& Of(void* context) { return *static_cast<QuietRecord*>(context); }

void Visiting(void* context, const char*) { Of(context).late += Of(context).finished; }

bool Rows(void* context, RowBatch* batch) {
    QuietRecord& record = Of(context);
    {
        std::lock_guard<std::mutex> held(record.lock);
        record.late += record.finished;
        const char* row = batch->paths.data();
        for (size_t i = 0; i < batch->count; ++i, row += strlen(row) + 1) {
            const size_t length = strlen(row);
            if (record.rowsLength + length + 1 >= sizeof record.rows) abort();
            memcpy(record.rows + record.rowsLength, row, length);
            record.rowsLength += length;
            record.rows[record.rowsLength++] = '\n';
        }
    }
    FreeRowBatch(batch);
    return true;
}

void Tone(void* context, unsigned hertz) {
    QuietRecord& record = Of(context);
    std::lock_guard<std::mutex> held(record.lock);
    record.late += record.finished;
    if (record.toneCount + 1 >= sizeof record.tones) abort();
    record.tones[record.toneCount++] = static_cast<char>('0' + hertz / 100);
}

bool Finished(void* context, bool stopped) {
    Of(context).stopped = stopped;
    ++Of(context).finished;
    return true;
}

SearchEvents QuietEvents(QuietRecord* record) { return {record, Visiting, Rows, Tone, Finished, false}; }

// Up to five seconds, without allocating.
bool WaitForFinished(const QuietRecord& record) {
    for (int i = 0; i < 5000 && record.finished == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return record.finished > 0;
}

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

TEST(OutOfMemory, ARunThatCannotGoOnStopsAndOneThatCannotStartDoesNot) {
    // Names too long to be kept without an allocation of their own.
    std::map<std::string, FakeFile> files;
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) {
        const std::string name = "a-name-longer-than-a-short-string-" + std::to_string(i) + ".inc";
        files["/kit/" + name] = {i % 3 == 0 ? "needle" : "hay"};
        names.push_back(name);
    }
    files["/kit/" + names[4]].sizeFails = true;  // a tone, 300 Hz
    SetFakeFiles(files, 0, 0);
    const FakeIndex index({{"/kit/", names}});
    static QueryMatcher matcher;
    ASSERT_EQ(PrepareQueryMatcher("needle", nullptr, nullptr, false, false, false, matcher, nullptr), kMatcherReady);

    QuietRecord whole;
    SearchRun* run = StartSearch(index.block, matcher, 2, QuietEvents(&whole));
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(WaitForFinished(whole));
    ReleaseSearch(run);
    const std::string allRows(whole.rows, whole.rowsLength), allTones(whole.tones, whole.toneCount);
    ASSERT_EQ(allRows, "/kit/" + names[0] + "\n/kit/" + names[3] + "\n/kit/" + names[6] + "\n/kit/" + names[9] + "\n");
    ASSERT_EQ(allTones, "3");

    int notStarted = 0, stopped = 0, completed = 0;
    for (long n = 1;; ++n) {
        QuietRecord record;
        FailAllocation(n);
        run = StartSearch(index.block, matcher, 2, QuietEvents(&record));
        const bool ended = run == nullptr || WaitForFinished(record);
        if (run != nullptr) ReleaseSearch(run);
        const bool failed = AllocationFailed();
        StopFailingAllocations();

        const std::string rows(record.rows, record.rowsLength), tones(record.tones, record.toneCount);
        ASSERT_TRUE(ended) << "allocation " << n << ": the run never ended";
        EXPECT_EQ(record.late, 0) << "allocation " << n;
        if (run == nullptr) {
            ++notStarted;
            EXPECT_TRUE(failed) << "allocation " << n;
            EXPECT_EQ(record.finished, 0) << "allocation " << n;
            EXPECT_EQ(rows + tones, "") << "allocation " << n;
        } else if (record.stopped) {
            ++stopped;
            EXPECT_TRUE(failed) << "allocation " << n;
            EXPECT_EQ(record.finished, 1) << "allocation " << n;
            EXPECT_TRUE(StartsWith(allRows, rows)) << "allocation " << n << ": " << rows;
            EXPECT_TRUE(StartsWith(allTones, tones)) << "allocation " << n << ": " << tones;
        } else {
            ++completed;
            EXPECT_EQ(record.finished, 1) << "allocation " << n;
            EXPECT_EQ(rows, allRows) << "allocation " << n;
            EXPECT_EQ(tones, allTones) << "allocation " << n;
        }
        if (!failed) break;  // the run made fewer allocations: each of them has failed once
        ASSERT_LT(n, 2000);
    }
    EXPECT_GT(notStarted, 0);
    EXPECT_GT(stopped, 0);
    EXPECT_GT(completed, 0);
}

}  // namespace
