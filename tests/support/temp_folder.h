#pragma once

#include <string>

// A fresh folder under the system's temporary folder (or under a given
// parent), removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    explicit TempFolder(const std::string& parent);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path with its final backslash.
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

    // Paths are relative to the folder; any length, through the wide calls.
    void Write(const std::string& name, const std::string& bytes) const;
    void MakeFolder(const std::string& name) const;

private:
    std::string path_;
};

// Wide \\?\ form of an absolute ANSI path, usable past MAX_PATH.
std::wstring LongPathW(const std::string& path);
