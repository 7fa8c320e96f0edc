#include "program_test.h"

#include <fstream>
#include <sstream>

#include "res/resource.h"

namespace {

const char kOptionsCaption[] = " Options";

}  // namespace

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

Lines SplitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

Lines SettingsLines(const Lines& paths, const std::string& editor) {
    Lines lines = {"[TRESKO]"};
    for (size_t slot = 0; slot < 5; ++slot)
        lines.push_back("Path" + std::to_string(slot + 1) + "=" + (slot < paths.size() ? paths[slot] : ""));
    lines.push_back("Editor=" + editor);
    return lines;
}

std::string SettingsText(const Lines& paths, const std::string& editor) {
    std::string text;
    for (const std::string& line : SettingsLines(paths, editor)) text += line + "\r\n";
    return text;
}

FILETIME LastWrite(const std::string& path) {
    FILETIME written = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return written;
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    return written;
}

void BackdateFile(const std::string& path) {
    SYSTEMTIME longAgo = {2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME time = {};
    SystemTimeToFileTime(&longAgo, &time);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
}

std::string ProgramTest::Install(const std::string& exe) const {
    std::string copy = home / exe;
    EXPECT_TRUE(CopyFileA((BuildFolder() + exe).c_str(), copy.c_str(), FALSE)) << "cannot copy " << exe;
    return copy;
}

HWND ProgramTest::OpenOptions(const Program& program) const {
    program.Command(IDM_OPTIONS);
    HWND options = nullptr;
    WaitUntil([&] { return (options = FindProcessWindow(program.Id(), kOptionsCaption)) != nullptr; });
    EXPECT_NE(options, nullptr) << "no options dialog";
    // The whole dialog, caption included, opens on the screen.
    RECT frame = {};
    if (options != nullptr && GetWindowRect(options, &frame)) {
        EXPECT_GE(frame.top, 0);
        EXPECT_GE(frame.left, 0);
    }
    return options;
}

void ProgramTest::ClickAndWaitClosed(HWND dialog, int button) {
    PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "the dialog stayed open";
}

void ProgramTest::KeepSettings(const std::string& settings) {
    BackdateFile(settings);
    keptSettings_ = settings;
    keptBytes_ = ReadBytes(settings);
    keptWrite_ = LastWrite(settings);
}

void ProgramTest::ExpectEndLeavingSettings(const Program& program, UINT message, WPARAM wParam) const {
    PostMessageA(program.Main(), message, wParam, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(&exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadBytes(keptSettings_), keptBytes_);
    const FILETIME after = LastWrite(keptSettings_);
    EXPECT_EQ(CompareFileTime(&after, &keptWrite_), 0) << "the settings file was written";
}
