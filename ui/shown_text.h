#pragma once
#include <stddef.h>

#include "core/line_locator.h"

// A listed line as the lists show it: in the ANSI code page, after an
// ellipsis when it is cut ahead of its first match, with the bytes of its
// matches, which are drawn in bold.

// Two bytes a character under a double-byte code page, and the ellipsis.
enum { kShownTextRoom = 2 * kLineTextLimit + 8 };
// Marks side by side join, so a line of kLineTextLimit characters holds at most half as many.
enum { kShownMarkLimit = kLineTextLimit / 2 + 1 };

struct ShownText {
    size_t length;
    size_t markCount;
    LineMark marks[kShownMarkLimit];
    char text[kShownTextRoom];  // zero-terminated
};

// The ellipsis in the ANSI code page, once at the start.
void PrepareShownTexts();

// The listing's line `index`, converted from the file's encoding (ui/shown_text.cpp).
void ShowListedLine(const LineListing& listing, size_t index, ShownText* out);
