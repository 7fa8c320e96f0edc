#include "core/line_run.h"

#include <new>

#include "app_state.h"
#include "ui/lines_pane.h"
#include "ui/result_lines.h"

namespace {

// --- On the worker's thread: post to the window, never send ----------------

// Where the worker's answers go; `finished`, its last word, frees it.
struct LineTarget {
    HWND window;
    UINT generation;
};

LineTarget& TargetOf(void* context) { return *static_cast<LineTarget*>(context); }

// While the window lives but its queue is full, the worker keeps the answer
// and offers it again; a window gone takes nothing more.
bool PostAnswer(void* context, LineAnswer* answer) {
    const LineTarget& target = TargetOf(context);
    if (PostMessageA(target.window, WM_APP_LINES_ANSWER, target.generation, reinterpret_cast<LPARAM>(answer)))
        return true;
    if (IsWindow(target.window)) return false;
    FreeLineAnswer(answer);
    return true;
}

bool EndTarget(void* context) {
    delete &TargetOf(context);
    return true;
}

// --- On the window's thread ------------------------------------------------

LineWorker* Worker;
UINT Generation;

void OnAnswer(WPARAM generation, LineAnswer* answer) {
    if (generation != Generation || Worker == nullptr) {
        FreeLineAnswer(answer);
        return;
    }
    // The pane keeps its answer; a row's cells are made from the pane's too.
    switch (answer->ask) {
    case kRowLines:
        TakeRowLines(*answer);
        FreeLineAnswer(answer);
        break;
    case kPaneLines:
        TakeRowLines(*answer);
        ShowPaneLines(answer);
        break;
    case kOpenLine:
        TakeOpenLine(*answer);
        FreeLineAnswer(answer);
        break;
    }
}

}  // namespace

void StartLineRun(const QueryMatcher* matcher) {
    EndLineRun();
    ++Generation;
    if (matcher == nullptr) return;
    LineTarget* target = new (std::nothrow) LineTarget{App.MainWindow, Generation};
    if (target == nullptr) return;
    // Without a worker the cells stay empty and a row opens without its line.
    Worker = StartLineWorker(*matcher, {target, PostAnswer, EndTarget});
    if (Worker == nullptr) delete target;
}

void EndLineRun() {
    if (Worker != nullptr) ReleaseLineWorker(Worker);
    Worker = nullptr;
}

void AskRowLinesOf(int row, const char* path, int shownFrom, int shownTo) {
    if (Worker != nullptr && row >= 0)
        AskRowLines(Worker, static_cast<size_t>(row), path, static_cast<size_t>(shownFrom), static_cast<size_t>(shownTo));
}

void AskPaneLinesOf(int row, const char* path, unsigned ticket) {
    if (Worker != nullptr && row >= 0) AskPaneLines(Worker, static_cast<size_t>(row), path, ticket);
}

void ForgetPaneLinesAsked() {
    if (Worker != nullptr) ForgetPaneLines(Worker);
}

bool AskOpenLineOf(int row, const char* path, unsigned ticket) {
    if (Worker == nullptr || row < 0) return false;
    AskOpenLine(Worker, static_cast<size_t>(row), path, ticket);
    return true;
}

void ForgetOpenLineAsked() {
    if (Worker != nullptr) ForgetOpenLine(Worker);
}

bool HandleLineMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP_LINES_ANSWER) return false;
    OnAnswer(wParam, reinterpret_cast<LineAnswer*>(lParam));
    return true;
}
