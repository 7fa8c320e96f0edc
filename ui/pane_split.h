#pragma once

// How the result list and the lines pane share the height between the
// query box and the status bar, with the splitter's bar between them.

// The share of the list, in ten-thousandths of the height the two lists
// have, with the bar's taken out: 60 % at first.
enum { kWholeShare = 10000, kOpeningShare = 6000 };

struct SplitHeights {
    int list, pane;
};

// The lists' heights in `shared` pixels, the bar's `bar` of them taken out:
// the list's share of the rest, but each at least `least` tall while there
// is room for both to be; with less room, each its share.
SplitHeights SplitShared(int shared, int bar, int share, int least);

// The share that gives the list `list` pixels of `shared`, as a drag asks.
int ShareOf(int shared, int bar, int list);
