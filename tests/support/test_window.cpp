#include "support/test_window.h"

#include "app_state.h"
#include "core/file_index.h"
#include "core/index_format.h"
#include "core/search_run.h"
#include "res/resource.h"
#include "ui/result_list.h"

namespace {

WNDPROC StaticProc;

// The search's messages, and the list's requests for its cells, reach it as
// they reach the main window.
LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleSearchMessage(message, wParam, lParam)) return 0;
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->idFrom == IDC_MAIN_RESULTS &&
        OnResultListNotify(reinterpret_cast<const NMHDR*>(lParam)))
        return 0;
    return CallWindowProcA(StaticProc, window, message, wParam, lParam);
}

HWND Child(HWND parent, const char* windowClass, DWORD style, int id) {
    return CreateWindowExA(0, windowClass, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 200, 100, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

TestWindow::TestWindow() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    App.MainWindow = CreateWindowExA(0, "STATIC", "test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
    StaticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(App.MainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TestWindowProc)));
    Child(App.MainWindow, "EDIT", ES_AUTOHSCROLL, IDC_MAIN_QUERY);
    Child(App.MainWindow, STATUSCLASSNAMEA, CCS_BOTTOM, IDC_MAIN_STATUS);
    App.ResultList = Child(App.MainWindow, WC_LISTVIEWA, LVS_REPORT | LVS_OWNERDATA, IDC_MAIN_RESULTS);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 174;
    column.pszText = const_cast<char*>("File Results");
    SendMessageA(App.ResultList, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    App.CaseInsensitive = 1;
    AllocateFileIndex();
}

TestWindow::~TestWindow() {
    EndSearch();
    EmptyResultList();
    ReleaseFileIndex();
    DestroyWindow(App.MainWindow);
    App.MainWindow = nullptr;
    App.ResultList = nullptr;
    for (auto& slot : App.Settings.Slots) slot[0] = '\0';
}

void TestWindow::SetQuery(const std::string& query) const {
    SetDlgItemTextA(App.MainWindow, IDC_MAIN_QUERY, query.c_str());
}

std::vector<std::string> TestWindow::Search(const std::string& query) const {
    SetQuery(query);
    SearchCommand();
    WaitForSearch();
    return Rows();
}

void WaitForSearch() {
    MSG message;
    while (SearchRunning() && GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::vector<std::string> TestWindow::Rows() const {
    std::vector<std::string> rows;
    int count = static_cast<int>(SendMessageA(App.ResultList, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::vector<char> text(kLongPathSize);
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        SendMessageA(App.ResultList, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        rows.push_back(text.data());
    }
    return rows;
}

std::string TestWindow::Status() const {
    char text[kLongPathSize];
    GetDlgItemTextA(App.MainWindow, IDC_MAIN_STATUS, text, sizeof text);
    return text;
}

void IndexPaths(const std::vector<std::string>& paths) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        std::string path = slot < static_cast<int>(paths.size()) ? paths[slot] : "";
        lstrcpynA(App.Settings.Slots[slot], path.c_str(), kTextSize);
    }
    BuildFileIndex();
}

std::vector<std::string> IndexedFiles() {
    std::vector<std::string> files;
    IndexCursor cursor = StartIndexWalk(App.FileIndex);
    const char* name;
    while (NextIndexedFile(cursor, &name)) files.push_back(std::string(cursor.directory, cursor.directoryLength) + name);
    return files;
}
