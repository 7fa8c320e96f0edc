#pragma once

#include <string>
#include <vector>

// The folder that a ctest fixture filled from the Unix side (unix_files.sh),
// named by VANTREL_UNIX_FILES, as the Windows path of Wine's drive Z: with a
// final backslash. Empty when the variable is not set.
std::string UnixFilesFolder();

// The folder named by an environment variable, a Unix path taken through
// drive Z:, with a final backslash; empty when the variable is not set.
std::string FolderFromEnvironment(const char* variable);

// The names in a folder, "." and ".." left out, sorted.
std::vector<std::string> FolderEntries(const std::string& folder);
