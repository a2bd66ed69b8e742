#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

namespace trimlet {

// The one way a picture comes in, from a file or from another program's clipboard data:
// the same budget and the same limits on decoding cost, whatever the way.

// The most memory one decoded picture may take, as 32-bit pixels.
inline constexpr qint64 kPictureBudgetBytes = qint64{1024} * 1024 * 1024;
// A progressive JPEG decodes every scan over the whole picture, so a small file with
// very many scans costs minutes. No file with more scans than this is decoded...
inline constexpr int kJpegMaxScans = 500;
// ...nor one whose scans times pixels exceed this many: sixteen scans of the largest
// picture the budget allows (ordinary progressive files have about ten).
inline constexpr qint64 kJpegMaxScanPixels = 16 * (kPictureBudgetBytes / 4);

// The number of scans (start-of-scan markers) in JPEG data, walking its segments and
// skipping the entropy-coded bytes; -1 when the data is no JPEG.
[[nodiscard]] int CountJpegScans(const uchar* data, qint64 size);

// Why a picture was not read.
enum class PictureRefusal { None, NotAPicture, OverBudget, TooManyScans };

struct PictureRead {
    std::optional<QImage> picture;  // 32-bit RGB, the form the view paints
    PictureRefusal refusal = PictureRefusal::None;
};

// Decodes encoded picture data (any format the image reader knows) into one opaque
// 32-bit picture, refusing before any large allocation what would break the limits.
[[nodiscard]] PictureRead ReadPictureData(const QByteArray& data);
// The same for a file: only a plain file is read, never a FIFO or a device.
[[nodiscard]] PictureRead ReadPictureFile(const QString& path);

}  // namespace trimlet
