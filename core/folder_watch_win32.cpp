#include "core/folder_watch.h"

#include "app_state.h"
#include "core/long_path.h"

namespace {

// Each folder's own buffer for the system to report into; a folder whose
// changes overflow it is read in full from then on.
enum { kChangeBufferSize = 4096 };

const DWORD kWatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                              FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                              FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_CREATION |
                              FILE_NOTIFY_CHANGE_SECURITY;

struct Folder {
    OVERLAPPED pending;  // first, so the completion routine finds its folder
    HANDLE handle;
    size_t number;
    bool listening;  // a request is with the system, which writes into changes until it completes
    bool lost;
    DWORD changes[kChangeBufferSize / sizeof(DWORD)];  // FILE_NOTIFY_INFORMATION wants DWORD alignment
};

void CALLBACK Completed(DWORD error, DWORD bytes, OVERLAPPED* pending);

bool Listen(Folder* folder) {
    folder->listening = ReadDirectoryChangesW(folder->handle, folder->changes, sizeof folder->changes, FALSE,
                                              kWatchedChanges, nullptr, &folder->pending, Completed) != FALSE;
    return folder->listening;
}

}  // namespace

struct FolderWatches {
    Folder** folders;
    size_t count;
    const FolderChangeEvents* events;  // while a wait runs; the completions come inside it
    bool reported;
    char name[2 * kLongPathSize];
    WCHAR scratch[kLongPathSize + 8];
    WCHAR path[kLongPathSize + 8];
};

namespace {

// Completions run on the thread that listens, inside its alertable wait, so
// only one thread ever touches the watches; which watches, it learns here.
thread_local FolderWatches* Waiting;

void AnsiName(const WCHAR* name, int length, char* out, int outSize) {
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL lossy = FALSE;
    const int written = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, name, length, out, outSize - 1,
                                            utf8 ? nullptr : "?", utf8 ? nullptr : &lossy);
    out[written > 0 && !lossy ? written : 0] = '\0';
}

void CALLBACK Completed(DWORD error, DWORD bytes, OVERLAPPED* pending) {
    Folder* folder = reinterpret_cast<Folder*>(pending);
    folder->listening = false;
    FolderWatches* watches = Waiting;
    if (error == ERROR_OPERATION_ABORTED || watches == nullptr || watches->events == nullptr) return;
    const FolderChangeEvents& events = *watches->events;
    watches->reported = true;
    // No names: the buffer overflowed, so anything in the folder may have changed.
    if (error != ERROR_SUCCESS || bytes == 0) {
        folder->lost = true;
        events.lost(events.context, folder->number);
        return;
    }
    const char* at = reinterpret_cast<const char*>(folder->changes);
    for (;;) {
        const FILE_NOTIFY_INFORMATION* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
        AnsiName(change->FileName, static_cast<int>(change->FileNameLength / sizeof(WCHAR)), watches->name,
                 sizeof watches->name);
        events.changed(events.context, folder->number, watches->name);
        if (change->NextEntryOffset == 0) break;
        at += change->NextEntryOffset;
    }
    if (!Listen(folder)) {
        folder->lost = true;
        events.lost(events.context, folder->number);
    }
}

Folder* OpenFolder(FolderWatches* watches, const char* directory, size_t number) {
    const int length = lstrlenA(directory);
    if (length == 0 || (directory[length - 1] != '\\' && directory[length - 1] != '/')) return nullptr;
    if (!AnsiToExtendedLengthPath(directory, length, watches->scratch, watches->path)) return nullptr;
    Folder* folder = static_cast<Folder*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Folder)));
    if (folder == nullptr) return nullptr;
    folder->number = number;
    folder->handle = CreateFileW(watches->path, FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (folder->handle == INVALID_HANDLE_VALUE || !Listen(folder)) {
        if (folder->handle != INVALID_HANDLE_VALUE) CloseHandle(folder->handle);
        HeapFree(GetProcessHeap(), 0, folder);
        return nullptr;
    }
    return folder;
}

}  // namespace

FolderWatches* StartFolderWatches(const char* const* folders, size_t count, bool* watched) {
    FolderWatches* watches =
        static_cast<FolderWatches*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(FolderWatches)));
    if (watches == nullptr) return nullptr;
    watches->folders = static_cast<Folder**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (count + 1) * sizeof(Folder*)));
    if (watches->folders == nullptr) {
        HeapFree(GetProcessHeap(), 0, watches);
        return nullptr;
    }
    watches->count = count;
    for (size_t i = 0; i < count; ++i) {
        watches->folders[i] = OpenFolder(watches, folders[i], i);
        watched[i] = watches->folders[i] != nullptr;
    }
    return watches;
}

void StopFolderWatches(FolderWatches* watches) {
    if (watches == nullptr) return;
    for (size_t i = 0; i < watches->count; ++i)
        if (watches->folders[i] != nullptr) CancelIo(watches->folders[i]->handle);
    // The system is done with a buffer only once its completion has run.
    for (int round = 0; round < 100; ++round) {
        bool listening = false;
        for (size_t i = 0; i < watches->count; ++i)
            listening = listening || (watches->folders[i] != nullptr && watches->folders[i]->listening);
        if (!listening) break;
        SleepEx(10, TRUE);
    }
    for (size_t i = 0; i < watches->count; ++i) {
        Folder* folder = watches->folders[i];
        if (folder == nullptr) continue;
        CloseHandle(folder->handle);
        if (!folder->listening) HeapFree(GetProcessHeap(), 0, folder);  // else left to the system for good
    }
    HeapFree(GetProcessHeap(), 0, watches->folders);
    HeapFree(GetProcessHeap(), 0, watches);
}

void WaitForFolderChanges(FolderWatches* watches, unsigned timeoutMs, const FolderChangeEvents& events) {
    watches->events = &events;
    watches->reported = false;
    Waiting = watches;
    // Completions that came meanwhile run at once; else the first that comes ends the wait.
    SleepEx(timeoutMs, TRUE);
    Waiting = nullptr;
    watches->events = nullptr;
}
