#include <gtest/gtest.h>

#include <string>

#include "app/layoutview.h"
#include "common/scrollbarmodel.h"

namespace trimlet {
namespace {

TEST(LayoutView, DesignedClientArea) {
    const auto l = LayoutView(417, 330, 100, 100, false);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->viewport, (ControlRect{0, 32, 401, 282}));
    EXPECT_EQ(l->vs, (ControlRect{401, 32, 17, 282}));
    EXPECT_EQ(l->hs, (ControlRect{0, 314, 401, 17}));
}

// A bar's range as the layout gives it, and whether a bar model with that range can
// be moved.
struct Expect {
    int max, largeChange;
    bool enabled;
};

void ExpectRange(const ScrollRange& got, const Expect& want, const std::string& what) {
    EXPECT_EQ(got.max, want.max) << what;
    EXPECT_EQ(got.largeChange, want.largeChange) << what;
    ScrollBarModel bar;
    bar.setMax(got.max);
    EXPECT_EQ(bar.enabled(), want.enabled) << what;
}

TEST(LayoutView, ScrollRanges) {
    struct Case {
        int imageW, imageH;
        Expect hs, vs;
    };
    const Case cases[] = {
        // A 1000 x 800 picture in the 401 x 282 viewport.
        {1000, 800, {599, 1000, true}, {518, 800, true}},
        // Exactly as wide as the viewport: nothing to scroll.
        {401, 282, {0, 401, false}, {0, 282, false}},
        // One pixel larger: Max = Min, a single value, nothing to scroll.
        {402, 283, {1, 402, false}, {1, 283, false}},
        {403, 284, {2, 403, true}, {2, 284, true}},
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
        const std::string what = std::to_string(c.imageW) + "x" + std::to_string(c.imageH);
        ExpectRange(l->hsRange, c.hs, "hs " + what);
        ExpectRange(l->vsRange, c.vs, "vs " + what);
    }
}

TEST(LayoutView, MinimisedChangesNothing) { EXPECT_FALSE(LayoutView(417, 330, 1, 1, true)); }

TEST(LayoutView, ClientSmallerThanTheMarginsGivesEmptySizes) {
    const auto l = LayoutView(10, 40, 100, 100, false);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->viewport, (ControlRect{0, 32, 0, 0}));
    EXPECT_EQ(l->hs.width, 0);
    EXPECT_EQ(l->vs.height, 0);
    EXPECT_EQ(l->hsRange.max, 100);
}

TEST(DeviceSpan, WholeDevicePixelsInsideALogicalSpan) {
    struct Case {
        double start, length, ratio;
        DeviceSpan want;
    };
    const Case cases[] = {
        {0, 401, 1, {0, 401}},
        {23, 401, 2, {46, 802}},
        // 1.5: an odd logical start begins half way into a device pixel, which is
        // left to the neighbour; so is a half pixel at the end.
        {0, 401, 1.5, {0, 601}},
        {23, 401, 1.5, {35, 601}},
        {22, 401, 1.5, {33, 601}},
        {23, 282, 1.5, {35, 422}},
        {1, 3, 1.25, {2, 3}},   // 1.25 .. 5: pixels 2, 3, 4
        {2, 3, 1.25, {3, 3}},   // 2.5 .. 6.25: pixels 3, 4, 5
        {10, 7, 1.1, {11, 7}},  // 11.000000000000002 stays 11
        {0, 0, 1.5, {0, 0}},
        {5, -3, 2, {10, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeviceSpanOf(c.start, c.length, c.ratio), c.want)
            << c.start << " + " << c.length << " at " << c.ratio;
}

TEST(LayoutView, RangesAreInDevicePixels) {
    struct Case {
        DeviceMapping device;
        int viewW, viewH;  // device pixels of the 401 x 282 logical viewport
        Expect hs;
    };
    // A 1000 x 800 picture; the client area starts below a 23 (logical) menu bar.
    const Case cases[] = {
        {{1.0, 0, 23}, 401, 282, {599, 1000, true}},
        {{2.0, 0, 23}, 802, 564, {198, 1000, true}},
        {{1.5, 0, 23}, 601, 422, {399, 1000, true}},
        {{1.25, 0, 23}, 501, 352, {499, 1000, true}},
        {{3.0, 0, 23}, 1203, 846, {-203, 1000, false}},
    };
    for (const Case& c : cases) {
        const auto l = LayoutView(417, 330, 1000, 800, false, c.device);
        ASSERT_TRUE(l);
        // The controls keep their logical geometry; only the view's numbers change.
        EXPECT_EQ(l->viewport, (ControlRect{0, 32, 401, 282}));
        EXPECT_EQ(l->viewportDeviceWidth, c.viewW) << c.device.ratio;
        EXPECT_EQ(l->viewportDeviceHeight, c.viewH) << c.device.ratio;
        ExpectRange(l->hsRange, c.hs, std::to_string(c.device.ratio));
        EXPECT_EQ(l->vsRange.max, 800 - c.viewH) << c.device.ratio;
    }
}

}  // namespace
}  // namespace trimlet
