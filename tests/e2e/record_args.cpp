#include <windows.h>
#include <shellapi.h>

#include <string>

// A stand-in editor: appends how it was called to record_args.log beside
// itself, the raw command line and each argument as a program sees them.

namespace {

std::string Ansi(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(size - 1);
    return out;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::string record = std::string("command ") + GetCommandLineA() + "\n";
    record += "argc " + std::to_string(argc) + "\n";
    for (int i = 1; argv != nullptr && i < argc; ++i) record += "argv" + std::to_string(i) + " " + Ansi(argv[i]) + "\n";
    if (argv != nullptr) LocalFree(argv);

    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    std::string logFile(self, length);
    logFile.erase(logFile.find_last_of('\\') + 1);
    logFile += "record_args.log";
    HANDLE file = CreateFileA(logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    // One write, so a reader never sees half a record.
    DWORD written = 0;
    BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == record.size() ? 0 : 1;
}
