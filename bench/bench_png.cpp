// What a lossless PNG save of a whole 3840 x 2160 picture costs beside ImageMagick's
// `convert in.bmp out.png` with its default settings, on a photo-like and a
// screenshot-like picture: time and size of both, and the two ratios.
//
//   build/bench/bench_png [runs] [sweep] [picture files...]
//
// With "sweep" it also encodes with each of several libdeflate levels and row filter
// sets once and prints time and size, which is how the settings of each colour type
// were chosen. Picture files named after it are measured too (screenshots, diagrams). Our save is
// timed whole, after the dialog: the cut-out, the encoder and the file written through SaveImage.
// convert is timed as a process, start included.
#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "benchpictures.h"
#include "export/encoders.h"
#include "export/savesequence.h"

namespace {

using trimlet::ExportResult;
using trimlet::ImageFormat;
using trimlet::PngOptions;

// ImageMagick itself, not any wrapper that may stand before it on the PATH.
const char* const kConvert = "/usr/bin/convert";

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

std::string Quote(const QString& s) {
    // Built in place: GCC 12 at -O3 reports a false overlap (-Wrestrict) for "'" + string.
    std::string quoted = "'";
    quoted += s.toStdString();
    quoted += '\'';
    return quoted;
}

qint64 FileSize(const QString& path) { return QFileInfo(path).size(); }

// The PNG colour type in the file's header: 2 RGB, 3 palette, 6 RGBA ...
int ColourType(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray head = f.read(26);
    return head.size() == 26 ? static_cast<unsigned char>(head[25]) : -1;
}

// The pixels alone: a picture read from a file may carry a colour space, which == compares.
bool SameRgb(const QImage& a, const QString& path) {
    QImage b = QImage(path, "PNG").convertToFormat(QImage::Format_RGB32);
    QImage c = a.convertToFormat(QImage::Format_RGB32);
    b.setColorSpace(QColorSpace());
    c.setColorSpace(QColorSpace());
    return b == c;
}

const char* FilterName(unsigned filters) {
    switch (filters) {
        case trimlet::kPngFilterNone:
            return "none";
        case trimlet::kPngFilterSub:
            return "sub";
        case trimlet::kPngFilterUp:
            return "up";
        case trimlet::kPngFilterAverage:
            return "avg";
        case trimlet::kPngFilterPaeth:
            return "paeth";
        case trimlet::kPngFilterAll:
            return "all";
        case trimlet::kPngFilterAll & ~trimlet::kPngFilterNone:
            return "all but none";
        case trimlet::kPngFilterNone | trimlet::kPngFilterPaeth:
            return "none+paeth";
        case trimlet::kPngFilterSub | trimlet::kPngFilterUp | trimlet::kPngFilterPaeth:
            return "sub+up+paeth";
        default:
            return "?";
    }
}

// Levels against row filter sets: time and size beside convert's, which is how the
// settings of each colour type were chosen.
void Sweep(const QImage& picture, qint64 imBytes, double imMs) {
    std::printf("  %-5s %-13s %8s %8s %11s %11s\n", "level", "filters", "ms", "KiB", "vs convert",
                "size ratio");
    const unsigned sets[] = {trimlet::kPngFilterNone, trimlet::kPngFilterPaeth,
                             trimlet::kPngFilterAll,
                             trimlet::kPngFilterAll & ~trimlet::kPngFilterNone};
    for (int level : {3, 5, 6, 7, 8, 9, 10, 12})
        for (unsigned filters : sets) {
            QByteArray bytes;
            const double ms = MedianMs(1, [&] {
                QBuffer buffer(&bytes);
                buffer.open(QIODevice::WriteOnly);
                return trimlet::EncodePng(picture, buffer, PngOptions{level, filters, 0, true})
                    .ok();
            });
            std::printf("  %-5d %-13s %8.0f %8lld %10.2fx %11.3f\n", level, FilterName(filters), ms,
                        static_cast<long long>(bytes.size() / 1024), imMs / ms,
                        static_cast<double>(bytes.size()) / static_cast<double>(imBytes));
        }
}

void Measure(const char* name, const QImage& picture, const QDir& dir, int runs, bool sweep) {
    const QString bmp = dir.filePath("in.bmp");
    if (!trimlet::SaveImage(bmp, ImageFormat::Bmp, picture, 0).ok()) {
        std::printf("cannot write the input file\n");
        return;
    }
    const trimlet::PixelRect whole{0, 0, picture.width(), picture.height()};
    const QString ours = dir.filePath("ours.png"), im = dir.filePath("im.png");
    const double tOurs = MedianMs(runs, [&] {
        const QImage block = trimlet::CutOut(picture, whole);
        const ExportResult r = trimlet::SaveImage(ours, ImageFormat::Png, block, 0);
        if (!r) std::printf("save failed: %s\n", r.error().c_str());
        return r.ok();
    });
    const double tIm = MedianMs(runs, [&] {
        const std::string command =
            std::string(kConvert) + " " + Quote(bmp) + " " + Quote(im) + " 2>/dev/null";
        return std::system(command.c_str()) == 0;
    });
    const qint64 ourBytes = FileSize(ours), imBytes = FileSize(im);

    std::printf("\n%s picture, %d x %d, median of %d runs\n", name, picture.width(),
                picture.height(), runs);
    std::printf("  %-34s %10s %10s %8s %s\n", "", "ms", "KiB", "type", "lossless");
    // convert's file carries gamma and chromaticity chunks, which Qt's reader applies:
    // only ours is decoded and compared.
    const auto row = [&](const char* what, double ms, const QString& path, bool check) {
        std::printf("  %-34s %10.0f %10lld %8d %s\n", what, ms,
                    static_cast<long long>(FileSize(path) / 1024), ColourType(path),
                    !check                   ? "-"
                    : SameRgb(picture, path) ? "yes"
                                             : "NO");
    };
    row("PNG, ours", tOurs, ours, true);
    row("PNG, convert in.bmp out.png", tIm, im, false);
    std::printf(
        "  convert / ours time = %.2f (target >= 3), ours / convert size = %.3f "
        "(target <= 1.05)\n",
        tIm / tOurs, static_cast<double>(ourBytes) / static_cast<double>(imBytes));
    // BENCH_KEEP=folder keeps the input and both outputs for a closer look.
    if (const QString keep = qEnvironmentVariable("BENCH_KEEP"); !keep.isEmpty())
        for (const QString& f : {bmp, ours, im})
            QFile::copy(
                f, QDir(keep).filePath(QString::fromLatin1(name) + "-" + QFileInfo(f).fileName()));
    if (sweep) Sweep(picture, imBytes, tIm);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // fonts for the screenshot's text
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const bool sweep = argc > 2 && std::strcmp(argv[2], "sweep") == 0;
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    QElapsedTimer t;
    t.start();
    const QImage photo = bench::PhotoLike();
    const QImage screen = bench::ScreenshotLike();
    std::printf("pictures generated in %.1f s\n", static_cast<double>(t.elapsed()) / 1e3);
    Measure("photo-like", photo, QDir(dir.path()), runs, sweep);
    Measure("screenshot-like", screen, QDir(dir.path()), runs, sweep);
    for (int i = sweep ? 3 : 2; i < argc; ++i) {
        const QImage extra =
            QImage(QString::fromLocal8Bit(argv[i])).convertToFormat(QImage::Format_RGB32);
        if (!extra.isNull())
            Measure(QFileInfo(QString::fromLocal8Bit(argv[i])).baseName().toUtf8().constData(),
                    extra, QDir(dir.path()), runs, sweep);
    }
    return 0;
}
