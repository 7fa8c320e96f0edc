// Time of whole searches under the real file calls: a kit of include files is
// written to a temporary folder, indexed once, and searched repeatedly. The
// query is absent, so every byte of every file is read and scanned.

#include <stdio.h>

#include <string>

#include "app_state.h"
#include "core/file_index.h"
#include "core/search_run.h"
#include "res/resource.h"

namespace {

const int kFiles = 1500;
const int kFileSize = 48 * 1024;

std::string MakeFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "vantrel-bench-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string text;
    for (int line = 0; text.size() < static_cast<size_t>(kFileSize); ++line)
        text += "SomeFunctionName" + std::to_string(line) + "   PROTO :DWORD, :DWORD, :HWND, :LPARAM\r\n";
    text.resize(kFileSize);
    for (int i = 0; i < kFiles; ++i) {
        HANDLE file = CreateFileA((folder + "file" + std::to_string(i) + ".inc").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    return folder;
}

void RemoveFolder(const std::string& folder) {
    for (int i = 0; i < kFiles; ++i) DeleteFileA((folder + "file" + std::to_string(i) + ".inc").c_str());
    RemoveDirectoryA(folder.c_str());
}

double BestSearchMs(const char* query, int caseInsensitive) {
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_QUERY, query);
    App.CaseInsensitive = caseInsensitive;
    double best = 1e30;
    for (int round = 0; round < 7; ++round) {
        LARGE_INTEGER start, end, frequency;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        SearchCommand();
        QueryPerformanceCounter(&end);
        double ms = 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;
        if (ms < best) best = ms;
    }
    return best;
}

}  // namespace

int main() {
    InitCommonControls();
    App.MainWindow = CreateWindowExA(0, "STATIC", "bench", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 10, 10, App.MainWindow,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_QUERY)), nullptr, nullptr);
    CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD, 0, 0, 10, 10, App.MainWindow,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_STATUS)), nullptr, nullptr);
    App.ResultList = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 10, 10, App.MainWindow,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_RESULTS)), nullptr, nullptr);

    std::string folder = MakeFolder();
    AllocateFileIndex();
    lstrcpyA(App.Settings.Slots[Path1], (folder + "*.inc").c_str());
    BuildFileIndex();

    const double megabytes = static_cast<double>(kFiles) * kFileSize / (1 << 20);
    printf("%d files of %d KiB, %.1f MiB per search (files in the system cache)\n", kFiles, kFileSize / 1024,
           megabytes);
    const struct {
        const char* query;
        int caseInsensitive;
    } runs[] = {{"NotThereAtAll", 1}, {"NotThereAtAll", 0}, {"PROTO", 0}};
    for (const auto& run : runs) {
        double ms = BestSearchMs(run.query, run.caseInsensitive);
        printf("%-14s %-16s %8.1f ms  %7.0f MiB/s  %d rows\n", run.query,
               run.caseInsensitive ? "case-insensitive" : "case-sensitive", ms, megabytes / (ms / 1000), App.HitCount);
    }
    ReleaseFileIndex();
    RemoveFolder(folder);
    return 0;
}
