#pragma once

#include "core/search_engine_lines.h"
#include "ui/result_rows.h"

// The Line, Hits and Text cells of the result list, and opening a row at its
// line. The lines worker reads a row's file once the row is painted; its
// cells stay empty until the answer comes.

// The row's cells; asking for one of a row not yet read asks the worker.
const char* ResultLineNumber(int row);
const char* ResultHits(int row);
const char* ResultLineText(int row);
// Its text with the marks of its matches; null while unknown.
const ShownText* ResultShownText(int row);

// The row's cells from the worker's answer about its file.
void TakeRowLines(const LineAnswer& answer);

// Opens the row's file in the editor at its first line that holds a match,
// as the file is now: once the worker has read it that far. A later opening
// takes its place.
void OpenResultAtLine(int row);
void TakeOpenLine(const LineAnswer& answer);

// Escape: gives up an opening that waits for its line; false when none does.
bool GiveUpOpening();

// The list was emptied.
void ForgetResultLines();
