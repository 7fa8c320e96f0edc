#include "core/folder_watch.h"

#include <poll.h>
#include <string.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <map>
#include <new>

// One inotify queue for all the folders: a process gets few queues.
struct FolderWatches {
    int queue;
    std::map<int, size_t> folderOf;  // watch descriptor -> folder number
};

namespace {

const uint32_t kWatchedChanges = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_CREATE |
                                 IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

FolderWatches* StartFolderWatches(const char* const* folders, size_t count, bool* watched) {
    FolderWatches* watches = new (std::nothrow) FolderWatches;
    if (watches == nullptr) return nullptr;
    watches->queue = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (size_t i = 0; i < count; ++i) {
        const size_t length = strlen(folders[i]);
        const int descriptor = watches->queue >= 0 && length > 0 && folders[i][length - 1] == '/'
                                   ? inotify_add_watch(watches->queue, folders[i], kWatchedChanges)
                                   : -1;
        watched[i] = false;
        if (descriptor < 0) continue;
        try {
            watches->folderOf[descriptor] = i;
            watched[i] = true;
        } catch (const std::bad_alloc&) {
            inotify_rm_watch(watches->queue, descriptor);
        }
    }
    return watches;
}

void StopFolderWatches(FolderWatches* watches) {
    if (watches == nullptr) return;
    if (watches->queue >= 0) close(watches->queue);
    delete watches;
}

void WaitForFolderChanges(FolderWatches* watches, unsigned timeoutMs, const FolderChangeEvents& events) {
    pollfd queue = {watches->queue, POLLIN, 0};
    if (watches->queue < 0 || poll(&queue, 1, static_cast<int>(timeoutMs)) <= 0) {
        if (watches->queue < 0) usleep(timeoutMs * 1000);
        return;
    }
    alignas(inotify_event) char buffer[16 << 10];
    ssize_t got;
    while ((got = read(watches->queue, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Which folders lost changes is not known: all of them did.
                for (const auto& folder : watches->folderOf) events.lost(events.context, folder.second);
                watches->folderOf.clear();
                return;
            }
            const auto folder = watches->folderOf.find(event->wd);
            if (folder == watches->folderOf.end()) continue;
            if (event->mask & IN_IGNORED) {
                // The folder itself went: everything in it with it.
                events.lost(events.context, folder->second);
                watches->folderOf.erase(folder);
                continue;
            }
            // Without a name (the folder itself changed) it stands for the whole folder.
            events.changed(events.context, folder->second, event->len > 0 ? event->name : "");
        }
    }
}
