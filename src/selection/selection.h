#pragma once

#include <cstdint>
#include <string>

#include "common/pixelrect.h"

namespace trimlet {

// The selected rectangle. Columns and rows count from 1 for the picture's first
// column and row; selDX and selDY are the width and height minus 1. The anchor is
// the drag's fixed corner while the left button is held, the pointer offset during a
// right-button move, and the top-left corner otherwise.
struct Selection {
    std::int32_t selLeft = 0;
    std::int32_t selTop = 0;
    std::int32_t selDX = 0;
    std::int32_t selDY = 0;
    std::int32_t anchorX = 0;
    std::int32_t anchorY = 0;

    bool operator==(const Selection&) const = default;

    bool allZero() const {
        return selLeft == 0 && selTop == 0 && selDX == 0 && selDY == 0 && anchorX == 0 &&
               anchorY == 0;
    }

    // The window caption: "選択(x,y)-(x2,y2) W=w H=h", or "選択なし" when all six
    // numbers are 0. UTF-8.
    std::string caption() const;

    // A pointer position (image-box pixels, first column 0, unrounded) lies in the
    // selection: selLeft <= x <= selLeft + selDX and the same for rows, bounds inclusive.
    bool containsPointer(double x, double y) const {
        const double left = selLeft, top = selTop;
        return left <= x && x <= left + selDX && top <= y && y <= top + selDY;
    }

    // The outline box of the selection rectangle, one pixel outside the selection on
    // every side.
    PixelRect box() const;

    // The highlighted block, which is also the block a save cuts out: the box less
    // its outline, image-box columns selLeft-1 .. selLeft+selDX-1.
    PixelRect highlight() const;
};

// Selects columns 1..width and rows 1..height with the anchor at the top-left corner.
void SelectWholePicture(Selection& sel, std::int32_t imageWidth, std::int32_t imageHeight);

}  // namespace trimlet
