#include "core/content_index_run.h"

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "app_state.h"
#include "core/ansi_lead_bytes.h"
#include "core/executable_path.h"
#include "core/folder_walk.h"
#include "core/index_format.h"
#include "core/search_engine.h"
#include "core/search_engine_index.h"
#include "core/search_literals.h"
#include "res/resource.h"

namespace {

enum { kStatusIndexPart = 1 };

// --- On the worker's thread: post to the window, never send ----------------

void PostProgress(void* context, IndexProgress progress) {
    IndexProgress* copy = static_cast<IndexProgress*>(malloc(sizeof(IndexProgress)));
    if (copy == nullptr) return;
    *copy = progress;
    if (!PostMessageA(App.MainWindow, WM_APP_INDEX_PROGRESS, reinterpret_cast<WPARAM>(context),
                      reinterpret_cast<LPARAM>(copy)))
        free(copy);
}

void Finished(void*) {}

// --- On the window's thread ------------------------------------------------

void ShowIndexStatus(const IndexProgress& progress) {
    char count[kDecimalTextSize];
    char text[2 * kDecimalTextSize + 32];
    const bool done = progress.done >= progress.files;
    lstrcpyA(text, done ? kIndexedText : kIndexingText);
    if (!done) {
        FormatDecimal(static_cast<int32_t>(progress.done), count);
        lstrcatA(text, count);
        lstrcatA(text, kIndexingOfText);
    }
    FormatDecimal(static_cast<int32_t>(progress.files), count);
    lstrcatA(text, count);
    lstrcatA(text, kIndexFilesText);
    SendDlgItemMessageA(App.MainWindow, IDC_MAIN_STATUS, SB_SETTEXTA, kStatusIndexPart,
                        reinterpret_cast<LPARAM>(text));
}

void OnProgress(WPARAM listing, IndexProgress* progress) {
    if (listing == static_cast<WPARAM>(App.Listing)) ShowIndexStatus(*progress);
    free(progress);
}

// What the worker is told to watch, and the paths the index is built for,
// as the file index resolves them.
bool DescribeSearchPaths(IndexJob& job) {
    static char pattern[kLongPathSize];
    for (int slot = Path1; slot < Path1 + kPathSlotCount; ++slot) {
        const char* path = App.Settings.Slots[slot];
        if (path[0] == '\0' || !ResolveSearchPath(path, ExecutableDirectory(), pattern, sizeof pattern)) {
            job.builtFor += '\0';
            continue;
        }
        job.builtFor += pattern;
        job.builtFor += '\0';
        size_t baseLength, maskStart;
        if (SplitTreeSearchPath(pattern, &baseLength, &maskStart, AnsiLeadBytes()))
            job.folders.push_back({std::string(pattern, baseLength), true});
        else
            job.folders.push_back({std::string(pattern, SearchPathDirectoryLength(pattern, AnsiLeadBytes())), false});
    }
    return true;
}

// Beside the settings file, with "idx" for its last three letters.
std::string IndexFilePath() {
    const size_t length = strlen(App.SettingsFile);
    if (length < 3) return std::string();
    return std::string(App.SettingsFile, length - 3) + kIndexFileExtension;
}

bool DescribeJob(IndexJob& job) {
    try {
        job.listing = App.Listing;
        job.fileIndex.assign(App.FileIndex, FileIndexLength(App.FileIndex));
        job.stamps.assign(App.FileStamps, App.FileStamps + App.FileCount);
        job.indexFile = IndexFilePath();
        job.readers = App.SearchReaders > 0 ? App.SearchReaders : DefaultReaderCount();
        return DescribeSearchPaths(job);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

char* GrowWithRealloc(char* block, size_t size) { return static_cast<char*>(realloc(block, size)); }

// The chosen files of the index block, in its order, as a block of their own.
const char* ChosenFiles(const std::vector<uint32_t>& files) {
    IndexWriter writer = {App.SearchFiles, App.SearchFilesSize, 0, GrowWithRealloc, false, false};
    BeginIndex(writer);
    bool whole = SelectIndexedFiles(App.FileIndex, files.data(), files.size(), writer);
    if (writer.block == nullptr) whole = whole && GrowBlock(writer.block, writer.size, 1, writer.grow);
    EndIndex(writer);
    App.SearchFiles = writer.block;
    App.SearchFilesSize = writer.size;
    return whole ? writer.block : nullptr;
}

}  // namespace

void StartContentIndex() {
    if (App.Keeper == nullptr) App.Keeper = NewIndexKeeper(kContentIndexCap);
    if (App.IndexWorker != nullptr) ReleaseIndexWorker(App.IndexWorker);
    App.IndexWorker = nullptr;
    ++App.Listing;
    SendDlgItemMessageA(App.MainWindow, IDC_MAIN_STATUS, SB_SETTEXTA, kStatusIndexPart,
                        reinterpret_cast<LPARAM>(""));
    IndexJob* job = new (std::nothrow) IndexJob;
    if (App.Keeper == nullptr || job == nullptr || App.FileIndex == nullptr || !DescribeJob(*job)) {
        delete job;
        return;
    }
    const IndexEvents events = {reinterpret_cast<void*>(static_cast<UINT_PTR>(App.Listing)), PostProgress, Finished};
    App.IndexWorker = StartIndexWorker(App.Keeper, *job, events);
    delete job;
}

void StopContentIndex() {
    if (App.IndexWorker != nullptr) ReleaseIndexWorker(App.IndexWorker);
    App.IndexWorker = nullptr;
}

const char* FilesToSearch(const QueryMatcher& matcher) {
    App.SearchedFiles = App.FileCount;
    if (App.Keeper == nullptr) return App.FileIndex;
    std::vector<uint32_t> files;
    const char* chosen = nullptr;
    try {
        LiteralQuery plain, utf16;
        // Every file chosen: the index itself serves, as it is.
        if (SearchLiterals(matcher, plain, utf16) &&
            ChooseIndexedFiles(App.Keeper, App.Listing, plain, utf16, files))
            chosen = files.size() == App.FileCount ? App.FileIndex : ChosenFiles(files);
    } catch (const std::bad_alloc&) {
    }
    if (chosen == nullptr) return App.FileIndex;
    App.SearchedFiles = files.size();
    return chosen;
}

bool HandleIndexMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_APP_INDEX_PROGRESS:
        OnProgress(wParam, reinterpret_cast<IndexProgress*>(lParam));
        *result = 0;
        return true;
    case WM_APP_SEARCHED_FILES:
        *result = static_cast<LRESULT>(App.SearchedFiles);
        return true;
    default:
        return false;
    }
}
