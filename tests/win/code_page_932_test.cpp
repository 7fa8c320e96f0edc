// Run by ctest with the ANSI code page set to 932 (tests/CMakeLists.txt), where
// '表' is 0x95 0x5C: its second byte is a backslash that separates nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include <string>
#include <vector>

#include "app_state.h"
#include "res/resource.h"
#include "support/effects_recorder.h"
#include "support/temp_folder.h"
#include "support/test_window.h"
#include "ui/search_pattern.h"

namespace {

using Rows = std::vector<std::string>;

WNDPROC ListProc;

// Windows' list control (version 6) keeps its texts in UTF-16 and answers
// LVM_GETITEMTEXTA with the length in characters, fewer than the bytes under
// this code page; Wine's answers with the bytes. The list is made to answer
// as Windows' does.
LRESULT CALLBACK CountingCharacters(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT length = CallWindowProcW(ListProc, list, message, wParam, lParam);
    if (message != LVM_GETITEMTEXTA || length <= 0) return length;
    const LVITEMA* item = reinterpret_cast<const LVITEMA*>(lParam);
    return MultiByteToWideChar(CP_ACP, 0, item->pszText, static_cast<int>(length), nullptr, 0);
}

std::string ClipboardText() {
    std::string text = "(no text)";
    if (!OpenClipboard(nullptr)) return "(clipboard busy)";
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* bytes = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (bytes != nullptr) text = bytes;
    if (bytes != nullptr) GlobalUnlock(data);
    CloseClipboard();
    return text;
}

// Ctrl and the key, as the list hears them from the keyboard.
void PressWithControl(HWND list, UINT key) {
    BYTE keys[256] = {}, held[256] = {};
    GetKeyboardState(keys);
    memcpy(held, keys, sizeof held);
    held[VK_CONTROL] = 0x80;
    SetKeyboardState(held);
    SendMessageA(list, WM_KEYDOWN, key, 1);
    SetKeyboardState(keys);
}

TEST(CodePage932, FoldersAreCutOnlyAtRealSeparators) {
    ASSERT_EQ(GetACP(), 932u) << "Wine takes the code page from LC_ALL";
    TestWindow window;
    TempFolder folder;
    ClearRecordedEffects();
    const std::string hyo = "\x95\x5C";
    folder.MakeFolder(hyo);
    folder.Write(hyo + "\\a.inc", "needle");
    folder.Write(hyo + "\\" + hyo + ".inc", "needle");
    IndexPaths({folder / (hyo + "\\*.inc"), folder / (hyo + "\\" + hyo + ".inc"), folder / "**\\*.inc"});
    const std::string a = folder / (hyo + "\\a.inc"), named = folder / (hyo + "\\" + hyo + ".inc");
    EXPECT_EQ(window.Search("needle"), (Rows{a, named, named, a, named}));
    EXPECT_TRUE(RecordedTones().empty());

    char pattern[kTextSize];
    DeriveSearchPattern(named.c_str(), pattern, sizeof pattern);
    EXPECT_EQ(std::string(pattern), folder / (hyo + "\\*.inc"));
}

// Ctrl+C measures each path itself: every selected path is copied whole.
TEST(CodePage932, CtrlCCopiesPathsOfDoubleByteCharactersWhole) {
    ASSERT_EQ(GetACP(), 932u) << "Wine takes the code page from LC_ALL";
    TestWindow window;
    TempFolder folder;
    const std::string hyo = "\x95\x5C", nihon = "\x93\xFA\x96\x7B";  // 表, 日本
    folder.MakeFolder(nihon);
    for (const std::string& name : Rows{hyo + ".inc", "a.inc", nihon + hyo + nihon + ".inc"})
        folder.Write(nihon + "\\" + name, "needle");
    IndexPaths({folder / (nihon + "\\*.inc")});
    const Rows rows = window.Search("needle");
    ASSERT_EQ(rows.size(), 3u);
    HWND list = GetDlgItem(App.MainWindow, IDC_MAIN_RESULTS);
    ListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingCharacters)));
    LVITEMA selected = {};
    selected.stateMask = selected.state = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&selected));

    PressWithControl(list, 'C');
    EXPECT_EQ(ClipboardText(), rows[0] + "\r\n" + rows[1] + "\r\n" + rows[2]);
    SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc));
}

}  // namespace
