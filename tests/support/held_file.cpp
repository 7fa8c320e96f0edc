#include "support/held_file.h"

#include <string.h>

#include "core/executable_path.h"

HeldFile::HeldFile(const std::string& path, Mode mode) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE inputRead, outputRead, outputWrite;
    if (!CreatePipe(&inputRead, &input_, &inherit, 0)) return;
    if (!CreatePipe(&outputRead, &outputWrite, &inherit, 0)) {
        CloseHandle(inputRead);
        return;
    }
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = outputWrite;
    std::string exe = std::string(ExecutableDirectory()) + "hold_file.exe";
    std::string commandLine = "\"" + exe + "\" \"" + path + "\"" + (mode == kWriting ? " write" : "");
    if (CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process_)) {
        CloseHandle(outputWrite);
        outputWrite = nullptr;
        char answer[16] = "";
        DWORD got = 0;
        ReadFile(outputRead, answer, sizeof answer - 1, &got, nullptr);
        held_ = got >= 4 && memcmp(answer, "held", 4) == 0;
    } else {
        process_ = {};
    }
    CloseHandle(inputRead);
    if (outputWrite != nullptr) CloseHandle(outputWrite);
    CloseHandle(outputRead);
}

// Its input ends, so it lets the file go and leaves.
HeldFile::~HeldFile() {
    if (input_ != nullptr) CloseHandle(input_);
    if (process_.hProcess == nullptr) return;
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}
