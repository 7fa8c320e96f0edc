#pragma once

#include <stddef.h>

#include "ui/shown_text.h"

// The rows of a result list, in the order they were found. The list control
// keeps none of its own and asks for each cell as it shows it, so that its
// cost does not grow with the rows. Rows are only ever added at the end and
// all removed together.

// A row's cells besides its path, once its file has been read: the first
// line that holds a match, its text, and how many lines hold one.
struct RowCells {
    unsigned long long line;  // 0 when the file holds no match (any longer)
    unsigned long long hits;
    ShownText text;
};

struct ResultRow {
    size_t path;      // where the row's full path starts in ResultRows::text
    RowCells* cells;  // null until its file has been read; the rows own them
};

struct ResultRows {
    char* text;  // the rows' paths one after another, each ended by a zero byte
    size_t textUsed, textSize;
    ResultRow* rows;
    size_t count, slots;
};

// Adds `count` rows whose paths are packed one after another in `paths`,
// each ended by a zero byte. False, with none of them added, when there is
// no memory for them.
bool AddResultRows(ResultRows& rows, const char* paths, size_t count);

// The row's full path; empty past the last row.
const char* ResultRowPath(const ResultRows& rows, size_t row);

// The row's cells, null until they are known; SetResultRowCells hands them
// to the row (null: unknown again), which frees those it had.
const RowCells* ResultRowCells(const ResultRows& rows, size_t row);
void SetResultRowCells(ResultRows& rows, size_t row, RowCells* cells);

// Removes every row and gives its memory back, its cells' too.
void ClearResultRows(ResultRows& rows);
