#include "core/effects.h"

#include <string>
#include <vector>

// The recording build's effects: one line each in effects.log beside the
// executable, where a driver in another process reads them.

namespace {

void AppendLine(const std::string& line) {
    std::vector<char> path(32768);
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) return;
    std::string logFile(path.data(), length);
    logFile.erase(logFile.find_last_of('\\') + 1);
    logFile += "effects.log";
    HANDLE file = CreateFileA(logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

void PlayTone(DWORD frequency, DWORD) { AppendLine("tone " + std::to_string(frequency)); }

void StartProgram(HWND, const char* file, const char* parameters) {
    AppendLine(std::string("start ") + file + "|" + (parameters != nullptr ? parameters : "(none)"));
}
