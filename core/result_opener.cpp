#include "core/result_opener.h"

#include "app_state.h"
#include "core/editor_command.h"
#include "core/effects.h"

void OpenResult(const char* path, unsigned long long line) {
    static char program[kEditorProgramSize];
    // The path, quoted, and what an editor's template puts around it.
    static char parameters[2 * kLongPathSize];
    if (!MakeEditorCommand(App.Settings.Slots[Editor], path, line, program, parameters, sizeof parameters)) {
        StartProgram(App.MainWindow, path, nullptr);
        return;
    }
    StartProgram(App.MainWindow, program, parameters);
}
