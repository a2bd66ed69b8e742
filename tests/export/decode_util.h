#pragma once
// Independent decoders for checking what the encoders wrote: TurboJPEG for JPEG,
// giflib for GIF, libpng for PNG. Plain helpers shared by the export tests and the benchmark.

#include <gif_lib.h>
#include <png.h>
#include <turbojpeg.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace trimlet::testing {

inline QByteArray ReadWholeFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

// A null image when the data is not a JPEG.
inline QImage DecodeJpeg(const QByteArray& data) {
    struct Destroy {
        void operator()(void* h) const { tjDestroy(h); }
    };
    const std::unique_ptr<void, Destroy> tj(tjInitDecompress());
    if (!tj || data.isEmpty()) return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.get(), bytes, static_cast<unsigned long>(data.size()), &width,
                            &height, &subsamp, &colorspace) != 0)
        return {};
    QImage out(width, height, QImage::Format_RGB32);
    if (tjDecompress2(tj.get(), bytes, static_cast<unsigned long>(data.size()), out.bits(), width,
                      static_cast<int>(out.bytesPerLine()), height, TJPF_BGRX, 0) != 0)
        return {};
    return out;
}

// libpng's reading of a PNG as RGB32; a null image when it fails.
inline QImage DecodePngWithLibpng(const QByteArray& data) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.constData(),
                                          static_cast<std::size_t>(data.size())))
        return {};
    image.format = PNG_FORMAT_BGRA;
    QImage out(static_cast<int>(image.width), static_cast<int>(image.height),
               QImage::Format_ARGB32);
    if (out.isNull() ||
        !png_image_finish_read(&image, nullptr, out.bits(),
                               static_cast<png_int_32>(out.bytesPerLine()), nullptr)) {
        png_image_free(&image);
        return {};
    }
    return out.convertToFormat(QImage::Format_RGB32);
}

struct DecodedGif {
    QImage image;         // null when the data is not a GIF
    int paletteSize = 0;  // entries of the colour table used by the first frame
    int frames = 0;
};

inline DecodedGif DecodeGif(const QByteArray& data) {
    struct Source {
        const QByteArray* data;
        qsizetype pos = 0;
    } source{&data};
    const InputFunc read = [](GifFileType* gif, GifByteType* buf, int len) -> int {
        auto* s = static_cast<Source*>(gif->UserData);
        const qsizetype n = std::min<qsizetype>(len, s->data->size() - s->pos);
        if (n <= 0) return 0;
        std::memcpy(buf, s->data->constData() + s->pos, static_cast<std::size_t>(n));
        s->pos += n;
        return static_cast<int>(n);
    };
    struct Close {
        void operator()(GifFileType* g) const {
            int e = 0;
            DGifCloseFile(g, &e);
        }
    };
    DecodedGif result;
    int error = 0;
    const std::unique_ptr<GifFileType, Close> gif(DGifOpen(&source, read, &error));
    if (!gif || DGifSlurp(gif.get()) != GIF_OK || gif->ImageCount < 1) return result;
    result.frames = gif->ImageCount;
    const SavedImage& frame = gif->SavedImages[0];
    const ColorMapObject* map =
        frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
    if (!map) return result;
    result.paletteSize = map->ColorCount;
    const int w = frame.ImageDesc.Width, h = frame.ImageDesc.Height;
    QImage out(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int index = frame.RasterBits[static_cast<std::size_t>(y) * w + x];
            if (index >= map->ColorCount) return result;  // image stays null
            const GifColorType& c = map->Colors[index];
            line[x] = qRgb(c.Red, c.Green, c.Blue);
        }
    }
    result.image = out;
    return result;
}

// Peak signal-to-noise ratio over the three colour channels; infinity for equal
// pictures, NaN when the sizes differ.
inline double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return std::numeric_limits<double>::quiet_NaN();
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = qRed(p[col]) - qRed(q[col]);
            const int dg = qGreen(p[col]) - qGreen(q[col]);
            const int db = qBlue(p[col]) - qBlue(q[col]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    if (mse == 0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace trimlet::testing
