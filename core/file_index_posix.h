#pragma once
#include <stddef.h>

#include <vector>

#include "core/file_stamp.h"

// The file index built natively from wildcard search paths ("/kit/inc/*.inc",
// or "/kit/inc/**/*.inc" for a tree), for the benchmark and the native tests.
// Names in a folder are matched without regard to case, as the program's own
// system does, and listed in sorted order; links to folders are not entered.
// The block is malloc'ed; null when nothing could be stored. With stamps,
// each file's size and modification time, in index order.
char* BuildPosixFileIndex(const char* const* searchPaths, int count, const char* baseDirectory,
                          std::vector<FileStamp>* stamps = nullptr);
