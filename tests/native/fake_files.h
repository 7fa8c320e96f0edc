#pragma once

#include <map>
#include <string>

// Files held in memory, standing in for the platform's file calls, so that a
// test of the search engine decides what each file holds, how each call
// fails and how long each file takes to open.
struct FakeFile {
    std::string bytes;
    unsigned long long zeros = 0;  // zero bytes after `bytes`: a huge file that takes no memory
    bool opens = true;
    bool sizeFails = false;
    bool readFails = false;  // the first read fails, having read nothing
};

// Each open waits a pseudo-random time below maxDelayUs, the same for a path
// and a seed; no wait when maxDelayUs is 0. Set before a search starts.
void SetFakeFiles(const std::map<std::string, FakeFile>& files, unsigned seed, unsigned maxDelayUs);

// How many reads the file has had since SetFakeFiles.
unsigned long long FakeReadsOf(const std::string& path);
