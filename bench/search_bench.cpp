// Whole searches under the real file calls, with one reader and with one per
// processor, against the floor the platform sets for one reader: a bare
// CreateFileA / GetFileSize / ReadFile / CloseHandle loop over the same files
// in the same process. Rounds are interleaved and the files are in the system
// cache; medians are printed.
//   search_bench <folder of .inc files> [rounds]

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app_state.h"
#include "bench/corpus_text.h"
#include "core/file_index.h"
#include "core/index_format.h"
#include "core/search_engine.h"
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
    CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD, 0, 0, 10, 10, App.MainWindow,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_STATUS)), nullptr, nullptr);
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
    lstrcpyA(App.Settings.Slots[Path1], (std::string(argv[1]) + "\\*.inc").c_str());
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
    ReleaseFileIndex();
    return 0;
}
