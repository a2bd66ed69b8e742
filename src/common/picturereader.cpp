#include "common/picturereader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <functional>

#include "common/pixelformat.h"

namespace trimlet {
namespace {

bool IsRestart(uchar m) { return m >= 0xD0 && m <= 0xD7; }

PictureRead Refused(PictureRefusal why) { return PictureRead{std::nullopt, why}; }

// Decodes from device; jpegBytes gives the whole encoded data when the scans must be
// counted (JPEG files are small next to their pixels).
PictureRead Decode(QIODevice& device, const std::function<QByteArray()>& jpegBytes) {
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    // The limit is process-wide in Qt; set before every read so nothing else can have
    // loosened it.
    QImageReader::setAllocationLimit(int(kPictureBudgetBytes / (1024 * 1024)));
    const QSize declared = reader.size();
    const qint64 pixels =
        declared.isValid() ? qint64(declared.width()) * qint64(declared.height()) : 0;
    if (pixels * 4 > kPictureBudgetBytes) return Refused(PictureRefusal::OverBudget);
    if (reader.format() == "jpeg") {
        const QByteArray data = jpegBytes();
        const int scans =
            CountJpegScans(reinterpret_cast<const uchar*>(data.constData()), data.size());
        if (scans > kJpegMaxScans || qint64(scans) * pixels > kJpegMaxScanPixels)
            return Refused(PictureRefusal::TooManyScans);
    }
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        // The reader says "too large" only through its error text; the declared size
        // check above catches nearly all of those first.
        return Refused(PictureRefusal::NotAPicture);
    }
    if (qint64(picture.width()) * picture.height() * 4 > kPictureBudgetBytes)
        return Refused(PictureRefusal::OverBudget);
    ToViewPixels(picture);
    if (picture.isNull()) return Refused(PictureRefusal::OverBudget);
    return PictureRead{std::move(picture), PictureRefusal::None};
}

}  // namespace

int CountJpegScans(const uchar* d, qint64 n) {
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return -1;
    int scans = 0;
    qint64 i = 2;
    while (i + 1 < n) {
        if (d[i] != 0xFF) {
            ++i;  // stray byte between segments
            continue;
        }
        const uchar m = d[i + 1];
        if (m == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (m == 0xD9) break;  // end of image
        if (m == 0x01 || m == 0xD8 || IsRestart(m)) {
            i += 2;
            continue;
        }
        if (i + 3 >= n) break;
        const qint64 length = (qint64(d[i + 2]) << 8) | d[i + 3];
        i += 2 + length;
        if (m != 0xDA) continue;
        ++scans;
        // Entropy-coded data up to the next marker that is not a stuffed byte or a restart.
        while (i + 1 < n &&
               !(d[i] == 0xFF && d[i + 1] != 0x00 && d[i + 1] != 0xFF && !IsRestart(d[i + 1])))
            ++i;
    }
    return scans;
}

PictureRead ReadPictureData(const QByteArray& data) {
    if (data.isEmpty()) return Refused(PictureRefusal::NotAPicture);
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly)) return Refused(PictureRefusal::NotAPicture);
    return Decode(buffer, [&] { return data; });
}

PictureRead ReadPictureFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) return Refused(PictureRefusal::NotAPicture);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return Refused(PictureRefusal::NotAPicture);
    // The reader streams from the file; only a JPEG is read whole, to count its scans.
    return Decode(file, [&] {
        QFile again(path);
        return again.open(QIODevice::ReadOnly) && again.size() <= kPictureBudgetBytes
                   ? again.readAll()
                   : QByteArray();
    });
}

}  // namespace trimlet
