#pragma once

#include <windows.h>

#include <functional>

#include "res/resource.h"
#include <string>
#include <vector>

// Starts the tool in a process of its own and works it through its windows
// the way a user would, reading back what it shows. Nothing here runs inside
// the tool: lists are read through memory borrowed in its process.

// Polls until done() holds or the timeout passes; the last answer counts.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000);

// The folder holding the test executable (and the programs built with it).
std::string BuildFolder();

// Top-level (or owned) visible window of the process with that caption.
HWND FindProcessWindow(DWORD processId, const std::string& caption);
// All of them.
std::vector<HWND> ProcessWindows(DWORD processId, const std::string& caption);

// A window inside parent, at any depth, with that id and window class.
HWND FindDescendant(HWND parent, int id, const std::string& className);

// Where the system Open dialog takes the file name: the edit of the
// Explorer-style name combo box, or the plain name field of the old style.
HWND OpenDialogNameField(HWND openDialog);

std::string WindowText(HWND window);
void SetWindowTextRemote(HWND window, const std::string& text);

class Program {
public:
    // Starts exe with the working directory given (on drive C:, so that a
    // path like \korvan\include\*.inc means C:\korvan\include) and waits for
    // its main window.
    explicit Program(const std::string& exe, const std::string& workingDirectory = "C:\\");
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return main_ != nullptr; }
    HWND Main() const { return main_; }
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Process() const { return info_.hProcess; }
    // The thread that runs the program's windows.
    HANDLE Thread() const { return info_.hThread; }
    HWND Item(int id) const { return GetDlgItem(main_, id); }

    // Types the query, presses Enter and waits until the run is over; the
    // rows shown afterwards. Fails the test on a timeout.
    std::vector<std::string> Search(const std::string& query);
    // Presses Enter on whatever the query field holds.
    std::vector<std::string> SearchShownQuery();
    // Types the query and presses Enter; returns once the program has taken
    // the key, while the search goes on.
    void StartSearch(const std::string& query);
    // Until the status line shows the time of a finished search; its rows.
    std::vector<std::string> WaitForSearchEnd(DWORD timeoutMs = 15000);
    std::vector<std::string> Rows() const;
    int RowCount() const;
    // A cell of the result list: the path (0), the line (1), its text (2),
    // or how many lines hold a match (3). The row is scrolled into sight,
    // and the cells besides the path are read once the program has read
    // the row's file, which it does for rows on screen.
    std::string Cell(int row, int column) const;
    // The cell as it shows now.
    std::string CellNow(int row, int column) const;
    // The lines pane's rows, and a cell of one: the line (0) or its text (1).
    int PaneRowCount() const;
    std::string PaneCell(int row, int column) const;
    std::string Status() const;

    // Whether the window takes a message within the time.
    bool Answers(DWORD timeoutMs) const;

    // Types the text into an empty field key by key, as characters reach it
    // from the keyboard, and waits until the field has taken them all.
    void Type(HWND field, const std::string& text) const;

    // As if the menu item had been chosen.
    void Command(int id) const;

    // Gives the row the focus and double-clicks it.
    void DoubleClickRow(int row) const;
    // Double-clicks the list at a point of its client area.
    void DoubleClickList(POINT at) const;
    // Selects the rows (and no others) of the result list, or of the lines
    // pane, and gives the last of them the focus.
    void SelectRows(const std::vector<int>& rows, int list = IDC_MAIN_RESULTS) const;
    // Where the row lies in the list's client area.
    RECT RowRect(int row) const;
    // The keyboard focus to a control of the main window, as Tab would move it.
    void Focus(int id) const;
    // The control that has the keyboard focus.
    HWND Focused() const;
    // Presses a key in a window as the system would post it.
    void Press(HWND window, UINT virtualKey) const;
    // Ctrl and the key through the system's input, to the focused control of
    // the program's window, which is made the foreground window first.
    void PressWithControl(UINT virtualKey) const { PressWith(VK_CONTROL, virtualKey); }
    // The same with Alt.
    void PressWithAlt(UINT virtualKey) const { PressWith(VK_MENU, virtualKey); }
    void PressWith(UINT modifier, UINT virtualKey) const;
    // The popup menu the program shows, if any.
    HWND OpenPopupMenu() const;

    // Waits until the program has taken every message posted to it so far.
    void Settle() const;

    // Sets the program's current directory from a thread started in its
    // process, as the system's Open dialog does on Windows; false when the
    // folder cannot be made current.
    bool MoveCurrentDirectory(const std::string& folder) const;

    // Waits for the process to end; false on a timeout.
    bool WaitForExit(DWORD* exitCode, DWORD timeoutMs = 15000) const;

private:
    PROCESS_INFORMATION info_ = {};
    HWND main_ = nullptr;
};

// A block in another process's memory, for messages that carry pointers.
class RemoteBlock {
public:
    RemoteBlock(HANDLE process, size_t size);
    ~RemoteBlock();
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    char* Address() const { return address_; }
    bool Write(const void* bytes, size_t size, size_t offset = 0) const;
    bool Read(void* bytes, size_t size, size_t offset = 0) const;

private:
    HANDLE process_;
    char* address_;
};
