#pragma once
#include <stddef.h>

// The platform's side of watching the searched folders, so that the content
// index learns which files it can no longer vouch for. The program uses
// folder_watch_win32.cpp (ReadDirectoryChangesW, which Wine emulates over
// inotify); the native tests and benchmark use folder_watch_posix.cpp.
struct FolderWatch;

// Starts watching the folder (a path ending with a separator) and, with
// subtree, every folder below it. Null when it cannot be watched.
FolderWatch* StartFolderWatch(const char* directory, bool subtree);
void StopFolderWatch(FolderWatch* watch);

struct FolderChangeEvents {
    void* context;
    // A name changed, was written to, created or deleted: relative to the
    // watched folder, in the ANSI code page. Empty when the name cannot be
    // told (the code page lacks a character of it), which stands for the
    // whole folder.
    void (*changed)(void* context, size_t watch, const char* name);
    // Changes were lost (the system's buffer overflowed) or the watch
    // failed: nothing it covers can be vouched for any longer. No event of
    // that watch follows.
    void (*lost)(void* context, size_t watch);
};

// Waits up to timeoutMs for changes in any of the watches (null ones are
// skipped) and reports them all; returns once something was reported or
// the time is up.
void WaitForFolderChanges(FolderWatch* const* watches, size_t count, unsigned timeoutMs,
                          const FolderChangeEvents& events);
