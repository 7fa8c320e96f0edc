#pragma once

// Hands a result to the editor of the settings, at the given line (0 when no
// line is known), or to the program that the shell associates with it when
// no editor is set. Reports nothing.
void OpenResult(const char* path, unsigned long long line);
