#pragma once

#include <windows.h>

// Puts a block of zero-terminated text (GMEM_MOVEABLE, unlocked) on the
// clipboard as CF_TEXT, which then owns it; a block the clipboard does not
// take is freed.
void PutOnClipboard(HGLOBAL block);
