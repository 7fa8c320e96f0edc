#pragma once

#include <stddef.h>

// The rows of a result list, in the order they were found. The list control
// keeps none of its own and asks for each cell as it shows it, so that its
// cost does not grow with the rows. Rows are only ever added at the end and
// all removed together.

struct ResultRow {
    size_t path;  // where the row's full path starts in ResultRows::text
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

// Removes every row and gives its memory back.
void ClearResultRows(ResultRows& rows);
