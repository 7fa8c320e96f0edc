#pragma once
#include <stddef.h>

// The platform's side of reading searched files. The program uses
// searched_file_win32.cpp; the native benchmark and tests use
// searched_file_posix.cpp. Each reader of a search has a SearchedFile of its
// own, so that readers on different threads share no handle and no buffer.
struct SearchedFile;

// Null when there is no memory for one.
SearchedFile* NewSearchedFile();
void DeleteSearchedFile(SearchedFile* file);

// False when the path names nothing that can be read as a file (missing,
// locked, a directory, a device).
bool OpenSearchedFile(SearchedFile* file, const char* path);
// The size, or the largest value when the platform learns it by reading.
bool SearchedFileSize(SearchedFile* file, unsigned long long* size);
// One read; fewer bytes than wanted means the end of the file. False on a
// read error, with got holding what arrived before it.
bool ReadSearchedFile(SearchedFile* file, char* into, size_t want, size_t* got);
void CloseSearchedFile(SearchedFile* file);
