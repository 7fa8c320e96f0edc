#pragma once

#include <string>
#include <vector>

// A real window holding the controls that a search reads and fills (query
// field, status line, result list), registered in App as the main window.
class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    void SetQuery(const std::string& query) const;
    std::vector<std::string> Rows() const;
    // Runs the Search command for the query, waits for its end and gives
    // back the rows.
    std::vector<std::string> Search(const std::string& query) const;
    std::string Status() const;
};

// Takes the window's messages until the search has ended.
void WaitForSearch();

// Builds the index from the given search paths (Path1 first).
void IndexPaths(const std::vector<std::string>& paths);

// Every file of the index as its full path, in index order.
std::vector<std::string> IndexedFiles();
