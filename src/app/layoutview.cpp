#include "app/layoutview.h"

#include <algorithm>
#include <cmath>

namespace trimlet {
namespace {

std::int16_t To16(std::int64_t v, std::int64_t lo) {
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, lo, INT16_MAX));
}

ScrollRange RangeFor(std::int32_t picture, int viewport) {
    ScrollRange r;
    r.max = To16(std::int64_t{picture} - viewport, INT16_MIN);
    r.largeChange = To16(picture, 1);
    return r;
}

}  // namespace

DeviceSpan DeviceSpanOf(double start, double length, double ratio) {
    // A tolerance far below a pixel absorbs the rounding of ratios such as 1.1.
    constexpr double kSlack = 1e-6;
    const double first = std::ceil(start * ratio - kSlack);
    const double end = std::floor((start + std::max(0.0, length)) * ratio + kSlack);
    return {static_cast<int>(first), static_cast<int>(std::max(0.0, end - first))};
}

std::optional<ViewLayout> LayoutView(int clientWidth, int clientHeight, std::int32_t imageWidth,
                                     std::int32_t imageHeight, bool minimised,
                                     const DeviceMapping& device) {
    if (minimised) return std::nullopt;
    const int viewWidth = std::max(0, clientWidth - kBarReserve);
    const int viewHeight = std::max(0, clientHeight - kViewTop - kBarReserve);
    ViewLayout l;
    l.viewport = {0, kViewTop, viewWidth, viewHeight};
    l.vs = {clientWidth - kBarReserve, kViewTop, kBarThickness, viewHeight};
    l.hs = {0, clientHeight - kBarReserve, viewWidth, kBarThickness};
    l.viewportDeviceWidth =
        DeviceSpanOf(device.clientLeft + l.viewport.left, viewWidth, device.ratio).count;
    l.viewportDeviceHeight =
        DeviceSpanOf(device.clientTop + l.viewport.top, viewHeight, device.ratio).count;
    l.hsRange = RangeFor(imageWidth, l.viewportDeviceWidth);
    l.vsRange = RangeFor(imageHeight, l.viewportDeviceHeight);
    return l;
}

}  // namespace trimlet
