// Whole searches under the real file calls, with one reader and with one per
// processor, against the floor the platform sets for one reader: a bare
// CreateFileA / GetFileSize / ReadFile / CloseHandle loop over the same files
// in the same process. Then the content index: building it, reading it back
// from its file, its size, and the same searches with it ready. Rounds are
// interleaved and the files are in the system cache; medians are printed.
//   search_bench <folder of .inc files, or a search path> [rounds]

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app_state.h"
#include "bench/corpus_text.h"
#include "core/content_index_run.h"
#include "core/file_index.h"
#include "core/index_format.h"
#include "core/search_engine.h"
#include "core/search_engine_index.h"
#include "core/search_run.h"
#include "res/resource.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

WNDPROC StaticProc;

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleSearchMessage(message, wParam, lParam)) return 0;
    LRESULT result;
    if (HandleIndexMessage(message, wParam, lParam, &result)) return result;
    return CallWindowProcA(StaticProc, window, message, wParam, lParam);
}

// The windows a search writes to, as the main window has them.
void CreateSearchWindows() {
    InitCommonControls();
    App.MainWindow = CreateWindowExA(0, "STATIC", "bench", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    StaticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(App.MainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BenchWindowProc)));
    CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 10, 10, App.MainWindow,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_QUERY)), nullptr, nullptr);
    HWND status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD, 0, 0, 10, 10, App.MainWindow,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_STATUS)), nullptr, nullptr);
    int rightEdges[2] = {50, -1};  // the index's part, as the main window has it
    SendMessageA(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(rightEdges));
    App.ResultList = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_OWNERDATA, 0, 0, 10, 10, App.MainWindow,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_RESULTS)), nullptr, nullptr);
}

std::vector<std::string> IndexedPaths() {
    std::vector<std::string> paths;
    IndexCursor cursor = StartIndexWalk(App.FileIndex);
    const char* name;
    while (NextIndexedFile(cursor, &name)) paths.push_back(std::string(cursor.directory, cursor.directoryLength) + name);
    return paths;
}

// Each file read whole into one reused buffer; the bytes are only counted.
unsigned long long ReadWhole(const std::string& path, std::vector<char>& buffer) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    DWORD size = GetFileSize(file, nullptr);
    if (size > buffer.size()) buffer.resize(size);
    DWORD got = 0;
    ReadFile(file, buffer.data(), size, &got, nullptr);
    CloseHandle(file);
    return got;
}

// The same loop on as many threads, each taking the next file: what the
// platform allows that many readers at best.
double FloorMs(const std::vector<std::string>& paths, int threads, unsigned long long& bytes) {
    std::atomic<size_t> next{0};
    std::atomic<unsigned long long> total{0};
    const double start = NowMs();
    std::vector<std::thread> loops;
    for (int t = 0; t < threads; ++t)
        loops.emplace_back([&] {
            std::vector<char> buffer;
            for (size_t i; (i = next++) < paths.size();) total += ReadWhole(paths[i], buffer);
        });
    for (std::thread& loop : loops) loop.join();
    bytes = total;
    return NowMs() - start;
}

// Until the rows and the time are shown, as the user sees the search.
double SearchMs(const char* query, int caseInsensitive, bool wholeWords, bool pattern, int readers) {
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_QUERY, query);
    App.CaseInsensitive = caseInsensitive;
    App.WholeWords = wholeWords;
    App.RegularExpression = pattern;
    App.SearchReaders = readers;
    const double start = NowMs();
    SearchCommand();
    MSG message;
    while (SearchRunning() && GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return NowMs() - start;
}

// From the start of a worker for the listing until the status bar says the
// index is ready: built, or read back from its file, on a keeper of its own.
double IndexMs() {
    StopContentIndex();
    App.Keeper = nullptr;  // the last one is left to its worker, which ends on its own
    const double start = NowMs();
    StartContentIndex();
    char text[64] = "";
    MSG message;
    while (strncmp(text, kIndexedText, sizeof kIndexedText - 1) != 0 && GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
        SendDlgItemMessageA(App.MainWindow, IDC_MAIN_STATUS, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    }
    return NowMs() - start;
}

unsigned long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return static_cast<unsigned long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: search_bench <folder> [rounds]\n");
        return 2;
    }
    const int rounds = argc > 2 ? atoi(argv[2]) : 11;
    CreateSearchWindows();
    AllocateFileIndex();
    const std::string path = argv[1];
    lstrcpyA(App.Settings.Slots[Path1], (path.find('*') != std::string::npos ? path : path + "\\*.inc").c_str());
    BuildFileIndex();
    const std::vector<std::string> paths = IndexedPaths();

    struct Run {
        const char* label;
        const char* query;
        int caseInsensitive;
        bool wholeWords, pattern;
        int readers;
        std::vector<double> ms;
        int rows;
    };
    const int many = DefaultReaderCount();
    std::vector<Run> runs;
    const struct {
        const char* label;
        const char* query;
        int caseInsensitive;
        bool wholeWords, pattern;
    } queries[] = {
        {"absent", kPlantedQueries[kAbsentQuery].text, 0, false, false},
        {"absent -i", kPlantedQueries[kAbsentQuery].mixedCase, 1, false, false},
        {"absent -w", kPlantedQueries[kAbsentQuery].text, 0, true, false},
        {"rare", kPlantedQueries[kRareQuery].text, 0, false, false},
        {"rare -i", kPlantedQueries[kRareQuery].mixedCase, 1, false, false},
        {"rare -w", kPlantedQueries[kRareQuery].text, 0, true, false},
        {"once", kPlantedQueries[kOncePerFileQuery].text, 0, false, false},
        {"frequent", kPlantedQueries[kFrequentQuery].text, 0, false, false},
        {"-E MessageBox[AW]", "MessageBox[AW]", 0, false, true},
        {"-E ^#define\\s+WM_", "^#define\\s+WM_", 0, false, true},
        {"-E \\w+Ex\\(", "\\w+Ex\\(", 0, false, true},
    };
    for (const auto& q : queries)
        for (int readers : {1, many})
            runs.push_back({q.label, q.query, q.caseInsensitive, q.wholeWords, q.pattern, readers, {}, 0});
    std::vector<double> floor;
    std::vector<double> floorMany;
    unsigned long long bytes = 0;
    for (int round = 0; round <= rounds; ++round) {  // round 0 warms the cache
        const double f = FloorMs(paths, 1, bytes);
        if (round > 0) floor.push_back(f);
        const double fMany = FloorMs(paths, many, bytes);
        if (round > 0) floorMany.push_back(fMany);
        for (Run& run : runs) {
            const double ms = SearchMs(run.query, run.caseInsensitive, run.wholeWords, run.pattern, run.readers);
            if (round > 0) run.ms.push_back(ms);
            run.rows = static_cast<int>(SendMessageA(App.ResultList, LVM_GETITEMCOUNT, 0, 0));
        }
    }
    // The content index, kept beside a settings file of the benchmark's own.
    char temporary[MAX_PATH];
    GetTempPathA(MAX_PATH, temporary);
    lstrcpyA(App.SettingsFile, (std::string(temporary) + "vantrel-bench.ini").c_str());
    const std::string indexFile = std::string(temporary) + "vantrel-bench.idx";
    std::vector<double> builds, readBacks;
    std::vector<Run> indexed;
    for (const Run& run : runs)
        if (run.readers == many)
            indexed.push_back({run.label, run.query, run.caseInsensitive, run.wholeWords, run.pattern, many, {}, 0});
    for (int round = 0; round <= rounds; ++round) {
        DeleteFileA(indexFile.c_str());
        const double build = IndexMs();
        // Written after the pass: the next start reads it back.
        for (int i = 0; i < 6000 && FileSize(indexFile) == 0; ++i) Sleep(10);
        const double readBack = IndexMs();
        if (round > 0) builds.push_back(build), readBacks.push_back(readBack);
        for (Run& run : indexed) {
            const double ms = SearchMs(run.query, run.caseInsensitive, run.wholeWords, run.pattern, run.readers);
            if (round > 0) run.ms.push_back(ms);
            run.rows = static_cast<int>(SendMessageA(App.ResultList, LVM_GETITEMCOUNT, 0, 0));
        }
    }
    const double floorMs = Median(floor);
    printf("%zu files, %.1f MB; %d rounds, medians\n", paths.size(), static_cast<double>(bytes) / 1e6, rounds);
    printf("%-34s %9.1f ms\n", "floor: open, size, read, close", floorMs);
    const double floorManyMs = Median(floorMany);
    printf("%-34s %9.1f ms  %5.2f x floor\n", ("floor on " + std::to_string(many) + " threads").c_str(), floorManyMs,
           floorManyMs / floorMs);
    for (const Run& run : runs) {
        const double ms = Median(run.ms);
        const std::string label = std::string("search: ") + run.label + ", " + std::to_string(run.readers) +
                                  (run.readers == 1 ? " reader" : " readers");
        printf("%-34s %9.1f ms  %5.2f x floor  %5d rows\n", label.c_str(), ms, ms / floorMs, run.rows);
    }
    const double buildMs = Median(builds);
    const unsigned long long memory = IndexMemoryUsed(App.Keeper);
    const unsigned long long file = FileSize(indexFile);
    printf("%-34s %9.1f MB  %5.1f%% of the kit; as a file %.1f MB, %.1f%%\n", "content index in memory",
           static_cast<double>(memory) / 1e6, 100.0 * static_cast<double>(memory) / static_cast<double>(bytes),
           static_cast<double>(file) / 1e6, 100.0 * static_cast<double>(file) / static_cast<double>(bytes));
    printf("%-34s %9.1f ms  %5.2f x floor\n", "index: building it", buildMs, buildMs / floorMs);
    printf("%-34s %9.1f ms  %5.1f%% of building\n", "index: reading it back", Median(readBacks),
           100.0 * Median(readBacks) / buildMs);
    for (const Run& run : indexed) {
        const double ms = Median(run.ms);
        double without = 0;
        for (const Run& plain : runs)
            if (plain.label == run.label && plain.readers == run.readers) without = Median(plain.ms);
        const std::string label = std::string("index ready: ") + run.label + ", " + std::to_string(run.readers) +
                                  " readers";
        printf("%-34s %9.1f ms  %5.3f x without  %5d rows\n", label.c_str(), ms, ms / without, run.rows);
    }
    DeleteFileA(indexFile.c_str());
    ReleaseFileIndex();
    return 0;
}
