#pragma once

#include <windows.h>

#include <string>

// A file held open by another process (hold_file.exe, beside the test) for
// as long as the object lives: with share mode 0, or open for writing with
// others allowed to read.
class HeldFile {
public:
    enum Mode { kUnshared, kWriting };
    explicit HeldFile(const std::string& path, Mode mode = kUnshared);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool Held() const { return held_; }

private:
    PROCESS_INFORMATION process_ = {};
    HANDLE input_ = nullptr;
    bool held_ = false;
};
