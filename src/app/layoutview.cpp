#include "app/layoutview.h"

#include <algorithm>

namespace trimlet {
namespace {

std::int16_t To16(std::int64_t v, std::int64_t lo) {
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, lo, INT16_MAX));
}

ScrollRange RangeFor(std::int32_t picture, int viewport) {
    ScrollRange r;
    r.max = To16(std::int64_t{picture} - viewport, INT16_MIN);
    r.largeChange = To16(picture, 1);
    r.enabled = picture > viewport;
    return r;
}

}  // namespace

std::optional<ViewLayout> LayoutView(int clientWidth, int clientHeight, std::int32_t imageWidth,
                                     std::int32_t imageHeight, bool minimised) {
    if (minimised) return std::nullopt;
    const int viewWidth = std::max(0, clientWidth - kBarReserve);
    const int viewHeight = std::max(0, clientHeight - kViewTop - kBarReserve);
    ViewLayout l;
    l.viewport = {0, kViewTop, viewWidth, viewHeight};
    l.vs = {clientWidth - kBarReserve, kViewTop, kBarThickness, viewHeight};
    l.hs = {0, clientHeight - kBarReserve, viewWidth, kBarThickness};
    l.hsRange = RangeFor(imageWidth, viewWidth);
    l.vsRange = RangeFor(imageHeight, viewHeight);
    return l;
}

}  // namespace trimlet
