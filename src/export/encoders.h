#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <utility>

class QIODevice;

namespace trimlet {

// What an encoder or a save did: fine, or a message saying what went wrong.
class [[nodiscard]] ExportResult {
public:
    static ExportResult Ok() { return ExportResult(true, {}); }
    static ExportResult Failure(std::string message) {
        return ExportResult(false, std::move(message));
    }
    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    ExportResult(bool ok, std::string error) : ok_(ok), error_(std::move(error)) {}
    bool ok_;
    std::string error_;
};

enum class ImageFormat { Bmp, Gif, Jpeg, Png };

// How the GIF colours are chosen: libimagequant's speed (1 slowest and best .. 10
// fastest), the rounds of moving each palette entry to the mean of its colours, the
// dithering level (0 none .. 1 full) and the run slack (see Dithering). Measured on
// photographs, gradients and desktop and text screenshots against ffmpeg, ImageMagick
// and pngquant: the fastest palette with three rounds of means and half-strength
// diffusion is both the closest to the picture and the smallest file; a slack of 2
// makes screenshots 7 % and gradients 20 % smaller for 0.2 dB.
struct GifOptions {
    int speed = 10;
    int refineRounds = 3;
    float dithering = 0.5f;
    int runSlack = 2;
};

// The encoders take the pixels where they are: block is usually a view of the loaded
// picture's memory (Format_RGB32; other formats are converted first). They write to
// any open device and report what failed. Alpha is ignored.

// 24 bits per pixel, bottom-up rows, no palette, 96 dots per inch.
ExportResult EncodeBmp(const QImage& block, QIODevice& out);
// Baseline JPEG with Huffman tables made for the picture, quality 1..100; full chroma
// from quality 90 up, half (4:2:0) below.
ExportResult EncodeJpeg(const QImage& block, int quality, QIODevice& out);
// One frame, at most 256 colours, dithered.
ExportResult EncodeGif(const QImage& block, QIODevice& out, const GifOptions& options = {});

// How the PNG is compressed: the zlib level (0..9), the row filters (a mask of
// libpng's PNG_FILTER_* bits: 0x08 none, 0x10 sub, 0x20 up, 0x40 average, 0x80 Paeth;
// with more than one bit libpng picks per row) and the zlib strategy (0 default,
// 1 filtered, 2 Huffman only, 3 run-length). The defaults were picked by measurement
// on 4K photo-like and screenshot-like pictures (bench_png): level 4 with filtered
// matching and a per-row choice among sub, up, average and Paeth is the fastest setting
// whose files stay within 5 % of ImageMagick's (lower levels and run-length matching
// are two to three times faster but give 8 to 40 % larger files); "none" is never the
// better row filter on those pictures.
struct PngOptions {
    int level = 4;
    int filters = 0xF0;
    int strategy = 1;
};

// Lossless: 8 bits per channel RGB (24 bits per pixel), no alpha, no palette,
// not interlaced, 96 dots per inch.
// From about a million pixels on, the upper and the lower half are encoded at once (the
// lower on a second thread, joined before returning) and their zlib streams joined into
// one; should the join ever fail, the picture is encoded again in one pass.
ExportResult EncodePng(const QImage& block, QIODevice& out, const PngOptions& options = {});
// The two-band encoding on its own, whatever the size (at least two rows): a failure to
// join is reported instead of falling back. For tests and measurements.
ExportResult EncodePngInTwoBands(const QImage& block, QIODevice& out,
                                 const PngOptions& options = {});

// Writes block to path in the given format through an AtomicFile: the file appears
// only complete; on any failure (a full disk included) the target is left as it was,
// absent or the previous file, and the result says why. quality is used only for JPEG.
ExportResult SaveImage(const QString& path, ImageFormat format, const QImage& block, int quality,
                       const GifOptions& gif = {});

}  // namespace trimlet
