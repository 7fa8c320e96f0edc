#include "program_driver.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include "res/resource.h"

namespace {

const DWORD kSendTimeoutMs = 15000;
const char kMainCaption[] = " Vantrel v0.9a";
const char kSearchComplete[] = " Search complete in ";

// Keeps this process's own windows (the menu references) painted while waiting.
void PumpOwnMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A hung program fails the test instead of hanging it.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result))
        ADD_FAILURE() << "message " << message << " to window " << window << " got no answer";
    return static_cast<LRESULT>(result);
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!PostMessageA(window, message, wParam, lParam)) ADD_FAILURE() << "cannot post message " << message;
}

// lParam of a key message: repeat count 1, the key's scan code, and for a
// release the previous-state and transition bits.
LPARAM KeyData(UINT virtualKey, bool release) {
    LPARAM data = 1 | (static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16);
    if (release) data |= static_cast<LPARAM>(0xC0000000u);
    return data;
}

void PressKey(HWND window, UINT virtualKey) {
    Post(window, WM_KEYDOWN, virtualKey, KeyData(virtualKey, false));
    Post(window, WM_KEYUP, virtualKey, KeyData(virtualKey, true));
}

struct WindowSearch {
    DWORD processId;
    const std::string* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search.processId && IsWindowVisible(window) && WindowText(window) == *search.caption)
        search.found.push_back(window);
    return TRUE;
}

struct DescendantSearch {
    int id;
    const std::string* className;
    HWND found;
};

BOOL CALLBACK MatchDescendant(HWND window, LPARAM lParam) {
    DescendantSearch& search = *reinterpret_cast<DescendantSearch*>(lParam);
    char className[256] = "";
    GetClassNameA(window, className, sizeof className);
    if (GetDlgCtrlID(window) != search.id || lstrcmpiA(className, search.className->c_str()) != 0) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (done()) return true;
        PumpOwnMessages();
        Sleep(10);
    }
    return done();
}

std::string BuildFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

HWND FindProcessWindow(DWORD processId, const std::string& caption) {
    const std::vector<HWND> found = ProcessWindows(processId, caption);
    return found.empty() ? nullptr : found.front();
}

std::vector<HWND> ProcessWindows(DWORD processId, const std::string& caption) {
    WindowSearch search = {processId, &caption, {}};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDescendant(HWND parent, int id, const std::string& className) {
    DescendantSearch search = {id, &className, nullptr};
    EnumChildWindows(parent, MatchDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND OpenDialogNameField(HWND openDialog) {
    // The combo box's own edit carries the combo box's id.
    HWND field = FindDescendant(openDialog, cmb13, "Edit");
    return field != nullptr ? field : FindDescendant(openDialog, edt1, "Edit");
}

std::string WindowText(HWND window) {
    std::vector<char> text(32768);
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                             kSendTimeoutMs, &length))
        return std::string();
    return std::string(text.data());
}

void SetWindowTextRemote(HWND window, const std::string& text) {
    Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

RemoteBlock::RemoteBlock(HANDLE process, size_t size)
    : process_(process),
      address_(static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
    if (address_ == nullptr) ADD_FAILURE() << "cannot borrow memory in the program: " << GetLastError();
}

RemoteBlock::~RemoteBlock() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

bool RemoteBlock::Write(const void* bytes, size_t size, size_t offset) const {
    SIZE_T done = 0;
    return address_ != nullptr && WriteProcessMemory(process_, address_ + offset, bytes, size, &done) && done == size;
}

bool RemoteBlock::Read(void* bytes, size_t size, size_t offset) const {
    SIZE_T done = 0;
    return address_ != nullptr && ReadProcessMemory(process_, address_ + offset, bytes, size, &done) && done == size;
}

Program::Program(const std::string& exe, const std::string& workingDirectory) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workingDirectory.c_str(),
                        &startup, &info_)) {
        ADD_FAILURE() << "cannot start " << exe << ": " << GetLastError();
        info_ = {};
        return;
    }
    WaitUntil([&] {
        main_ = FindProcessWindow(info_.dwProcessId, kMainCaption);
        return main_ != nullptr || WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0;
    });
    if (main_ == nullptr) ADD_FAILURE() << "no main window from " << exe;
}

Program::~Program() {
    if (info_.hProcess == nullptr) return;
    // A test that fails half-way may leave a modal dialog up; then close hard.
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        if (main_ != nullptr) PostMessageA(main_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(info_.hProcess, 5000) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 1);
            WaitForSingleObject(info_.hProcess, 5000);
        }
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

std::vector<std::string> Program::Search(const std::string& query) {
    EXPECT_FALSE(query.empty()) << "the end of an empty query cannot tell when the run is over";
    SetWindowTextRemote(Item(IDC_MAIN_QUERY), query);
    return SearchShownQuery();
}

std::vector<std::string> Program::SearchShownQuery() {
    StartSearch(WindowText(Item(IDC_MAIN_QUERY)));
    return WaitForSearchEnd();
}

void Program::StartSearch(const std::string& query) {
    HWND edit = Item(IDC_MAIN_QUERY);
    if (WindowText(edit) != query) SetWindowTextRemote(edit, query);
    Send(edit, EM_SETSEL, 0, 0);
    PressKey(edit, VK_RETURN);
    // Posted messages are taken in order, so the caret reaches the end only
    // once Enter has been handled, and with it the start of the search,
    // which shows the first file's path in the status line at once.
    PressKey(edit, VK_END);
    const LRESULT caretAtEnd = MAKELRESULT(query.size(), query.size());
    EXPECT_TRUE(WaitUntil([&] { return Send(edit, EM_GETSEL, 0, 0) == caretAtEnd; }))
        << "Enter on '" << query << "' was not taken";
}

std::vector<std::string> Program::WaitForSearchEnd(DWORD timeoutMs) {
    const bool done = WaitUntil([&] { return Status().rfind(kSearchComplete, 0) == 0; }, timeoutMs);
    EXPECT_TRUE(done) << "the search for '" << WindowText(Item(IDC_MAIN_QUERY))
                      << "' did not finish; status: '" << Status() << "'";
    return Rows();
}

bool Program::Answers(DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

int Program::RowCount() const { return static_cast<int>(Send(Item(IDC_MAIN_RESULTS), LVM_GETITEMCOUNT, 0, 0)); }

void Program::Type(HWND field, const std::string& text) const {
    SetWindowTextRemote(field, "");
    for (char c : text) Post(field, WM_CHAR, static_cast<unsigned char>(c), 1);
    // Taken after the characters: once the caret stands there, all are in.
    Post(field, EM_SETSEL, 1, 1);
    EXPECT_TRUE(WaitUntil([&] { return Send(field, EM_GETSEL, 0, 0) == MAKELRESULT(1, 1); }))
        << "the field did not take the typed text";
}

namespace {

const size_t kCellTextSize = 32768;

// One cell read through a block borrowed in the program for an LVITEMA and
// its text; only the text's own length is copied back.
std::string ReadCell(HWND list, const RemoteBlock& block, int row, int column) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = block.Address() + sizeof item;
    item.cchTextMax = static_cast<int>(kCellTextSize);
    const char empty = '\0';
    if (!block.Write(&item, sizeof item) || !block.Write(&empty, 1, sizeof item)) return "(unreadable)";
    const size_t length = static_cast<size_t>(Send(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(block.Address())));
    std::vector<char> text(length + 1);
    if (length >= kCellTextSize || !block.Read(text.data(), length + 1, sizeof item)) return "(unreadable)";
    text[length] = '\0';
    return text.data();
}

}  // namespace

std::vector<std::string> Program::Rows() const {
    HWND list = Item(IDC_MAIN_RESULTS);
    RemoteBlock block(info_.hProcess, sizeof(LVITEMA) + kCellTextSize);
    std::vector<std::string> rows;
    const int count = RowCount();
    for (int row = 0; row < count; ++row) rows.push_back(ReadCell(list, block, row, 0));
    return rows;
}

std::string Program::Cell(int row, int column) const {
    if (column == 0) return CellNow(row, column);
    Send(Item(IDC_MAIN_RESULTS), LVM_ENSUREVISIBLE, row, FALSE);
    // The count is never empty once the file was read.
    WaitUntil([&] { return !CellNow(row, 3).empty(); });
    return CellNow(row, column);
}

std::string Program::CellNow(int row, int column) const {
    RemoteBlock block(info_.hProcess, sizeof(LVITEMA) + kCellTextSize);
    return ReadCell(Item(IDC_MAIN_RESULTS), block, row, column);
}

int Program::PaneRowCount() const { return static_cast<int>(Send(Item(IDC_MAIN_LINES), LVM_GETITEMCOUNT, 0, 0)); }

std::string Program::PaneCell(int row, int column) const {
    RemoteBlock block(info_.hProcess, sizeof(LVITEMA) + kCellTextSize);
    return ReadCell(Item(IDC_MAIN_LINES), block, row, column);
}

std::string Program::Status() const { return WindowText(Item(IDC_MAIN_STATUS)); }

void Program::Command(int id) const { Post(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void Program::DoubleClickRow(int row) const {
    SelectRows({row});
    const RECT label = RowRect(row);
    const int x = label.left + (label.right - label.left < 20 ? (label.right - label.left) / 2 : 10);
    DoubleClickList({x, (label.top + label.bottom) / 2});
}

void Program::DoubleClickList(POINT point) const {
    HWND list = Item(IDC_MAIN_RESULTS);
    const LPARAM at = MAKELPARAM(point.x, point.y);
    // What the system sends for a double-click.
    Post(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Post(list, WM_LBUTTONUP, 0, at);
    Post(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    Post(list, WM_LBUTTONUP, 0, at);
}

void Program::SelectRows(const std::vector<int>& rows, int id) const {
    HWND list = Item(id);
    RemoteBlock block(info_.hProcess, sizeof(LVITEMA));
    LVITEMA state = {};
    state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    ASSERT_TRUE(block.Write(&state, sizeof state));
    Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(block.Address()));
    for (int row : rows) {
        state.state = row == rows.back() ? LVIS_FOCUSED | LVIS_SELECTED : LVIS_SELECTED;
        ASSERT_TRUE(block.Write(&state, sizeof state));
        ASSERT_TRUE(Send(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(block.Address())));
    }
}

RECT Program::RowRect(int row) const {
    RemoteBlock block(info_.hProcess, sizeof(RECT));
    RECT label = {};
    label.left = LVIR_LABEL;
    EXPECT_TRUE(block.Write(&label, sizeof label));
    EXPECT_TRUE(Send(Item(IDC_MAIN_RESULTS), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(block.Address())));
    EXPECT_TRUE(block.Read(&label, sizeof label));
    return label;
}

void Program::Focus(int id) const { Send(main_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE); }

HWND Program::Focused() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetThreadId(info_.hThread), &info) ? info.hwndFocus : nullptr;
}

void Program::Press(HWND window, UINT virtualKey) const { PressKey(window, virtualKey); }

void Program::PressWith(UINT modifier, UINT virtualKey) const {
    SetForegroundWindow(main_);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main_; })) << "the program is not in front";
    INPUT keys[4] = {};
    const WORD order[4] = {static_cast<WORD>(modifier), static_cast<WORD>(virtualKey), static_cast<WORD>(virtualKey),
                           static_cast<WORD>(modifier)};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = order[i];
        keys[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(order[i], MAPVK_VK_TO_VSC));
        keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    EXPECT_EQ(SendInput(4, keys, sizeof keys[0]), 4u);
}

namespace {

struct PopupSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindPopupMenu(HWND window, LPARAM context) {
    PopupSearch& search = *reinterpret_cast<PopupSearch*>(context);
    char name[16] = "";
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    GetClassNameA(window, name, sizeof name);
    if (process != search.process || lstrcmpA(name, "#32768") != 0 || !IsWindowVisible(window)) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

HWND Program::OpenPopupMenu() const {
    PopupSearch search = {info_.dwProcessId, nullptr};
    EnumWindows(FindPopupMenu, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Program::Settle() const {
    // Posted messages are taken in order: once this one is, so are the rest.
    HWND query = Item(IDC_MAIN_QUERY);
    Send(query, EM_SETSEL, 0, 0);
    Post(query, EM_SETSEL, 0, 1);
    EXPECT_TRUE(WaitUntil([&] { return Send(query, EM_GETSEL, 0, 0) == MAKELRESULT(0, 1); }))
        << "the program did not take its messages";
}

// The system's own libraries lie at the same address in every process of
// a session, so this process's address of the call is the program's too.
bool Program::MoveCurrentDirectory(const std::string& folder) const {
    RemoteBlock name(info_.hProcess, folder.size() + 1);
    if (!name.Write(folder.c_str(), folder.size() + 1)) return false;
    const auto setCurrentDirectory = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetCurrentDirectoryA")));
    HANDLE thread = CreateRemoteThread(info_.hProcess, nullptr, 0, setCurrentDirectory, name.Address(), 0, nullptr);
    if (thread == nullptr) return false;
    DWORD done = 0;
    const bool ended = WaitForSingleObject(thread, kSendTimeoutMs) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &done);
    CloseHandle(thread);
    return ended && done != 0;
}

bool Program::WaitForExit(DWORD* exitCode, DWORD timeoutMs) const {
    if (info_.hProcess == nullptr || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(info_.hProcess, exitCode) != FALSE;
}
