#include <gtest/gtest.h>

#include "app/layoutview.h"

namespace trimlet {
namespace {

TEST(LayoutView, DesignedClientArea) {
    const auto l = LayoutView(417, 330, 100, 100, false);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->viewport, (ControlRect{0, 32, 401, 282}));
    EXPECT_EQ(l->vs, (ControlRect{401, 32, 17, 282}));
    EXPECT_EQ(l->hs, (ControlRect{0, 314, 401, 17}));
}

TEST(LayoutView, ScrollRanges) {
    struct Case {
        int imageW, imageH;
        ScrollRange hs, vs;
    };
    const Case cases[] = {
        // A 1000 x 800 picture in the 401 x 282 viewport.
        {1000, 800, {599, 1000, true}, {518, 800, true}},
        // Exactly as wide as the viewport: nothing to scroll.
        {401, 282, {0, 401, false}, {0, 282, false}},
        {402, 283, {1, 402, true}, {1, 283, true}},
        {100, 50, {-301, 100, false}, {-232, 50, false}},
        // The empty picture: the page step stays at least 1.
        {0, 0, {-401, 1, false}, {-282, 1, false}},
        // Beyond the 16-bit range: clamped, never wrapped.
        {40000, 33000, {32767, 32767, true}, {32718, 32767, true}},
        {100000, 20, {32767, 32767, true}, {-262, 20, false}},
    };
    for (const auto& c : cases) {
        const auto l = LayoutView(417, 330, c.imageW, c.imageH, false);
        ASSERT_TRUE(l);
        EXPECT_EQ(l->hsRange, c.hs) << c.imageW << "x" << c.imageH;
        EXPECT_EQ(l->vsRange, c.vs) << c.imageW << "x" << c.imageH;
    }
}

TEST(LayoutView, MinimisedChangesNothing) { EXPECT_FALSE(LayoutView(417, 330, 1, 1, true)); }

TEST(LayoutView, ClientSmallerThanTheMarginsGivesEmptySizes) {
    const auto l = LayoutView(10, 40, 100, 100, false);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->viewport, (ControlRect{0, 32, 0, 0}));
    EXPECT_EQ(l->hs.width, 0);
    EXPECT_EQ(l->vs.height, 0);
    EXPECT_TRUE(l->hsRange.enabled);
}

}  // namespace
}  // namespace trimlet
