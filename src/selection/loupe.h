#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/pixelrect.h"

// The loupe: a magnified patch of the picture around the point being edited, painted
// inside the view while a button is held on the picture and for a moment after each
// key edit. Everything here is in device pixels of the view; the view paints the result.
namespace trimlet {

// Picture pixels across and down, and device pixels per picture pixel.
inline constexpr int kLoupePixels = 15;
inline constexpr int kLoupeZoom = 8;
// How long the loupe stays after a key edit.
inline constexpr std::int64_t kLoupeKeyMs = 1500;
// The frame round the pixels and the gap to the viewport's edges.
inline constexpr int kLoupeFrame = 1;
inline constexpr int kLoupeMargin = 6;

// When the loupe shows and which picture pixel it centres on. Times are milliseconds of
// any steady clock, handed in by the caller.
class Loupe {
public:
    void setEnabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }

    // A left or right button is held on the picture with the pointer over picture pixel
    // `pixel` (first column 0).
    void pointerHeld(QPoint pixel);
    // The last button was let go.
    void pointerReleased() { held_ = false; }
    // A key edit moved the corner at picture pixel `pixel`.
    void keyEdited(QPoint pixel, std::int64_t now);

    [[nodiscard]] bool visible(std::int64_t now) const;
    // The time the loupe of a key edit goes, while no button holds it.
    [[nodiscard]] std::optional<std::int64_t> hideTime() const;
    QPoint centre() const { return centre_; }

private:
    bool enabled_ = true;
    bool held_ = false;
    std::optional<std::int64_t> keyUntil_;
    QPoint centre_;
};

// What the view paints for the loupe, in the viewport's device pixels.
struct LoupeFrame {
    QRect box;  // everything the loupe covers: frame, pixels and caption
    // kLoupePixels x kLoupePixels blocks of kLoupeZoom x kLoupeZoom, at the box's top-left
    // corner inside the frame.
    QRect pixels;
    QRect caption;  // the text's box, under the pixels
    // Row by row, the picture pixels around the centre; the outside colour where they lie
    // outside the picture.
    std::array<QRgb, kLoupePixels * kLoupePixels> colours{};
    // The selection's edges where they cross the pixels: lines one device pixel wide just
    // inside the highlighted block, and just outside it.
    std::vector<QRect> edgesInside;
    std::vector<QRect> edgesOutside;
    QRect centreBlock;  // the centre pixel's block, outlined
    std::string text;   // "(640,480) #1E90FF": the centre as the caption counts it
};

// The picture pixel a pointer at image-box position x, y is over, kept on the picture.
[[nodiscard]] QPoint PointerPixel(double x, double y, QSize picture);

// The loupe around picture pixel `centre` of `picture`, with the highlighted block's
// edges, placed in the corner of a viewport of `viewport` device pixels farthest from the
// centre's place on the screen (the picture's top-left pixel at imagePos). captionSize is
// the text's size in device pixels, measured by the painter.
[[nodiscard]] LoupeFrame ComposeLoupe(const QImage& picture, QPoint centre,
                                      const PixelRect& highlight, QPoint imagePos, QSize viewport,
                                      QSize captionSize, QRgb outsideColour);

// The caption text alone: "(x,y) #RRGGBB" with x, y counted from 1.
[[nodiscard]] std::string LoupeText(QPoint centre, QRgb colour);

// The caption's text is as tall in device pixels as the view's text is in logical units,
// like the grid the same at every scale, and made smaller (down to kLoupeMinTextPixels)
// where it would not fit under the grid.
inline constexpr int kLoupeMinTextPixels = 6;
// The room for the text under the grid, in device pixels.
inline constexpr int kLoupeTextRoom = kLoupePixels * kLoupeZoom - kLoupeZoom;
// The widest caption on a picture of this size: its coordinates with as many digits as
// the picture's width and height, every one of them an 8, and the colour #DDDDDD.
[[nodiscard]] std::string LoupeWidestText(QSize picture);
// The text size in pixels for the caption: the largest from `preferred` down to
// kLoupeMinTextPixels at which widthAt(size), the widest caption's width, fits the room.
[[nodiscard]] int LoupeTextPixels(int preferred, const std::function<int(int)>& widthAt);

}  // namespace trimlet
