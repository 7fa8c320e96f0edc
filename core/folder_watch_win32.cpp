#include "core/folder_watch.h"

#include "app_state.h"
#include "core/long_path.h"

namespace {

// The system's buffer for one watch's changes; 64 KiB is what a share takes.
enum { kChangeBufferSize = 64 << 10 };

const DWORD kWatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                              FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                              FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_CREATION |
                              FILE_NOTIFY_CHANGE_SECURITY;

}  // namespace

// All a watch needs is its own, so watches of different threads share nothing.
struct FolderWatch {
    HANDLE folder;
    OVERLAPPED pending;
    bool subtree;
    bool lost;
    DWORD changes[kChangeBufferSize / sizeof(DWORD)];  // FILE_NOTIFY_INFORMATION wants DWORD alignment
    char name[2 * kLongPathSize];
    WCHAR scratch[kLongPathSize + 8];
    WCHAR path[kLongPathSize + 8];
};

namespace {

bool Listen(FolderWatch* watch) {
    ResetEvent(watch->pending.hEvent);
    return ReadDirectoryChangesW(watch->folder, watch->changes, sizeof watch->changes, watch->subtree,
                                 kWatchedChanges, nullptr, &watch->pending, nullptr) != FALSE;
}

// The name in the ANSI code page; empty when it cannot be carried whole.
void AnsiName(const WCHAR* name, int length, char* out, int outSize) {
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL lossy = FALSE;
    const int written = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, name, length, out, outSize - 1,
                                            utf8 ? nullptr : "?", utf8 ? nullptr : &lossy);
    out[written > 0 && !lossy ? written : 0] = '\0';
}

void Report(FolderWatch* watch, size_t number, const FolderChangeEvents& events) {
    DWORD bytes = 0;
    if (!GetOverlappedResult(watch->folder, &watch->pending, &bytes, FALSE) || bytes == 0) {
        // An overflow gives no names: every file it covers may have changed.
        watch->lost = true;
        events.lost(events.context, number);
        return;
    }
    const char* at = reinterpret_cast<const char*>(watch->changes);
    for (;;) {
        const FILE_NOTIFY_INFORMATION* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
        AnsiName(change->FileName, static_cast<int>(change->FileNameLength / sizeof(WCHAR)), watch->name,
                 sizeof watch->name);
        events.changed(events.context, number, watch->name);
        if (change->NextEntryOffset == 0) break;
        at += change->NextEntryOffset;
    }
    if (!Listen(watch)) {
        watch->lost = true;
        events.lost(events.context, number);
    }
}

}  // namespace

FolderWatch* StartFolderWatch(const char* directory, bool subtree) {
    const int length = lstrlenA(directory);
    if (length == 0 || (directory[length - 1] != '\\' && directory[length - 1] != '/')) return nullptr;
    FolderWatch* watch = static_cast<FolderWatch*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(FolderWatch)));
    if (watch == nullptr) return nullptr;
    watch->folder = INVALID_HANDLE_VALUE;
    if (!AnsiToExtendedLengthPath(directory, length, watch->scratch, watch->path)) {
        StopFolderWatch(watch);
        return nullptr;
    }
    watch->subtree = subtree;
    watch->folder = CreateFileW(watch->path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    watch->pending.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (watch->folder == INVALID_HANDLE_VALUE || watch->pending.hEvent == nullptr || !Listen(watch)) {
        StopFolderWatch(watch);
        return nullptr;
    }
    return watch;
}

void StopFolderWatch(FolderWatch* watch) {
    if (watch == nullptr) return;
    if (watch->folder != INVALID_HANDLE_VALUE) {
        // The system writes into the buffer until the request is done.
        if (CancelIo(watch->folder)) {
            DWORD bytes;
            GetOverlappedResult(watch->folder, &watch->pending, &bytes, TRUE);
        }
        CloseHandle(watch->folder);
    }
    if (watch->pending.hEvent != nullptr) CloseHandle(watch->pending.hEvent);
    HeapFree(GetProcessHeap(), 0, watch);
}

void WaitForFolderChanges(FolderWatch* const* watches, size_t count, unsigned timeoutMs,
                          const FolderChangeEvents& events) {
    HANDLE signals[MAXIMUM_WAIT_OBJECTS];
    size_t numbers[MAXIMUM_WAIT_OBJECTS];
    DWORD waiting = 0;
    for (size_t i = 0; i < count && waiting < MAXIMUM_WAIT_OBJECTS; ++i) {
        if (watches[i] == nullptr || watches[i]->lost) continue;
        signals[waiting] = watches[i]->pending.hEvent;
        numbers[waiting++] = i;
    }
    if (waiting == 0) {
        Sleep(timeoutMs);
        return;
    }
    const DWORD woke = WaitForMultipleObjects(waiting, signals, FALSE, timeoutMs);
    if (woke >= WAIT_OBJECT_0 + waiting) return;
    // Whatever else is ready is taken too, so none waits behind another.
    for (DWORD i = woke - WAIT_OBJECT_0; i < waiting; ++i)
        if (WaitForSingleObject(signals[i], 0) == WAIT_OBJECT_0) Report(watches[numbers[i]], numbers[i], events);
}
