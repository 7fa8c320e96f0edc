#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

// Files held in memory, standing in for the platform's file calls, so that a
// test of the search engine decides what each file holds, how each call
// fails and how long each file takes to open.

// A call that waits, as one to a share that stopped answering does, until
// ReleaseStalls (or ten seconds, the network giving up), then goes on as usual.
enum class Stall { kNone, kInOpen, kInRead };

struct FakeFile {
    std::string bytes;
    unsigned long long zeros = 0;  // zero bytes after `bytes`: a huge file that takes no memory
    bool opens = true;
    bool sizeFails = false;
    bool readFails = false;  // the first read fails, having read nothing
    Stall stall = Stall::kNone;
};

// Each open waits a pseudo-random time below maxDelayUs, the same for a path
// and a seed; no wait when maxDelayUs is 0. Set while no search runs.
void SetFakeFiles(const std::map<std::string, FakeFile>& files, unsigned seed, unsigned maxDelayUs);

// How many reads the file has had since SetFakeFiles.
unsigned long long FakeReadsOf(const std::string& path);

// How many calls wait in a stall now; ReleaseStalls lets them, and every
// later one, go on until the next SetFakeFiles.
int StalledCalls();
void ReleaseStalls();

// An index block of groups, each a folder and its names in order.
struct FakeIndex {
    explicit FakeIndex(const std::vector<std::pair<std::string, std::vector<std::string>>>& groups);
    ~FakeIndex();
    FakeIndex(const FakeIndex&) = delete;
    FakeIndex& operator=(const FakeIndex&) = delete;
    char* block;
};
