#include "core/result_opener.h"

#include "app_state.h"
#include "core/effects.h"

void OpenResult(const char* path) {
    const char* editor = App.Settings.Slots[Editor];
    if (editor[0] == '\0') {
        StartProgram(App.MainWindow, path, nullptr);
        return;
    }
    // Quoted, so that a path with spaces reaches the editor as one parameter.
    static char quoted[kLongPathSize + 2];
    lstrcpyA(quoted, "\"");
    lstrcatA(quoted, path);
    lstrcatA(quoted, "\"");
    StartProgram(App.MainWindow, editor, quoted);
}
