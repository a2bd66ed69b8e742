#include "export/imagelib_util.h"

#include <QImage>
#include <QImageReader>

#include "export/encoders.h"

namespace trimlet {
namespace {

QImage ReadSource(const QString& source) {
    QImageReader reader(source);
    QImage image = reader.read();
    if (image.isNull()) return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

bool ConvertBmpToJpeg(const QString& target, const QString& source, int quality, int /*flag*/) {
    const QImage image = ReadSource(source);
    if (image.isNull()) return false;
    return SaveImage(target, ImageFormat::Jpeg, image, quality).ok();
}

bool ConvertBmpToGif(const QString& target, const QString& source, int /*flag*/) {
    const QImage image = ReadSource(source);
    if (image.isNull()) return false;
    return SaveImage(target, ImageFormat::Gif, image, 0).ok();
}

}  // namespace trimlet
