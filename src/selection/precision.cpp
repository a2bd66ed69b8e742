#include "selection/precision.h"

#include <cstdlib>

#include "common/numtext.h"
#include "common/pixelformat.h"

namespace trimlet {
namespace {

using Wide = std::int64_t;

// The highlighted block of the picture read pixel by pixel, grey outside the picture.
class BlockPixels {
public:
    BlockPixels(const QImage& picture, const PixelRect& block, QRgb outside)
        : pixels_(As32BitPixels(picture)), block_(block), outside_(outside) {}

    QRgb at(Wide column, Wide row) const {
        const Wide x = block_.left + column, y = block_.top + row;
        if (x < 0 || y < 0 || x >= pixels_.width() || y >= pixels_.height()) return outside_;
        return reinterpret_cast<const QRgb*>(pixels_.constScanLine(static_cast<int>(y)))[x];
    }

private:
    QImage pixels_;
    PixelRect block_;
    QRgb outside_;
};

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= kTrimTolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= kTrimTolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= kTrimTolerance;
}

}  // namespace

std::optional<Selection> TrimToContent(const Selection& sel, const QImage& picture,
                                       QRgb outsideColour) {
    const PixelRect block = sel.highlight();
    if (block.width < 1 || block.height < 1) return std::nullopt;
    const BlockPixels px(picture, block, outsideColour);
    const QRgb margin = px.at(0, 0);
    const auto rowIsMargin = [&](Wide row, Wide first, Wide last) {
        for (Wide c = first; c <= last; ++c)
            if (!Near(px.at(c, row), margin)) return false;
        return true;
    };
    const auto columnIsMargin = [&](Wide column, Wide first, Wide last) {
        for (Wide r = first; r <= last; ++r)
            if (!Near(px.at(column, r), margin)) return false;
        return true;
    };
    // Rows first over the whole width; a block of margin only leaves nothing.
    Wide top = 0, bottom = Wide{block.height} - 1;
    const Wide lastColumn = Wide{block.width} - 1;
    while (top <= bottom && rowIsMargin(top, 0, lastColumn)) ++top;
    if (top > bottom) return std::nullopt;
    while (rowIsMargin(bottom, 0, lastColumn)) --bottom;
    // The rows trimmed away are margin throughout, so the columns need only the rest.
    Wide left = 0, right = lastColumn;
    while (columnIsMargin(left, top, bottom)) ++left;
    while (columnIsMargin(right, top, bottom)) --right;
    if (top == 0 && left == 0 && bottom == Wide{block.height} - 1 && right == lastColumn)
        return std::nullopt;
    Selection out;
    out.anchorX = out.selLeft = ClampToInt32(Wide{sel.selLeft} + left);
    out.anchorY = out.selTop = ClampToInt32(Wide{sel.selTop} + top);
    out.selDX = ClampToInt32(right - left);
    out.selDY = ClampToInt32(bottom - top);
    return out;
}

NumberRange FieldRange(RectField field, std::int32_t imageWidth, std::int32_t imageHeight) {
    const bool across = field == RectField::Left || field == RectField::Width;
    return {1, across ? imageWidth : imageHeight};
}

bool AcceptableRectangle(const CaptionRect& r, std::int32_t imageWidth, std::int32_t imageHeight) {
    return r.width >= 1 && r.height >= 1 && r.left >= 1 && r.top >= 1 &&
           r.left + r.width - 1 <= imageWidth && r.top + r.height - 1 <= imageHeight;
}

CaptionRect RectOf(const Selection& sel) {
    return {sel.selLeft, sel.selTop, Wide{sel.selDX} + 1, Wide{sel.selDY} + 1};
}

Selection SelectionOf(const CaptionRect& r) {
    Selection sel;
    sel.anchorX = sel.selLeft = ClampToInt32(r.left);
    sel.anchorY = sel.selTop = ClampToInt32(r.top);
    sel.selDX = ClampToInt32(r.width - 1);
    sel.selDY = ClampToInt32(r.height - 1);
    return sel;
}

void LastRectangle::remember(const PixelRect& block) {
    if (block.width >= 1 && block.height >= 1) block_ = block;
}

std::optional<Selection> LastRectangle::selection() const {
    if (!block_) return std::nullopt;
    // The highlighted block starts one column left of and one row above selLeft, selTop.
    return SelectionOf(
        {Wide{block_->left} + 1, Wide{block_->top} + 1, block_->width, block_->height});
}

}  // namespace trimlet
