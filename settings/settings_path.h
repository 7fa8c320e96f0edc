#pragma once
#include <stddef.h>

#include "core/index_format.h"

// Turns the executable's path, in place, into its settings file's path: a
// three-character extension becomes "ini" ('FINDER.EXE' gives 'FINDER.ini');
// a name without one gets ".ini" appended. False when that does not fit.
bool SettingsPathFromExecutable(char* path, size_t size, LeadByteTable leadBytes = nullptr);
