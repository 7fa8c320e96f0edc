#include "support/temp_folder.h"

#include <windows.h>

#include <stdexcept>

namespace {

int counter = 0;

std::string UniqueFolder(const std::string& parent) {
    return parent + "vantrel-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + "\\";
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::wstring LongPathW(const std::string& path) {
    std::wstring wide(path.size() + 1, L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length - 1 : 0);
    return L"\\\\?\\" + wide;
}

TempFolder::TempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = UniqueFolder(temp);
    if (!CreateDirectoryA(path_.c_str(), nullptr)) throw std::runtime_error("cannot create " + path_);
}

TempFolder::TempFolder(const std::string& parent) : path_(UniqueFolder(parent)) {
    if (!CreateDirectoryA(path_.c_str(), nullptr)) throw std::runtime_error("cannot create " + path_);
}

TempFolder::~TempFolder() { RemoveTree(LongPathW(path_)); }

void TempFolder::Write(const std::string& name, const std::string& bytes) const {
    HANDLE file = CreateFileW(LongPathW(path_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path_ + name);
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != bytes.size()) throw std::runtime_error("cannot write " + path_ + name);
}

void TempFolder::MakeFolder(const std::string& name) const {
    if (!CreateDirectoryW(LongPathW(path_ + name).c_str(), nullptr))
        throw std::runtime_error("cannot create " + path_ + name);
}
