#pragma once
#include <stddef.h>

// The platform's side of reading one searched file at a time. The program
// uses searched_file_win32.cpp; the native benchmark and tests use
// searched_file_posix.cpp.

// False when the path names nothing that can be read as a file (missing,
// locked, a directory, a device).
bool OpenSearchedFile(const char* path);
// The size, or the largest value when the platform learns it by reading.
bool SearchedFileSize(unsigned long long* size);
// One read; fewer bytes than wanted means the end of the file. False on a
// read error, with got holding what arrived before it.
bool ReadSearchedFile(char* into, size_t want, size_t* got);
void CloseSearchedFile();
