#pragma once
#include <stddef.h>

// The platform's side of watching the searched folders, so that the content
// index learns which files it can no longer vouch for. The program uses
// folder_watch_win32.cpp (ReadDirectoryChangesW, which Wine emulates over
// inotify); the native tests and benchmark use folder_watch_posix.cpp.
//
// Each folder is watched alone, a tree's folders one by one: Wine reports
// nothing from below a folder watched with its subtree.
struct FolderWatches;

// Starts watching the folders (paths ending with a separator); watched[i]
// tells whether folder i could be. Only the thread that starts the watches
// may wait for them and stop them. Null when there is no memory.
FolderWatches* StartFolderWatches(const char* const* folders, size_t count, bool* watched);
void StopFolderWatches(FolderWatches* watches);

struct FolderChangeEvents {
    void* context;
    // A name in the folder changed, was written to, created or deleted, in
    // the ANSI code page. Empty when the name cannot be told (the code page
    // lacks a character of it), which stands for the whole folder.
    void (*changed)(void* context, size_t folder, const char* name);
    // Changes were lost (the system's buffer overflowed) or the watch
    // failed: nothing in the folder can be vouched for any longer. No event
    // of that folder follows.
    void (*lost)(void* context, size_t folder);
};

// Waits up to timeoutMs for changes and reports what came; returns once
// something was reported or the time is up.
void WaitForFolderChanges(FolderWatches* watches, unsigned timeoutMs, const FolderChangeEvents& events);
