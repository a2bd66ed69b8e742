#pragma once

#include <cstdint>
#include <optional>

namespace trimlet {

struct ControlRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ControlRect&) const = default;
};

struct ScrollRange {
    std::int16_t max = 0;
    std::int16_t largeChange = 1;
    bool operator==(const ScrollRange&) const = default;
};

struct ViewLayout {
    ControlRect viewport;  // picCrop, in the client area's logical units
    ControlRect vs;
    ControlRect hs;
    // The viewport's inner size in device pixels: what the picture is shown in, and
    // what the scroll ranges and the selection editing measure.
    int viewportDeviceWidth = 0;
    int viewportDeviceHeight = 0;
    ScrollRange hsRange;
    ScrollRange vsRange;
};

// The device pixels that lie wholly inside a logical span.
struct DeviceSpan {
    int first = 0;  // the first device pixel
    int count = 0;
    bool operator==(const DeviceSpan&) const = default;
};

// The whole device pixels covered by the logical span [start, start + length) at a
// device pixel ratio. At a fractional ratio a control's edges can fall inside a device
// pixel; such a pixel is shared with the neighbour and belongs to neither.
[[nodiscard]] DeviceSpan DeviceSpanOf(double start, double length, double ratio);

// Where the client area lies on the device: its logical top-left corner within the
// window (below the menu bar) and the window's device pixel ratio.
struct DeviceMapping {
    double ratio = 1.0;
    int clientLeft = 0;
    int clientTop = 0;
};

// Geometry of the view below the button strip, in client-area pixels.
inline constexpr int kViewTop = 32;       // the viewport and the vertical bar start here
inline constexpr int kBarThickness = 17;  // both scroll bars
inline constexpr int kBarReserve = 16;    // what the layout leaves for each bar

// Fits the viewport and the scroll bars to a client area of clientWidth x clientHeight
// (logical units: the controls scale with the desktop) and derives the scroll ranges
// from the picture's size and the viewport's size in device pixels, so that one
// picture pixel is one device pixel at any ratio. Nothing when minimised.
//
// The bars overlap the client area's last column and row by one pixel, and the 16 x 16
// corner stays empty. Max = picture size - viewport size, LargeChange = picture size
// (Min stays 1, so a bar can be moved only when Max is above 1).
//
// Limits: the ranges are 16-bit. A difference beyond -32768..32767 is clamped to that
// range (so a picture more than 32767 pixels larger than the viewport scrolls only to
// column 32768 of it), and LargeChange is clamped to 1..32767 (an empty 0 x 0 picture
// gets a page step of 1). A client area smaller than the margins gives sizes of 0.
[[nodiscard]] std::optional<ViewLayout> LayoutView(int clientWidth, int clientHeight,
                                                   std::int32_t imageWidth,
                                                   std::int32_t imageHeight, bool minimised,
                                                   const DeviceMapping& device = {});

}  // namespace trimlet
