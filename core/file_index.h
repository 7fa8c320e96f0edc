#pragma once

// The index block lives from the main window's start to its close.
void AllocateFileIndex();
void ReleaseFileIndex();

// Rebuilds the index from Path1..Path5 of the live settings, with each
// file's stamp in App.FileStamps.
void BuildFileIndex();
