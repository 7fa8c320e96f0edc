#include "ui/clipboard_text.h"

#include "app_state.h"

namespace {

// Another program may hold the clipboard for a moment: a clipboard manager,
// or the system itself right after the last copy.
bool OpenClipboardSoon() {
    for (int attempt = 0; attempt < 25; ++attempt) {
        if (OpenClipboard(App.MainWindow)) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

void PutOnClipboard(HGLOBAL block) {
    if (OpenClipboardSoon()) {
        EmptyClipboard();
        if (SetClipboardData(CF_TEXT, block) != nullptr) block = nullptr;  // the clipboard owns it now
        CloseClipboard();
    }
    if (block != nullptr) GlobalFree(block);
}
