#include "fake_files.h"

#include <string.h>

#include <chrono>
#include <mutex>
#include <thread>

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

unsigned DelayUs(const std::string& path) {
    if (MaxDelayUs == 0) return 0;
    unsigned hash = 2166136261u ^ Seed;
    for (char c : path) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash % MaxDelayUs;
}

}  // namespace

void SetFakeFiles(const std::map<std::string, FakeFile>& files, unsigned seed, unsigned maxDelayUs) {
    Files = files;
    Seed = seed;
    MaxDelayUs = maxDelayUs;
    std::lock_guard<std::mutex> held(ReadsLock);
    Reads.clear();
}

unsigned long long FakeReadsOf(const std::string& path) {
    std::lock_guard<std::mutex> held(ReadsLock);
    auto found = Reads.find(path);
    return found == Reads.end() ? 0 : found->second;
}

SearchedFile* NewSearchedFile() { return new SearchedFile{nullptr, std::string(), 0}; }

void DeleteSearchedFile(SearchedFile* file) { delete file; }

bool OpenSearchedFile(SearchedFile* file, const char* path) {
    std::this_thread::sleep_for(std::chrono::microseconds(DelayUs(path)));
    auto found = Files.find(path);
    if (found == Files.end() || !found->second.opens) return false;
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
