#include "selection/loupe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace trimlet {
namespace {

constexpr int kHalf = kLoupePixels / 2;
constexpr int kPixelsSide = kLoupePixels * kLoupeZoom;

}  // namespace

void Loupe::pointerHeld(QPoint pixel) {
    held_ = true;
    centre_ = pixel;
}

void Loupe::keyEdited(QPoint pixel, std::int64_t now) {
    keyUntil_ = now + kLoupeKeyMs;
    centre_ = pixel;
}

bool Loupe::visible(std::int64_t now) const {
    return enabled_ && (held_ || (keyUntil_ && now < *keyUntil_));
}

std::optional<std::int64_t> Loupe::hideTime() const {
    if (held_ || !keyUntil_) return std::nullopt;
    return keyUntil_;
}

QPoint PointerPixel(double x, double y, QSize picture) {
    const auto axis = [](double v, int size) {
        const double f = std::floor(v);
        if (!(f >= 0)) return 0;  // NaN too
        return static_cast<int>(std::min<double>(f, std::max(size - 1, 0)));
    };
    return {axis(x, picture.width()), axis(y, picture.height())};
}

std::string LoupeText(QPoint centre, QRgb colour) {
    char text[64];
    std::snprintf(text, sizeof text, "(%lld,%lld) #%02X%02X%02X",
                  static_cast<long long>(centre.x()) + 1, static_cast<long long>(centre.y()) + 1,
                  qRed(colour), qGreen(colour), qBlue(colour));
    return text;
}

std::string LoupeWidestText(QSize picture) {
    const auto eights = [](int count) {
        return std::string(std::to_string(std::max(count, 1)).size(), '8');
    };
    return "(" + eights(picture.width()) + "," + eights(picture.height()) + ") #DDDDDD";
}

int LoupeTextPixels(int preferred, const std::function<int(int)>& widthAt) {
    int size = std::max(preferred, kLoupeMinTextPixels);
    while (size > kLoupeMinTextPixels && widthAt(size) > kLoupeTextRoom) --size;
    return size;
}

LoupeFrame ComposeLoupe(const QImage& picture, QPoint centre, const PixelRect& highlight,
                        QPoint imagePos, QSize viewport, QSize captionSize, QRgb outsideColour) {
    LoupeFrame f;
    const QImage::Format format = picture.format();
    const bool direct = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32;
    const int first = -kHalf;
    for (int r = 0; r < kLoupePixels; ++r) {
        const qint64 y = qint64{centre.y()} + first + r;
        for (int c = 0; c < kLoupePixels; ++c) {
            const qint64 x = qint64{centre.x()} + first + c;
            QRgb colour = outsideColour;
            if (x >= 0 && y >= 0 && x < picture.width() && y < picture.height()) {
                colour = direct ? reinterpret_cast<const QRgb*>(
                                      picture.constScanLine(static_cast<int>(y)))[x]
                                : picture.pixel(static_cast<int>(x), static_cast<int>(y));
            }
            f.colours[static_cast<std::size_t>(r * kLoupePixels + c)] = colour | 0xFF000000u;
        }
    }
    f.text = LoupeText(centre, f.colours[static_cast<std::size_t>(kHalf * kLoupePixels + kHalf)]);

    // The frame holds the pixels at its top-left corner and, under them, the caption; as
    // wide as the wider of the two.
    const int inner = std::max(kPixelsSide, captionSize.width() + kPixelsSide - kLoupeTextRoom);
    const QSize box(inner + 2 * kLoupeFrame,
                    kPixelsSide + captionSize.height() + 4 + 2 * kLoupeFrame);
    // The centre's place in the viewport decides the corner: the one farthest from it.
    const double px = qint64{imagePos.x()} + centre.x() + 0.5;
    const double py = qint64{imagePos.y()} + centre.y() + 0.5;
    const bool right = px < viewport.width() / 2.0;
    const bool bottom = py < viewport.height() / 2.0;
    const int left = right ? viewport.width() - kLoupeMargin - box.width() : kLoupeMargin;
    const int top = bottom ? viewport.height() - kLoupeMargin - box.height() : kLoupeMargin;
    f.box = QRect(QPoint(left, top), box);
    f.pixels = QRect(left + kLoupeFrame, top + kLoupeFrame, kPixelsSide, kPixelsSide);
    f.caption = QRect(left + kLoupeFrame, f.pixels.bottom() + 1, inner, captionSize.height() + 4);
    f.centreBlock = QRect(f.pixels.left() + kHalf * kLoupeZoom, f.pixels.top() + kHalf * kLoupeZoom,
                          kLoupeZoom, kLoupeZoom);

    // The highlighted block in the loupe's device pixels, cut to the loupe.
    const qint64 originX = qint64{centre.x()} + first, originY = qint64{centre.y()} + first;
    const auto toDevice = [&](qint64 v, qint64 origin, int start) {
        return std::clamp<qint64>((v - origin) * kLoupeZoom, -1, kPixelsSide + 1) + start;
    };
    if (highlight.width >= 1 && highlight.height >= 1) {
        const int l = static_cast<int>(toDevice(highlight.left, originX, f.pixels.left()));
        const int r = static_cast<int>(
            toDevice(qint64{highlight.left} + highlight.width, originX, f.pixels.left()));
        const int t = static_cast<int>(toDevice(highlight.top, originY, f.pixels.top()));
        const int b = static_cast<int>(
            toDevice(qint64{highlight.top} + highlight.height, originY, f.pixels.top()));
        const QRect inside = QRect(QPoint(l, t), QPoint(r - 1, b - 1)) & f.pixels;
        const QRect outside = QRect(QPoint(l - 1, t - 1), QPoint(r, b)) & f.pixels;
        const auto edge = [&](std::vector<QRect>& out, int line, bool vertical, const QRect& span) {
            const QRect rect = vertical ? QRect(line, span.top(), 1, span.height())
                                        : QRect(span.left(), line, span.width(), 1);
            if (!span.isEmpty() && f.pixels.contains(rect)) out.push_back(rect);
        };
        // Each edge only where it lies among the loupe's pixels.
        const auto edges = [&](std::vector<QRect>& out, const QRect& rect, int l0, int r0, int t0,
                               int b0) {
            if (l0 >= f.pixels.left() && l0 <= f.pixels.right()) edge(out, l0, true, rect);
            if (r0 >= f.pixels.left() && r0 <= f.pixels.right()) edge(out, r0, true, rect);
            if (t0 >= f.pixels.top() && t0 <= f.pixels.bottom()) edge(out, t0, false, rect);
            if (b0 >= f.pixels.top() && b0 <= f.pixels.bottom()) edge(out, b0, false, rect);
        };
        edges(f.edgesInside, inside, l, r - 1, t, b - 1);
        edges(f.edgesOutside, outside, l - 1, r, t - 1, b);
    }
    return f;
}

}  // namespace trimlet
