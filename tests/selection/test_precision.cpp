// Trimming a plain margin away, the typed rectangle's rule and the remembered block.
#include <gtest/gtest.h>

#include <QImage>
#include <optional>

#include "selection/precision.h"

namespace trimlet {
namespace {

constexpr QRgb kGrey = 0xFF808080u;

// A 20 x 12 picture of white with a content block of `ink` at columns 5..9, rows 3..6
// (first column 0), and a near-white speck that lies within the tolerance.
QImage MarginPicture(QRgb ink) {
    QImage p(20, 12, QImage::Format_RGB32);
    p.fill(0xFFFFFFFFu);
    for (int y = 3; y <= 6; ++y)
        for (int x = 5; x <= 9; ++x) p.setPixel(x, y, ink);
    p.setPixel(15, 10, qRgb(247, 255, 250));  // 8 off in red: still margin
    return p;
}

Selection Whole(int w, int h) {
    Selection s;
    SelectWholePicture(s, w, h);
    return s;
}

TEST(TrimToContent, Table) {
    const QImage picture = MarginPicture(0xFF000000u);
    QImage speck = MarginPicture(0xFF000000u);
    speck.setPixel(15, 10, qRgb(246, 255, 255));  // 9 off: content
    QImage plain(8, 8, QImage::Format_RGB32);
    plain.fill(0xFF123456u);
    QImage greyEdge(6, 6, QImage::Format_RGB32);  // a grey picture, dark pixel at 3,3
    greyEdge.fill(kGrey);
    greyEdge.setPixel(3, 3, 0xFF000000u);
    struct Case {
        const char* what;
        const QImage* picture;
        Selection before;
        std::optional<Selection> after;
    };
    const Case cases[] = {
        {"whole picture: the block of ink", &picture, Whole(20, 12), Selection{6, 4, 4, 3, 6, 4}},
        {"a speck 9 off keeps the right and bottom edges at it", &speck, Whole(20, 12),
         Selection{6, 4, 10, 7, 6, 4}},
        {"already tight: nothing changes", &picture, Selection{6, 4, 4, 3, 6, 4}, std::nullopt},
        {"all margin: nothing left", &plain, Whole(8, 8), std::nullopt},
        {"one margin row above only", &picture, Selection{6, 3, 4, 3, 6, 3},
         Selection{6, 4, 4, 2, 6, 4}},
        // A block reaching outside the picture: its top-left pixel is the view's grey, so
        // the outside is margin and the grey picture with it.
        {"outside counts as grey", &greyEdge, Selection{-1, -1, 9, 9, -1, -1},
         Selection{4, 4, 0, 0, 4, 4}},
        // Outside grey is not white: only rows and columns wholly grey go.
        {"outside grey beside white", &picture, Selection{-2, 1, 5, 0, -2, 1},
         Selection{1, 1, 2, 0, 1, 1}},
        {"empty picture", &plain, Selection{1, 1, -1, -1, 1, 1}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TrimToContent(c.before, *c.picture, kGrey), c.after);
    }
}

TEST(TrimToContent, EveryRuleAgainstABruteForceOracle) {
    // Random small pictures of few colours: the result is the smallest block holding every
    // pixel of the selection that is not near its top-left pixel.
    std::uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    for (int round = 0; round < 300; ++round) {
        const int w = 1 + next() % 7, h = 1 + next() % 7;
        QImage p(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int v = next() % 4 == 0 ? 100 + int(next() % 3) * 5 : 60;
                p.setPixel(x, y, qRgb(v, v, v));
            }
        Selection sel{int(next() % 3), int(next() % 3), int(next() % 7), int(next() % 7), 0, 0};
        sel.anchorX = sel.selLeft, sel.anchorY = sel.selTop;
        const PixelRect b = sel.highlight();
        const auto at = [&](int x, int y) {
            return x < 0 || y < 0 || x >= w || y >= h ? kGrey : p.pixel(x, y);
        };
        const QRgb m = at(b.left, b.top);
        int x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
        for (int y = b.top; y < b.top + b.height; ++y)
            for (int x = b.left; x < b.left + b.width; ++x) {
                const QRgb c = at(x, y);
                if (std::abs(qRed(c) - qRed(m)) > 8 || std::abs(qGreen(c) - qGreen(m)) > 8 ||
                    std::abs(qBlue(c) - qBlue(m)) > 8)
                    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x),
                    y1 = std::max(y1, y);
            }
        std::optional<Selection> want;
        if (x1 >= 0 && (x0 != b.left || y0 != b.top || x1 != b.left + b.width - 1 ||
                        y1 != b.top + b.height - 1))
            want = Selection{x0 + 1, y0 + 1, x1 - x0, y1 - y0, x0 + 1, y0 + 1};
        ASSERT_EQ(TrimToContent(sel, p, kGrey), want) << "round " << round;
    }
}

TEST(RectangleDialogRule, WhatTheKeyboardCanReach) {
    struct Case {
        CaptionRect r;
        bool ok;
    };
    // A 640 x 480 picture.
    const Case cases[] = {
        {{1, 1, 640, 480}, true},     {{640, 480, 1, 1}, true},     {{100, 50, 541, 431}, true},
        {{100, 50, 542, 431}, false}, {{100, 50, 541, 432}, false}, {{0, 1, 10, 10}, false},
        {{1, 0, 10, 10}, false},      {{1, 1, 0, 10}, false},       {{1, 1, 10, 0}, false},
        {{641, 1, 1, 1}, false},      {{-5, 1, 10, 10}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AcceptableRectangle(c.r, 640, 480), c.ok)
            << c.r.left << "," << c.r.top << " " << c.r.width << "x" << c.r.height;
    EXPECT_FALSE(AcceptableRectangle({1, 1, 1, 1}, 0, 0));
    // Each box alone refuses what no rectangle can use.
    EXPECT_EQ(FieldRange(RectField::Left, 640, 480).max, 640);
    EXPECT_EQ(FieldRange(RectField::Height, 640, 480).max, 480);
    EXPECT_EQ(FieldRange(RectField::Width, 640, 480).min, 1);
    // The selection a rectangle gives highlights exactly that rectangle.
    const Selection s = SelectionOf({100, 50, 541, 431});
    EXPECT_EQ(s, (Selection{100, 50, 540, 430, 100, 50}));
    EXPECT_EQ(RectOf(s), (CaptionRect{100, 50, 541, 431}));
    EXPECT_EQ(s.highlight(), (PixelRect{99, 49, 541, 431}));
}

TEST(LastRectangle, SelectsTheRememberedBlockAgain) {
    LastRectangle last;
    EXPECT_FALSE(last.selection());
    last.remember({0, 0, 0, 5});  // nothing to remember in an empty block
    EXPECT_FALSE(last.selection());
    // Blocks inside and reaching outside the picture come back as the same block.
    for (const PixelRect& block : {PixelRect{9, 19, 5, 3}, PixelRect{-1, -1, 2, 2}}) {
        last.remember(block);
        ASSERT_TRUE(last.selection());
        EXPECT_EQ(last.selection()->highlight(), block);
        EXPECT_EQ(last.selection()->anchorX, last.selection()->selLeft);
        EXPECT_EQ(last.selection()->anchorY, last.selection()->selTop);
    }
}

}  // namespace
}  // namespace trimlet
