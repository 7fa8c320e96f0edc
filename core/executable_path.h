#pragma once
#include <stddef.h>

// The executable's full path, never truncated: false when it does not fit.
bool GetExecutablePath(char* out, size_t size);

// The executable's folder with its final backslash; empty if unknown.
const char* ExecutableDirectory();
