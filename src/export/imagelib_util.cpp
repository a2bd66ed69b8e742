#include "export/imagelib_util.h"

#include <QImage>

#include "common/picturereader.h"
#include "export/encoders.h"

namespace trimlet {
namespace {

// Under the same limits as every other picture that comes in.
QImage ReadSource(const QString& source) {
    return ReadPictureFile(source).picture.value_or(QImage());
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
