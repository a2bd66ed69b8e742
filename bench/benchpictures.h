#pragma once
// The two generated 3840 x 2160 pictures the save benchmarks measure on: a photo-like
// one (smooth colour fields, fine grain, soft edges) and a screenshot-like one (flat
// windows, anti-aliased text, icons). Deterministic: the same pixels on every run.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace bench {

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;
// Smooth value noise: random values on a coarse grid, interpolated with smoothstep.
class ValueNoise {
public:
    ValueNoise(int cell, std::uint32_t seed) : cell_(cell) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> d(0.f, 1.f);
        gw_ = kWidth / cell + 2;
        gh_ = kHeight / cell + 2;
        grid_.resize(static_cast<std::size_t>(gw_) * gh_);
        for (float& v : grid_) v = d(rng);
    }
    float at(int x, int y) const {
        const float fx = static_cast<float>(x) / cell_, fy = static_cast<float>(y) / cell_;
        const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
        const float tx = smooth(fx - ix), ty = smooth(fy - iy);
        const auto g = [&](int gx, int gy) {
            return grid_[static_cast<std::size_t>(gy) * gw_ + gx];
        };
        const float a = g(ix, iy) + (g(ix + 1, iy) - g(ix, iy)) * tx;
        const float b = g(ix, iy + 1) + (g(ix + 1, iy + 1) - g(ix, iy + 1)) * tx;
        return a + (b - a) * ty;
    }

private:
    static float smooth(float t) { return t * t * (3 - 2 * t); }
    int cell_, gw_ = 0, gh_ = 0;
    std::vector<float> grid_;
};

inline QImage PhotoLike() {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    const ValueNoise r1(640, 1), g1(560, 2), b1(720, 3);
    const ValueNoise r2(97, 4), g2(83, 5), b2(110, 6), detail(13, 7), fine(3, 8);
    std::mt19937 rng(42);
    std::normal_distribution<float> grain(0.f, 3.f);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const float d = detail.at(x, y) * 0.6f + fine.at(x, y) * 0.4f;
            const auto channel = [&](const ValueNoise& big, const ValueNoise& mid) {
                const float v =
                    255.f * (0.55f * big.at(x, y) + 0.3f * mid.at(x, y) + 0.15f * d) + grain(rng);
                return std::clamp(static_cast<int>(std::lround(v)), 0, 255);
            };
            line[x] = qRgb(channel(r1, r2), channel(g1, g2), channel(b1, b2));
        }
    }
    // A few soft-edged objects in front.
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    std::uniform_int_distribution<int> px(0, kWidth), py(0, kHeight), pr(40, 400), pc(0, 255);
    for (int i = 0; i < 60; ++i) {
        const QPointF c(px(rng), py(rng));
        const qreal r = pr(rng);
        QRadialGradient gr(c, r);
        const QColor col(pc(rng), pc(rng), pc(rng));
        gr.setColorAt(0, col);
        gr.setColorAt(0.8, col.darker(150));
        gr.setColorAt(1, QColor(col.red(), col.green(), col.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(gr);
        p.drawEllipse(c, r, r * 0.7);
    }
    return img;
}

inline QImage ScreenshotLike() {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(QColor(0x2d, 0x3e, 0x50));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> word(2, 9), pc(0, 255);
    // A desktop gradient, windows with title bars, text, buttons and icons.
    QLinearGradient desk(0, 0, kWidth, kHeight);
    desk.setColorAt(0, QColor(30, 60, 110));
    desk.setColorAt(1, QColor(90, 40, 90));
    p.fillRect(img.rect(), desk);
    const QRect windows[] = {{80, 60, 1800, 1300}, {1500, 300, 2200, 1500}, {300, 1200, 1600, 900}};
    QFont font;
    font.setPixelSize(18);
    p.setFont(font);
    for (const QRect& w : windows) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawRoundedRect(w.translated(8, 8), 8, 8);
        p.setBrush(QColor(246, 245, 244));
        p.drawRoundedRect(w, 8, 8);
        p.fillRect(QRect(w.left(), w.top(), w.width(), 40), QColor(222, 221, 218));
        p.setPen(QColor(40, 40, 40));
        p.drawText(QRect(w.left() + 16, w.top(), w.width(), 40), Qt::AlignVCenter,
                   QStringLiteral("Document - Editor"));
        for (int i = 0; i < 3; ++i) {
            p.setBrush(QColor(i == 0 ? 0xe0 : 0x90, 0x50 + 0x30 * i, 0x50));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(w.right() - 30 - 30 * i, w.top() + 20), 8, 8);
        }
        // Lines of text in a few colours, with a highlighted selection here and there.
        int y = w.top() + 70;
        for (int line = 0; y < w.bottom() - 30; ++line, y += 26) {
            QString text;
            const int words = 6 + static_cast<int>(rng() % 14);
            for (int i = 0; i < words; ++i) {
                const int len = word(rng);
                for (int k = 0; k < len; ++k) text += QChar('a' + static_cast<int>(rng() % 26));
                text += QLatin1Char(' ');
            }
            if (line % 11 == 3)
                p.fillRect(QRect(w.left() + 20, y - 19, 500, 24), QColor(53, 132, 228));
            p.setPen(line % 7 == 0 ? QColor(26, 95, 180) : QColor(30, 30, 30));
            p.drawText(w.left() + 24, y, text);
        }
    }
    // A toolbar of icons with gradients.
    for (int i = 0; i < 40; ++i) {
        const QRect r(20 + i * 90, kHeight - 80, 64, 64);
        QLinearGradient g(r.topLeft(), r.bottomRight());
        g.setColorAt(0, QColor(pc(rng), pc(rng), pc(rng)));
        g.setColorAt(1, QColor(pc(rng), pc(rng), pc(rng)));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(r, 12, 12);
    }
    return img;
}

}  // namespace bench
