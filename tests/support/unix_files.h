#pragma once

#include <string>

// The folder that a ctest fixture filled from the Unix side (unix_files.sh),
// named by VANTREL_UNIX_FILES, as the Windows path of Wine's drive Z: with a
// final backslash. Empty when the variable is not set.
std::string UnixFilesFolder();
