#pragma once
#include <stddef.h>

// What opening a result starts, worked out from the Editor setting, the
// result's path and the first line that holds the query.
//
// The setting is one of:
// - a program alone, as it has always been (a bare path, spaces and all): it
//   gets the quoted path, or, when its file name is one of the editors known
//   here (notepad++.exe, code.exe, ...), that editor's own line option too;
// - a program and a parameter template holding %file% and %line%, such as
//     C:\Tools\ed.exe -l %line% "%file%"
//     "C:\Program Files\My Editor\me.exe" --goto "%file%:%line%"
//   The program ends at the first space, or is the quoted part at the start.
//   The settings file drops the quotes that enclose a whole value, so the
//   second example comes back from it without its first and last quote;
//   that form is recognised and read as it was written.
// When no line is known (0), a template that asks for one is not used: the
// editor gets the quoted path alone.

// Room for a program taken from the setting.
enum { kEditorProgramSize = 256 };

// False when no editor is set: the file is to be opened by its association.
// Otherwise program holds the program to start and parameters its
// parameter text; parameters must have room for the quoted path.
bool MakeEditorCommand(const char* setting, const char* path, unsigned long long line, char* program,
                       char* parameters, size_t parametersSize);
