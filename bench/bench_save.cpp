// What a save of a whole 3840 x 2160 picture costs, beside the reference tools on the
// same pixels: JPEG at quality 60 against libjpeg-turbo's cjpeg and ImageMagick's
// convert, GIF against convert (with the PSNR of both GIFs against the original), and
// the BMP write. Two generated pictures: a photo-like one (smooth colour fields, fine
// grain, soft edges) and a screenshot-like one (flat windows, anti-aliased text, icons).
//
//   build/bench/bench_save [runs]
//
// Our figures time the whole save after the dialog: the cut-out, the encoder and the
// file written through QSaveFile. The tools are timed as processes, start included.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "export/decode_util.h"
#include "export/encoders.h"
#include "export/savesequence.h"

namespace {

using trimlet::ExportResult;
using trimlet::GifOptions;
using trimlet::ImageFormat;

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;
// ImageMagick itself, not any wrapper that may stand before it on the PATH.
const char* const kConvert = "/usr/bin/convert";

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

QImage PhotoLike() {
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

QImage ScreenshotLike() {
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

bool WritePpm(const QImage& img, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(QStringLiteral("P6\n%1 %2\n255\n").arg(img.width()).arg(img.height()).toLatin1());
    std::vector<char> row(static_cast<std::size_t>(img.width()) * 3);
    for (int y = 0; y < img.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            row[3 * x] = static_cast<char>(qRed(src[x]));
            row[3 * x + 1] = static_cast<char>(qGreen(src[x]));
            row[3 * x + 2] = static_cast<char>(qBlue(src[x]));
        }
        if (f.write(row.data(), static_cast<qint64>(row.size())) != static_cast<qint64>(row.size()))
            return false;
    }
    return true;
}

double MedianMs(int runs, const std::function<bool()>& job) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        if (!job()) return std::nan("");
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

bool Run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

std::string Quote(const QString& s) { return "'" + s.toStdString() + "'"; }

qint64 FileSize(const QString& path) { return QFileInfo(path).size(); }

void Measure(const char* name, const QImage& picture, const QDir& dir, int runs,
             const GifOptions& gif) {
    const QString bmp = dir.filePath("in.bmp");
    const QString ppm = dir.filePath("in.ppm");
    if (!trimlet::SaveImage(bmp, ImageFormat::Bmp, picture, 0).ok() || !WritePpm(picture, ppm)) {
        std::printf("cannot write the input files\n");
        return;
    }
    // The save cuts the selected block out first; the whole picture here.
    const trimlet::PixelRect whole{0, 0, picture.width(), picture.height()};
    const auto ours = [&](ImageFormat f, const QString& out, int quality) {
        return [&picture, whole, f, out, quality, gif] {
            const QImage block = trimlet::CutOut(picture, whole);
            const ExportResult r = trimlet::SaveImage(out, f, block, quality, gif);
            if (!r) std::printf("save failed: %s\n", r.error().c_str());
            return r.ok();
        };
    };

    const QString ourJpg = dir.filePath("ours.jpg"), cjpegJpg = dir.filePath("cjpeg.jpg"),
                  imJpg = dir.filePath("im.jpg");
    const double tOurJpg = MedianMs(runs, ours(ImageFormat::Jpeg, ourJpg, 60));
    const double tCjpeg = MedianMs(runs, [&] {
        return Run("cjpeg -quality 60 -outfile " + Quote(cjpegJpg) + " " + Quote(ppm));
    });
    const double tImJpg = MedianMs(runs, [&] {
        return Run(std::string(kConvert) + " " + Quote(bmp) + " -quality 60 " + Quote(imJpg));
    });

    const QString ourGif = dir.filePath("ours.gif"), imGif = dir.filePath("im.gif");
    const double tOurGif = MedianMs(runs, ours(ImageFormat::Gif, ourGif, 0));
    const double tImGif = MedianMs(
        runs, [&] { return Run(std::string(kConvert) + " " + Quote(bmp) + " " + Quote(imGif)); });
    const auto gifPsnr = [&](const QString& path, int* colours) {
        const trimlet::testing::DecodedGif g =
            trimlet::testing::DecodeGif(trimlet::testing::ReadWholeFile(path));
        *colours = g.paletteSize;
        return trimlet::testing::Psnr(picture, g.image);
    };
    int ourColours = 0, imColours = 0;
    const double pOurGif = gifPsnr(ourGif, &ourColours);
    const double pImGif = gifPsnr(imGif, &imColours);
    const auto jpegPsnr = [&](const QString& path) {
        return trimlet::testing::Psnr(
            picture, trimlet::testing::DecodeJpeg(trimlet::testing::ReadWholeFile(path)));
    };

    const QString ourBmp = dir.filePath("ours.bmp");
    const double tOurBmp = MedianMs(runs, ours(ImageFormat::Bmp, ourBmp, 0));

    std::printf("\n%s picture, %d x %d, median of %d runs\n", name, picture.width(),
                picture.height(), runs);
    std::printf("  %-34s %10s %10s %10s\n", "", "ms", "KiB", "PSNR dB");
    // A lossless row has no PSNR: it says so.
    const auto row = [](const char* what, double ms, qint64 bytes, double psnr) {
        char quality[32] = "  lossless";
        if (!std::isnan(psnr)) std::snprintf(quality, sizeof quality, "%10.2f", psnr);
        std::printf("  %-34s %10.0f %10lld %s\n", what, ms, static_cast<long long>(bytes / 1024),
                    quality);
    };
    row("JPEG q60, ours", tOurJpg, FileSize(ourJpg), jpegPsnr(ourJpg));
    row("JPEG q60, cjpeg -quality 60 (PPM)", tCjpeg, FileSize(cjpegJpg), jpegPsnr(cjpegJpg));
    row("JPEG q60, convert -quality 60", tImJpg, FileSize(imJpg), jpegPsnr(imJpg));
    row("GIF, ours", tOurGif, FileSize(ourGif), pOurGif);
    row("GIF, convert in.bmp out.gif", tImGif, FileSize(imGif), pImGif);
    row("BMP 24 bit, ours", tOurBmp, FileSize(ourBmp), std::nan(""));
    std::printf(
        "  JPEG: ours / cjpeg = %.2f (target <= 1.2), convert / ours = %.2f (target >= 2)\n",
        tOurJpg / tCjpeg, tImJpg / tOurJpg);
    std::printf(
        "  GIF:  convert / ours = %.2f (target >= 2), PSNR ours - convert = %+.2f dB "
        "(target >= 0); colours %d vs %d\n",
        tImGif / tOurGif, pOurGif - pImGif, ourColours, imColours);
    std::printf("  BMP:  %.0f MB/s\n", static_cast<double>(FileSize(ourBmp)) / 1e3 / tOurBmp);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // fonts for the screenshot's text
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    GifOptions gif;
    if (argc > 2) gif.speed = std::atoi(argv[2]);
    if (argc > 3) gif.dithering = static_cast<float>(std::atof(argv[3]));
    std::printf("GIF options: libimagequant speed %d, dithering %.2f\n", gif.speed,
                static_cast<double>(gif.dithering));
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    QElapsedTimer t;
    t.start();
    const QImage photo = PhotoLike();
    const QImage screen = ScreenshotLike();
    std::printf("pictures generated in %.1f s\n", static_cast<double>(t.elapsed()) / 1e3);
    Measure("photo-like", photo, QDir(dir.path()), runs, gif);
    Measure("screenshot-like", screen, QDir(dir.path()), runs, gif);
    return 0;
}
