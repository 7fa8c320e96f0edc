#pragma once

// The Search command: empties the result list and runs a search.
void SearchCommand();

// Reads the query, searches the indexed files and shows the elapsed time.
void RunSearch();

// Walks the file index and adds one result row per file holding the query.
void SearchIndexedFiles();
