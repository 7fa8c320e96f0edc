#include "support/settings_probe_runner.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>

#include "core/executable_path.h"
#include "support/temp_folder.h"

namespace {

std::wstring Wide(const std::string& ansi) {
    std::wstring wide(ansi.size() + 1, L'\0');
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length - 1 : 0);
    return wide;
}

LoadedSettings Parse(const std::string& output) {
    LoadedSettings loaded;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, 5, "file=") == 0)
            loaded.file = line.substr(5);
        else if (line.size() >= 2 && line[0] >= '0' && line[0] <= '5' && line[1] == '=')
            loaded.slots[line[0] - '0'] = line.substr(2);
    }
    return loaded;
}

}  // namespace

LoadedSettings RunSettingsProbe(const std::string& exe, const std::string& workingDirectory) {
    std::string probe = std::string(ExecutableDirectory()) + "settings_probe.exe";
    EXPECT_TRUE(CopyFileW(LongPathW(probe).c_str(), LongPathW(exe).c_str(), FALSE)) << probe << " to " << exe;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + Wide(exe) + L"\"";
    std::wstring directory = Wide(workingDirectory);
    if (!CreateProcessW(Wide(exe).c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
        ADD_FAILURE() << "cannot start " << exe << ", error " << GetLastError();
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return LoadedSettings();
    }
    CloseHandle(writeEnd);
    std::string output;
    char chunk[4096];
    DWORD got;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) output.append(chunk, got);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    return Parse(output);
}
