// The loupe's timing, its pixels, its caption and its place in the view.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <string>

#include "selection/loupe.h"

namespace trimlet {
namespace {

constexpr QRgb kGrey = 0xFF808080u;

TEST(Loupe, ShownWhileHeldAndForAMomentAfterAKey) {
    struct Step {
        const char* what;
        int action;  // 0 none, 1 held, 2 released, 3 key, 4 off, 5 on
        std::int64_t now;
        bool visible;
    };
    const Step steps[] = {
        {"at start", 0, 0, false},
        {"button held", 1, 10, true},
        {"released", 2, 20, false},
        {"key", 3, 1000, true},
        {"just before 1.5 s", 0, 2499, true},
        {"at 1.5 s", 0, 2500, false},
        {"a second key restarts the time", 3, 3000, true},
        {"", 3, 4000, true},
        {"", 0, 5499, true},
        {"held after a key outlasts the key", 1, 5000, true},
        {"", 0, 9000, true},
        {"switched off", 4, 9000, false},
        {"switched on again", 5, 9000, true},
        {"released long after the key", 2, 9000, false},
    };
    Loupe loupe;
    for (const Step& s : steps) {
        switch (s.action) {
            case 1:
                loupe.pointerHeld({3, 4});
                break;
            case 2:
                loupe.pointerReleased();
                break;
            case 3:
                loupe.keyEdited({5, 6}, s.now);
                break;
            case 4:
                loupe.setEnabled(false);
                break;
            case 5:
                loupe.setEnabled(true);
                break;
        }
        EXPECT_EQ(loupe.visible(s.now), s.visible) << s.what << " at " << s.now;
    }
    loupe.keyEdited({7, 8}, 100);
    EXPECT_EQ(loupe.hideTime(), std::optional<std::int64_t>(1600));
    EXPECT_EQ(loupe.centre(), QPoint(7, 8));
    loupe.pointerHeld({1, 2});
    EXPECT_EQ(loupe.hideTime(), std::nullopt);  // the button holds it
}

TEST(Loupe, PointerPixelStaysOnThePicture) {
    const QSize pic(100, 50);
    EXPECT_EQ(PointerPixel(10.0, 20.9, pic), QPoint(10, 20));
    EXPECT_EQ(PointerPixel(-3.5, 70, pic), QPoint(0, 49));
    EXPECT_EQ(PointerPixel(99.99, 0, pic), QPoint(99, 0));
    EXPECT_EQ(PointerPixel(250, -0.1, pic), QPoint(99, 0));
}

TEST(Loupe, PixelsCaptionAndEdges) {
    // Every pixel its own colour: red = column, green = row.
    QImage p(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) p.setPixel(x, y, qRgb(x, y, 200));
    // The centre at picture pixel 2, 20: columns -5..9 and rows 13..27 around it.
    const PixelRect block{0, 18, 4, 12};  // the highlighted block
    const LoupeFrame f = ComposeLoupe(p, {2, 20}, block, {0, 0}, {400, 300}, {100, 14}, kGrey);
    EXPECT_EQ(f.text, "(3,21) #0214C8");
    for (int r = 0; r < kLoupePixels; ++r)
        for (int c = 0; c < kLoupePixels; ++c) {
            const int x = 2 - 7 + c, y = 20 - 7 + r;
            const QRgb want = x < 0 ? kGrey : qRgb(x, y, 200);
            ASSERT_EQ(f.colours[std::size_t(r * kLoupePixels + c)], want) << c << "," << r;
        }
    EXPECT_EQ(f.pixels.size(), QSize(120, 120));
    EXPECT_EQ(f.centreBlock, QRect(f.pixels.left() + 56, f.pixels.top() + 56, 8, 8));
    // The block's left edge at grid column 5, its top edge at grid row 5, its right edge
    // after grid column 8; its bottom lies past the loupe.
    const int gx = f.pixels.left(), gy = f.pixels.top();
    const QRect rows(0, gy + 40, 0, 120 - 40);  // the rows the block covers in the loupe
    EXPECT_EQ(f.edgesInside, (std::vector<QRect>{QRect(gx + 40, rows.top(), 1, rows.height()),
                                                 QRect(gx + 71, rows.top(), 1, rows.height()),
                                                 QRect(gx + 40, gy + 40, 32, 1)}));
    EXPECT_EQ(f.edgesOutside,
              (std::vector<QRect>{QRect(gx + 39, gy + 39, 1, 81), QRect(gx + 72, gy + 39, 1, 81),
                                  QRect(gx + 39, gy + 39, 34, 1)}));
}

TEST(Loupe, SitsInTheCornerFarthestFromThePoint) {
    const QImage p(2000, 2000, QImage::Format_RGB32);
    const QSize view(600, 400);
    struct Case {
        QPoint centre, imagePos;
        bool right, bottom;
    };
    const Case cases[] = {
        {{10, 10}, {0, 0}, true, true},
        {{590, 10}, {0, 0}, false, true},
        {{10, 390}, {0, 0}, true, false},
        {{590, 390}, {0, 0}, false, false},
        // Scrolled: the point's place on the screen counts, not its place in the picture.
        {{1010, 1010}, {-1000, -1000}, true, true},
    };
    for (const Case& c : cases) {
        const LoupeFrame f = ComposeLoupe(p, c.centre, {}, c.imagePos, view, {100, 14}, kGrey);
        EXPECT_EQ(f.box.right() == view.width() - 1 - kLoupeMargin, c.right);
        EXPECT_EQ(f.box.left() == kLoupeMargin, !c.right);
        EXPECT_EQ(f.box.bottom() == view.height() - 1 - kLoupeMargin, c.bottom);
        EXPECT_EQ(f.box.top() == kLoupeMargin, !c.bottom);
        const QPoint onScreen = c.centre + c.imagePos;
        EXPECT_FALSE(f.box.contains(onScreen)) << onScreen.x() << "," << onScreen.y();
        EXPECT_TRUE(f.box.contains(f.pixels) && f.box.contains(f.caption));
        EXPECT_TRUE(f.edgesInside.empty() && f.edgesOutside.empty());
    }
    // A caption wider than the pixels widens the loupe.
    const LoupeFrame wide = ComposeLoupe(p, {0, 0}, {}, {0, 0}, view, {200, 14}, kGrey);
    EXPECT_GE(wide.caption.width(), 200);
}

// The caption keeps the view's text size while the picture's widest caption fits under
// the grid, and otherwise shrinks to the largest size that fits, but no further than the
// smallest readable one. Text here is 0.6 of its size wide per character.
TEST(Loupe, CaptionShrinksToFitUnderThePixels) {
    struct Case {
        QSize picture;
        int preferred, want;
    };
    const Case cases[] = {
        {{640, 480}, 12, 10},    // "(888,888) #DDDDDD": 17 characters; 10 * 0.6 * 17 = 102
        {{64, 48}, 12, 12},      // 15 characters at 12: 108, fits
        {{64, 48}, 30, 12},      // a large preferred size shrinks too
        {{12345, 1234}, 12, 9},  // 19 characters: 9 * 0.6 * 19 = 102.6; 10 would be 114
        {{1, 1}, 3, kLoupeMinTextPixels},
        {{32767, 32767}, 12, 8},  // 21 characters: 8 * 0.6 * 21 = 100.8; 9 would be 113.4
    };
    for (const Case& c : cases) {
        const std::string text = LoupeWidestText(c.picture);
        const auto widthAt = [&](int size) {
            return static_cast<int>(std::ceil(size * 0.6 * static_cast<double>(text.size())));
        };
        EXPECT_EQ(LoupeTextPixels(c.preferred, widthAt), c.want) << text;
    }
    EXPECT_EQ(LoupeWidestText({640, 48}), "(888,88) #DDDDDD");
}

}  // namespace
}  // namespace trimlet
