#include "core/folder_watch.h"

#include <dirent.h>
#include <poll.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

// inotify watches one folder at a time: a subtree is every folder below, as
// they are at the start.
struct FolderWatch {
    int queue;
    bool lost;
    std::vector<std::pair<int, std::string>> folders;  // watch descriptor, path relative to the watched folder
};

namespace {

const uint32_t kWatchedChanges = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_CREATE |
                                 IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;

bool Add(FolderWatch* watch, const std::string& root, const std::string& relative, bool subtree) {
    const int descriptor = inotify_add_watch(watch->queue, (root + relative).c_str(), kWatchedChanges | IN_ONLYDIR);
    if (descriptor < 0) return false;
    watch->folders.emplace_back(descriptor, relative);
    if (!subtree) return true;
    DIR* folder = opendir((root + relative).c_str());
    if (folder == nullptr) return false;
    std::vector<std::string> below;
    while (const dirent* entry = readdir(folder)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        struct stat info;
        const std::string name = relative + entry->d_name;
        if (lstat((root + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) below.push_back(name + "/");
    }
    closedir(folder);
    for (const std::string& name : below)
        if (!Add(watch, root, name, true)) return false;
    return true;
}

}  // namespace

FolderWatch* StartFolderWatch(const char* directory, bool subtree) {
    const size_t length = strlen(directory);
    if (length == 0 || directory[length - 1] != '/') return nullptr;
    FolderWatch* watch = new (std::nothrow) FolderWatch;
    if (watch == nullptr) return nullptr;
    watch->lost = false;
    watch->queue = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    bool watching = false;
    try {
        watching = watch->queue >= 0 && Add(watch, directory, "", subtree);
    } catch (const std::bad_alloc&) {
    }
    if (!watching) {
        StopFolderWatch(watch);
        return nullptr;
    }
    return watch;
}

void StopFolderWatch(FolderWatch* watch) {
    if (watch == nullptr) return;
    if (watch->queue >= 0) close(watch->queue);
    delete watch;
}

void WaitForFolderChanges(FolderWatch* const* watches, size_t count, unsigned timeoutMs,
                          const FolderChangeEvents& events) {
    std::vector<pollfd> queues;
    std::vector<size_t> numbers;
    for (size_t i = 0; i < count; ++i) {
        if (watches[i] == nullptr || watches[i]->lost) continue;
        queues.push_back(pollfd{watches[i]->queue, POLLIN, 0});
        numbers.push_back(i);
    }
    if (poll(queues.data(), queues.size(), static_cast<int>(timeoutMs)) <= 0) return;
    alignas(inotify_event) char buffer[16 << 10];
    for (size_t q = 0; q < queues.size(); ++q) {
        if ((queues[q].revents & POLLIN) == 0) continue;
        FolderWatch* watch = watches[numbers[q]];
        ssize_t got;
        while (!watch->lost && (got = read(watch->queue, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < got;) {
                const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->mask & IN_Q_OVERFLOW) {
                    watch->lost = true;
                    events.lost(events.context, numbers[q]);
                    break;
                }
                std::string name;
                for (const auto& folder : watch->folders)
                    if (folder.first == event->wd) name = folder.second;
                // Without a name (a watched folder itself gone or moved) it
                // stands for everything in that folder.
                if (event->len > 0) name += event->name;
                events.changed(events.context, numbers[q], name.c_str());
            }
        }
    }
}
