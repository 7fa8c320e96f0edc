#include "ui/pane_split.h"

SplitHeights SplitShared(int shared, int bar, int share, int least) {
    const int room = shared > bar ? shared - bar : 0;
    int list = static_cast<int>((static_cast<long long>(room) * share + kWholeShare / 2) / kWholeShare);
    if (room >= 2 * least) {
        if (list < least) list = least;
        if (list > room - least) list = room - least;
    }
    return {list, room - list};
}

int ShareOf(int shared, int bar, int list) {
    const int room = shared - bar;
    if (room <= 0) return kOpeningShare;
    if (list < 0) list = 0;
    if (list > room) list = room;
    return static_cast<int>((static_cast<long long>(list) * kWholeShare + room / 2) / room);
}
