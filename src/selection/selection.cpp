#include "selection/selection.h"

#include "common/numtext.h"

namespace trimlet {
namespace {

// The outline thickness of the selection rectangle.
constexpr std::int64_t kBorder = 1;

}  // namespace

std::string Selection::caption() const {
    if (allZero()) return "選択なし";
    const std::int64_t x = selLeft, y = selTop;
    const std::int64_t x2 = x + selDX, y2 = y + selDY;
    const std::int64_t w = std::int64_t{selDX} + 1, h = std::int64_t{selDY} + 1;
    return "選択(" + std::to_string(x) + "," + std::to_string(y) + ")-(" + std::to_string(x2) +
           "," + std::to_string(y2) + ") W=" + std::to_string(w) + " H=" + std::to_string(h);
}

PixelRect Selection::box() const {
    return {ClampToInt32(selLeft - kBorder), ClampToInt32(selTop - kBorder),
            ClampToInt32(selDX + 2 * kBorder), ClampToInt32(selDY + 2 * kBorder)};
}

PixelRect Selection::highlight() const {
    // A filled shape without an outline paints its box less the last column and row.
    const PixelRect b = box();
    return {b.left, b.top, ClampToInt32(std::int64_t{b.width} - 1),
            ClampToInt32(std::int64_t{b.height} - 1)};
}

void SelectWholePicture(Selection& sel, std::int32_t imageWidth, std::int32_t imageHeight) {
    sel.anchorX = sel.anchorY = sel.selLeft = sel.selTop = 1;
    sel.selDX = ClampToInt32(std::int64_t{imageWidth} - 1);
    sel.selDY = ClampToInt32(std::int64_t{imageHeight} - 1);
}

}  // namespace trimlet
