#pragma once

#include <QImage>
#include <QRgb>
#include <cstdint>
#include <optional>

#include "common/pixelrect.h"
#include "selection/selection.h"

// The precise edits of the selection beside the mouse and the keys: trimming a plain
// margin away, a rectangle typed in numbers, and the block of the last save or copy
// selected again. Numbers as the caption counts them: column 1 is the picture's first.
namespace trimlet {

// How far (in each of red, green and blue) a colour may lie from the margin colour and
// still count as margin.
inline constexpr int kTrimTolerance = 8;

// The selection with each edge moved inward past every whole row or column of the
// highlighted block that lies within kTrimTolerance of the block's top-left pixel; the
// part of the block outside the picture counts as outsideColour. Empty when the whole
// block is margin or when no edge moves. The anchor is the new top-left corner.
[[nodiscard]] std::optional<Selection> TrimToContent(const Selection& sel, const QImage& picture,
                                                     QRgb outsideColour);

// A rectangle as the caption and the rectangle dialog count it: its top-left column and
// row (1 for the picture's first) and its width and height in pixels.
struct CaptionRect {
    std::int64_t left = 1;
    std::int64_t top = 1;
    std::int64_t width = 1;
    std::int64_t height = 1;
    bool operator==(const CaptionRect&) const = default;
};

// The range one number of the rectangle dialog can take on a picture of the given size:
// what the keyboard can reach, left and top from 1 to the picture's size, width and height
// from 1 to the picture's size (together with the corner, AcceptableRectangle decides).
struct NumberRange {
    std::int64_t min = 1;
    std::int64_t max = 0;
};
enum class RectField { Left, Top, Width, Height };
[[nodiscard]] NumberRange FieldRange(RectField field, std::int32_t imageWidth,
                                     std::int32_t imageHeight);

// True when the keyboard can reach the rectangle on a picture of the given size: width and
// height at least 1, the top-left corner at 1 or beyond and the right and bottom edges at
// most at the picture's width and height.
[[nodiscard]] bool AcceptableRectangle(const CaptionRect& r, std::int32_t imageWidth,
                                       std::int32_t imageHeight);

// The rectangle of a selection, and the selection of a rectangle (anchor at the top-left
// corner, as after a keyboard edit). SelectionOf needs a rectangle whose numbers fit.
[[nodiscard]] CaptionRect RectOf(const Selection& sel);
[[nodiscard]] Selection SelectionOf(const CaptionRect& r);

// The block of the last save or copy: nothing until one worked, or until one is read from
// the settings. Kept as the highlighted block (image-box pixels, first column 0), so it
// selects the same pixels on whatever picture is shown, also outside it.
class LastRectangle {
public:
    void remember(const PixelRect& block);
    void restore(const std::optional<PixelRect>& stored) { block_ = stored; }
    const std::optional<PixelRect>& block() const { return block_; }
    // The selection whose highlighted block is the remembered one; empty with nothing
    // remembered.
    [[nodiscard]] std::optional<Selection> selection() const;

private:
    std::optional<PixelRect> block_;
};

}  // namespace trimlet
