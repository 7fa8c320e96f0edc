// Slow: a hundred thousand files in one folder and in a tree of ten thousand
// folders, and a file past 4 GiB. Each step prints its time. The data lives
// in the folder of a ctest fixture, which makes the many files and removes
// whatever a failed run leaves.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>
// After windows.h, which they build on.
#include <psapi.h>
#include <winioctl.h>

#include <memory>
#include <string>
#include <vector>

#include "app_state.h"
#include "core/search_run.h"
#include "support/effects_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"
#include "support/unix_files.h"

namespace {

using Rows = std::vector<std::string>;

class Stopwatch {
public:
    explicit Stopwatch(const char* what) : what_(what), start_(GetTickCount()) {}
    ~Stopwatch() {
        printf("  %s: %lu ms\n", what_, static_cast<unsigned long>(GetTickCount() - start_));
        fflush(stdout);
    }

private:
    const char* what_;
    DWORD start_;
};

PROCESS_MEMORY_COUNTERS MemoryCounters() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

class SlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearRecordedEffects();
        data = UnixFilesFolder();
        ASSERT_FALSE(data.empty()) << "run through ctest, whose fixture makes the files";
        folder.reset(new TempFolder(data));
    }

    Rows Search(const std::string& query) { return window.Search(query); }

    // Indexes the search path and searches it for "needle", timing each
    // step: every file indexed, every hit listed in order, no tone.
    void IndexAndSearch(const std::string& path, size_t files, const Rows& expected, const char* indexing,
                        const char* searching) {
        {
            Stopwatch watch(indexing);
            IndexPaths({path});
        }
        EXPECT_EQ(IndexedFiles().size(), files);
        Rows rows;
        {
            Stopwatch watch(searching);
            rows = Search("needle");
        }
        EXPECT_EQ(rows, expected);
        EXPECT_TRUE(RecordedTones().empty());
    }

    TestWindow window;
    std::string data;
    std::unique_ptr<TempFolder> folder;
};

TEST_F(SlowTest, AFileLargerThan4GiBIsSearchedToItsEndInBoundedMemory) {
    // Sparse: the holes read as zeros and take no disk.
    const LONGLONG size = (4LL << 30) + (64 << 20);
    const std::string path = *folder / "sparse.inc";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER nearTheEnd, end;
    nearTheEnd.QuadPart = size - 100;
    end.QuadPart = size;
    DWORD written = 0;
    const bool made = SetFilePointerEx(file, nearTheEnd, nullptr, FILE_BEGIN) &&
                      WriteFile(file, "needle", 6, &written, nullptr) && written == 6 &&
                      SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(made) << "cannot make " << path;

    IndexPaths({*folder / "*.inc"});
    const PROCESS_MEMORY_COUNTERS before = MemoryCounters();
    Rows rows;
    {
        Stopwatch watch("searching 4 GiB and 64 MiB");
        rows = Search("needle");
    }
    const PROCESS_MEMORY_COUNTERS after = MemoryCounters();
    EXPECT_EQ(rows, Rows{path});
    EXPECT_TRUE(RecordedTones().empty());
    EXPECT_LT(after.PeakWorkingSetSize - before.PeakWorkingSetSize, static_cast<SIZE_T>(64 << 20));
    EXPECT_LT(after.PeakPagefileUsage - before.PeakPagefileUsage, static_cast<SIZE_T>(64 << 20));
}

TEST_F(SlowTest, AHundredThousandFilesInOneFolderAreIndexedAndEveryHitListed) {
    const int files = 100000;
    const std::string many = data + "many\\";
    Rows expected;
    for (int i = 0; i < files; i += 7) {
        char name[32];
        snprintf(name, sizeof name, "file%06d.inc", i);
        expected.push_back(many + name);
    }
    // Wine enumerates in name order.
    IndexAndSearch(many + "*.inc", files, expected, "indexing 100,000 files", "searching 100,000 files, listing 14,286");
}

// tree\t00 to t99, each with s00 to s98, and f0.inc to f9.inc in every one
// of the 10,000 folders: walked folder by folder, depth-first.
TEST_F(SlowTest, AHundredThousandFilesInTenThousandFoldersAreIndexedAndEveryHitListed) {
    const std::string tree = data + "tree\\";
    Rows expected;
    int file = 0;
    auto addFolder = [&](const std::string& folder) {
        for (int f = 0; f < 10; ++f, ++file)
            if (file % 7 == 0) expected.push_back(tree + folder + "f" + std::to_string(f) + ".inc");
    };
    char name[16];
    for (int top = 0; top < 100; ++top) {
        snprintf(name, sizeof name, "t%02d\\", top);
        const std::string topFolder = name;
        addFolder(topFolder);
        for (int sub = 0; sub < 99; ++sub) {
            snprintf(name, sizeof name, "s%02d\\", sub);
            addFolder(topFolder + name);
        }
    }
    IndexAndSearch(tree + "**\\*.inc", file, expected, "indexing 100,000 files in 10,000 folders",
                   "searching 100,000 files in 10,000 folders, listing 14,286");
}

}  // namespace
