#include "ui/pane_split.h"

#include <gtest/gtest.h>

namespace {

// Heights in pixels as the window has them under Wine: the lists share 109
// at the opening size, the bar takes 5, three rows 42.
TEST(PaneSplit, SharesKeepsTheLeastAndFollowsADrag) {
    const struct {
        const char* name;
        int shared, bar, share, least, list, pane;
    } cases[] = {
        {"the opening size, 60 to 40", 109, 5, kOpeningShare, 42, 62, 42},
        {"grown: the share is kept", 309, 5, kOpeningShare, 42, 182, 122},
        {"dragged up: the list keeps three rows", 309, 5, 1000, 42, 42, 262},
        {"dragged down: so does the pane", 309, 5, 9500, 42, 262, 42},
        {"too low for both: each its share", 60, 5, kOpeningShare, 42, 33, 22},
        {"no room at all", 3, 5, kOpeningShare, 42, 0, 0},
    };
    for (const auto& c : cases) {
        const SplitHeights heights = SplitShared(c.shared, c.bar, c.share, c.least);
        EXPECT_EQ(heights.list, c.list) << c.name;
        EXPECT_EQ(heights.pane, c.pane) << c.name;
    }
    // A drag puts the bar where the pointer is, within the room.
    EXPECT_EQ(SplitShared(309, 5, ShareOf(309, 5, 150), 42).list, 150);
    EXPECT_EQ(ShareOf(309, 5, 400), kWholeShare);
    EXPECT_EQ(ShareOf(309, 5, -20), 0);
    EXPECT_EQ(ShareOf(4, 5, 2), kOpeningShare);
}

}  // namespace
