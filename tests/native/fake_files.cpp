#include "fake_files.h"

#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "core/index_format.h"
#include "core/searched_file.h"

struct SearchedFile {
    const FakeFile* file;
    std::string path;
    unsigned long long offset;
};

namespace {

std::map<std::string, FakeFile> Files;
unsigned Seed, MaxDelayUs;
std::mutex ReadsLock;
std::map<std::string, unsigned long long> Reads;

std::mutex StallLock;
std::condition_variable StallEnded;
int Stalled = 0;
bool StallsReleased = false;

unsigned DelayUs(const std::string& path) {
    if (MaxDelayUs == 0) return 0;
    unsigned hash = 2166136261u ^ Seed;
    for (char c : path) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash % MaxDelayUs;
}

void StallIf(const FakeFile& file, Stall where) {
    if (file.stall != where) return;
    std::unique_lock<std::mutex> held(StallLock);
    ++Stalled;
    StallEnded.wait_for(held, std::chrono::seconds(10), [] { return StallsReleased; });
    --Stalled;
}

char* Grow(char* block, size_t size) { return static_cast<char*>(realloc(block, size)); }

}  // namespace

void SetFakeFiles(const std::map<std::string, FakeFile>& files, unsigned seed, unsigned maxDelayUs) {
    Files = files;
    Seed = seed;
    MaxDelayUs = maxDelayUs;
    {
        std::lock_guard<std::mutex> held(ReadsLock);
        Reads.clear();
    }
    std::lock_guard<std::mutex> held(StallLock);
    StallsReleased = false;
}

unsigned long long FakeReadsOf(const std::string& path) {
    std::lock_guard<std::mutex> held(ReadsLock);
    auto found = Reads.find(path);
    return found == Reads.end() ? 0 : found->second;
}

int StalledCalls() {
    std::lock_guard<std::mutex> held(StallLock);
    return Stalled;
}

void ReleaseStalls() {
    std::lock_guard<std::mutex> held(StallLock);
    StallsReleased = true;
    StallEnded.notify_all();
}

FakeIndex::FakeIndex(const std::vector<std::pair<std::string, std::vector<std::string>>>& groups) {
    IndexWriter writer = {nullptr, 0, 0, Grow, false, false};
    BeginIndex(writer);
    for (const auto& group : groups)
        for (size_t i = 0; i < group.second.size(); ++i) {
            const char* name = group.second[i].c_str();
            if (!(i == 0 ? AddGroupEntry(writer, group.first.c_str(), group.first.size(), name)
                         : AddNameEntry(writer, name)))
                abort();  // a test's own index that cannot be written
        }
    if (writer.block == nullptr) writer.block = Grow(nullptr, 1);
    EndIndex(writer);
    block = writer.block;
}

FakeIndex::~FakeIndex() { free(block); }

SearchedFile* NewSearchedFile() { return new (std::nothrow) SearchedFile{nullptr, std::string(), 0}; }

void DeleteSearchedFile(SearchedFile* file) { delete file; }

bool OpenSearchedFile(SearchedFile* file, const char* path) {
    std::this_thread::sleep_for(std::chrono::microseconds(DelayUs(path)));
    auto found = Files.find(path);
    if (found == Files.end()) return false;
    StallIf(found->second, Stall::kInOpen);
    if (!found->second.opens) return false;
    file->file = &found->second;
    file->path = path;
    file->offset = 0;
    return true;
}

bool SearchedFileSize(SearchedFile* file, unsigned long long* size) {
    if (file->file->sizeFails) return false;
    *size = file->file->bytes.size() + file->file->zeros;
    return true;
}

bool ReadSearchedFile(SearchedFile* file, char* into, size_t want, size_t* got) {
    {
        std::lock_guard<std::mutex> held(ReadsLock);
        ++Reads[file->path];
    }
    StallIf(*file->file, Stall::kInRead);
    *got = 0;
    if (file->file->readFails) return false;
    const std::string& bytes = file->file->bytes;
    const unsigned long long size = bytes.size() + file->file->zeros;
    while (*got < want && file->offset < size) {
        if (file->offset < bytes.size()) {
            into[(*got)++] = bytes[file->offset++];
        } else {
            const unsigned long long left = size - file->offset;
            const size_t n = want - *got < left ? want - *got : static_cast<size_t>(left);
            memset(into + *got, 0, n);
            *got += n;
            file->offset += n;
        }
    }
    return true;
}

void CloseSearchedFile(SearchedFile* file) { file->file = nullptr; }
