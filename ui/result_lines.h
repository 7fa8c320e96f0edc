#pragma once

#include "core/line_locator.h"

// The Line and Text cells of the result list: looked up in the row's file
// when a cell is first asked for (painted, or read), then kept with the row.

// What the rows were found with: the search's matcher, which stays unchanged
// until the list is emptied; a later toggle of the case or match modes does
// not change what these rows' cells show. Null: no cells.
void RememberResultMatcher(const QueryMatcher* matcher);

// The list was emptied: every kept cell goes with its row.
void ForgetResultLines();

// The row's first line that holds the query, looked up once; null only when
// there is no memory for it.
const LineLocation* ResultLineOf(int row);

// Looks the row's line up again, as its file is now.
const LineLocation* RefreshResultLine(int row);

// The row's Line and Text cells; both empty when its file holds the query no more.
const char* ResultLineNumber(int row);
const char* ResultLineText(int row);
