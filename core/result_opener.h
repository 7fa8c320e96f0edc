#pragma once

// Hands a result to the editor of the settings, or to the program that the
// shell associates with it when no editor is set. Reports nothing.
void OpenResult(const char* path);
