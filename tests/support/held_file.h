#pragma once

#include <windows.h>

#include <string>

// A file held open with share mode 0 by another process (hold_file.exe,
// beside the test) for as long as the object lives.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool Held() const { return held_; }

private:
    PROCESS_INFORMATION process_ = {};
    HANDLE input_ = nullptr;
    bool held_ = false;
};
