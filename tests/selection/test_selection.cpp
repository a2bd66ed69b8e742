#include <gtest/gtest.h>

#include "selection/selection.h"

namespace trimlet {
namespace {

struct CaptionCase {
    Selection sel;
    const char* caption;
};

TEST(Selection, CaptionTable) {
    Selection whole640;
    SelectWholePicture(whole640, 640, 480);
    Selection whole1;
    SelectWholePicture(whole1, 1, 1);
    Selection empty;
    SelectWholePicture(empty, 0, 0);
    const CaptionCase cases[] = {
        {whole640, "選択(1,1)-(640,480) W=640 H=480"},
        {{11, 5, 9, 0, 11, 5}, "選択(11,5)-(20,5) W=10 H=1"},
        {whole1, "選択(1,1)-(1,1) W=1 H=1"},
        {{0, 5, 0, 0, 0, 5}, "選択(0,5)-(0,5) W=1 H=1"},
        {{0, 0, 0, 0, 0, 0}, "選択なし"},
        {empty, "選択(1,1)-(0,0) W=0 H=0"},
        // Only all six at 0 is "no selection": a leftover anchor still shows numbers.
        {{0, 0, 0, 0, 3, 0}, "選択(0,0)-(0,0) W=1 H=1"},
        {{-5, -2, 3, 4, -5, -2}, "選択(-5,-2)-(-2,2) W=4 H=5"},
        // Extreme numbers are written in full, without wrapping around.
        {{INT32_MAX, 1, INT32_MAX, 0, 1, 1}, "選択(2147483647,1)-(4294967294,1) W=2147483648 H=1"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.sel.caption(), c.caption);
}

TEST(Selection, BoxIsOnePixelLargerOnEverySideAndTheHighlightIsTheSavedBlock) {
    const Selection sel{10, 20, 4, 2, 10, 20};
    EXPECT_EQ(sel.box(), (PixelRect{9, 19, 6, 4}));
    EXPECT_EQ(sel.highlight(), (PixelRect{9, 19, 5, 3}));
    // A click reported at 10, 20 highlights the pixel one column left and one row up.
    const Selection click{10, 20, 0, 0, 10, 20};
    EXPECT_EQ(click.highlight(), (PixelRect{9, 19, 1, 1}));
    // All zero: a 2 x 2 box at -1, -1 whose one highlighted pixel lies outside.
    EXPECT_EQ(Selection{}.box(), (PixelRect{-1, -1, 2, 2}));
    EXPECT_EQ(Selection{}.highlight(), (PixelRect{-1, -1, 1, 1}));
}

TEST(Selection, SelectWholePicture) {
    struct Case {
        int w, h;
        Selection expected;
        PixelRect highlight;
    };
    const Case cases[] = {
        {640, 480, {1, 1, 639, 479, 1, 1}, {0, 0, 640, 480}},
        {1, 1, {1, 1, 0, 0, 1, 1}, {0, 0, 1, 1}},
        // The empty picture: a 1 x 1 box at 0, 0 that highlights nothing.
        {0, 0, {1, 1, -1, -1, 1, 1}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        Selection sel{7, 8, 9, 10, 11, 12};
        SelectWholePicture(sel, c.w, c.h);
        EXPECT_EQ(sel, c.expected) << c.w << "x" << c.h;
        EXPECT_EQ(sel.highlight(), c.highlight) << c.w << "x" << c.h;
        if (c.w == 0) {
            EXPECT_EQ(sel.box(), (PixelRect{0, 0, 1, 1}));
        }
    }
}

}  // namespace
}  // namespace trimlet
