#include "common/pixelformat.h"

namespace trimlet {

void ToViewPixels(QImage& picture) {
    if (picture.format() != QImage::Format_RGB32) picture.convertTo(QImage::Format_RGB32);
}

QImage As32BitPixels(const QImage& picture) {
    if (Is32BitPixels(picture)) return picture;  // shared, no copy
    return picture.convertToFormat(QImage::Format_RGB32);
}

}  // namespace trimlet
