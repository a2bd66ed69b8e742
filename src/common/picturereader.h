#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

namespace trimlet {

// The one way a picture comes in, from a file or from another program's clipboard data:
// the same budget and the same limits on decoding cost, whatever the way.

// The most memory one decoded picture may take, as 32-bit pixels. Where a decoder keeps a
// picture of its own until ours is made from it (TIFF, AVIF), the two together.
inline constexpr qint64 kPictureBudgetBytes = qint64{1024} * 1024 * 1024;
// A progressive JPEG decodes every scan over the whole picture, so a small file with
// very many scans costs minutes. No file with more scans than this is decoded...
inline constexpr int kJpegMaxScans = 500;
// ...nor one whose scans times pixels exceed this many: sixteen scans of the largest
// picture the budget allows (ordinary progressive files have about ten).
inline constexpr qint64 kJpegMaxScanPixels = 16 * (kPictureBudgetBytes / 4);

// A picture file may hold several frames or pages (an animation, a scanned document);
// only the first is read, but the readers walk the file's structure first, and a file
// with more than this many frames or pages (or, for WebP, chunks) is not read at all.
inline constexpr int kMaxPictureFrames = 10000;
// Formats whose reader takes the whole file into memory: none larger than this.
inline constexpr qint64 kMaxWholeFileBytes = kPictureBudgetBytes / 4;

// The number of scans (start-of-scan markers) in JPEG data, walking its segments and
// skipping the entropy-coded bytes; -1 when the data is no JPEG.
[[nodiscard]] int CountJpegScans(const uchar* data, qint64 size);

// Why a picture was not read.
enum class PictureRefusal { None, NotAPicture, OverBudget, TooManyScans, TooManyFrames };

struct PictureRead {
    std::optional<QImage> picture;  // 32-bit RGB, the form the view paints
    PictureRefusal refusal = PictureRefusal::None;
};

// The formats read, told by their first bytes (never by a file's name): PNG, JPEG, GIF,
// BMP, WebP, TIFF, AVIF, and the portable any-map, XPM and XBM texts. Every other format,
// whatever image plugins the system has, is no picture to this program.
[[nodiscard]] QByteArray PictureFormatOf(const QByteArray& head);

// Decodes encoded picture data into one opaque 32-bit picture, refusing before any large
// allocation what would break the limits.
[[nodiscard]] PictureRead ReadPictureData(const QByteArray& data);
// The same for a file: only a plain file is read, never a FIFO or a device.
[[nodiscard]] PictureRead ReadPictureFile(const QString& path);

}  // namespace trimlet
