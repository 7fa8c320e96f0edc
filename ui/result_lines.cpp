#include "ui/result_lines.h"

#include <string.h>

#include "app_state.h"
#include "core/decimal_text.h"
#include "core/line_lookup.h"
#include "ui/result_list.h"

namespace {

struct ResultLine {
    LineLocation location;
    char number[kLongDecimalTextSize];  // empty when the file holds the query no more
};

const QueryMatcher* ResultMatcher;

// One slot per row, in row order, filled as rows are asked for: rows are only
// ever added at the end and all removed together.
ResultLine** Lines;
size_t LineSlots;

bool HaveSlot(size_t row) {
    if (row < LineSlots) return true;
    size_t slots = LineSlots == 0 ? 256 : LineSlots;
    while (slots <= row) slots *= 2;
    void* grown = Lines == nullptr ? GlobalAlloc(GPTR, slots * sizeof *Lines)
                                   : GlobalReAlloc(Lines, slots * sizeof *Lines, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (grown == nullptr) return false;
    Lines = static_cast<ResultLine**>(grown);
    LineSlots = slots;
    return true;
}

void LookUp(int row, ResultLine* line) {
    line->location.line = 0;
    line->location.length = 0;
    line->location.text[0] = '\0';
    if (ResultMatcher != nullptr) LookUpLine(ResultPath(row), *ResultMatcher, &line->location);
    line->number[0] = '\0';
    if (line->location.line != 0) FormatUnsignedDecimal(line->location.line, line->number);
}

}  // namespace

void RememberResultMatcher(const QueryMatcher* matcher) { ResultMatcher = matcher; }

void ForgetResultLines() {
    for (size_t row = 0; row < LineSlots; ++row)
        if (Lines[row] != nullptr) GlobalFree(Lines[row]);
    if (Lines != nullptr) GlobalFree(Lines);
    Lines = nullptr;
    LineSlots = 0;
}

const LineLocation* ResultLineOf(int row) {
    if (row < 0 || !HaveSlot(static_cast<size_t>(row))) return nullptr;
    ResultLine*& line = Lines[row];
    if (line == nullptr) {
        line = static_cast<ResultLine*>(GlobalAlloc(GPTR, sizeof(ResultLine)));
        if (line == nullptr) return nullptr;
        LookUp(row, line);
    }
    return &line->location;
}

const LineLocation* RefreshResultLine(int row) {
    if (row >= 0 && static_cast<size_t>(row) < LineSlots && Lines[row] != nullptr) LookUp(row, Lines[row]);
    return ResultLineOf(row);
}

const char* ResultLineNumber(int row) { return ResultLineOf(row) != nullptr ? Lines[row]->number : ""; }

const char* ResultLineText(int row) { return ResultLineOf(row) != nullptr ? Lines[row]->location.text : ""; }
