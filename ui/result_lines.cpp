#include "ui/result_lines.h"

#include <stdlib.h>

#include "app_state.h"
#include "core/decimal_text.h"
#include "core/line_run.h"
#include "core/result_opener.h"
#include "ui/result_list.h"

namespace {

char Number[kLongDecimalTextSize];

// An opening waiting for its line.
struct Opening {
    bool waiting;
    unsigned ticket;
    int row;
    char path[kLongPathSize];
};
Opening Waiting;
unsigned OpenTickets;

// Only rows on screen are asked for; the worker drops what was asked for
// rows scrolled away since.
const RowCells* CellsOf(int row) {
    const RowCells* cells = ResultCells(row);
    if (cells == nullptr && row >= 0) {
        int from, to;
        ShownResultRows(&from, &to);
        if (row >= from && row < to) AskRowLinesOf(row, ResultPath(row), from, to);
    }
    return cells;
}

const char* Formatted(unsigned long long value) {
    FormatUnsignedDecimal(value, Number);
    return Number;
}

}  // namespace

const char* ResultLineNumber(int row) {
    const RowCells* cells = CellsOf(row);
    return cells != nullptr && cells->line != 0 ? Formatted(cells->line) : "";
}

const char* ResultHits(int row) {
    const RowCells* cells = CellsOf(row);
    return cells != nullptr ? Formatted(cells->hits) : "";
}

const char* ResultLineText(int row) {
    const RowCells* cells = CellsOf(row);
    return cells != nullptr ? cells->text.text : "";
}

const ShownText* ResultShownText(int row) {
    const RowCells* cells = CellsOf(row);
    return cells != nullptr ? &cells->text : nullptr;
}

// A file that cannot be read holds no line with a match: its Hits cell reads 0.
void TakeRowLines(const LineAnswer& answer) {
    RowCells* cells = static_cast<RowCells*>(malloc(sizeof(RowCells)));
    if (cells == nullptr) return;
    const LineListing& listing = answer.listing;
    cells->line = listing.lines.empty() ? 0 : listing.lines[0].number;
    cells->hits = listing.count;
    cells->text.length = 0;
    cells->text.markCount = 0;
    cells->text.text[0] = '\0';
    if (!listing.lines.empty()) ShowListedLine(listing, 0, &cells->text);
    const int row = static_cast<int>(answer.row);
    SetResultCells(row, cells);
    RedrawResultRow(row);
}

void OpenResultAtLine(int row) {
    if (row < 0) return;
    GiveUpOpening();
    Waiting.row = row;
    Waiting.ticket = ++OpenTickets;
    lstrcpynA(Waiting.path, ResultPath(row), sizeof Waiting.path);
    Waiting.waiting = AskOpenLineOf(row, Waiting.path, Waiting.ticket);
    if (!Waiting.waiting) OpenResult(Waiting.path, 0);
}

// The row's cells follow what the file holds now: when they differ, they
// are read again once the row is painted.
void TakeOpenLine(const LineAnswer& answer) {
    if (!Waiting.waiting || answer.ticket != Waiting.ticket) return;
    Waiting.waiting = false;
    const unsigned long long line = answer.listing.lines.empty() ? 0 : answer.listing.lines[0].number;
    const RowCells* cells = ResultCells(Waiting.row);
    if (cells != nullptr && cells->line != line) {
        SetResultCells(Waiting.row, nullptr);
        RedrawResultRow(Waiting.row);
    }
    // The shell or the editor may let messages through meanwhile, and with
    // them another opening.
    char path[kLongPathSize];
    lstrcpynA(path, Waiting.path, sizeof path);
    OpenResult(path, line);
}

bool GiveUpOpening() {
    if (!Waiting.waiting) return false;
    Waiting.waiting = false;
    ForgetOpenLineAsked();
    return true;
}

void ForgetResultLines() { GiveUpOpening(); }
