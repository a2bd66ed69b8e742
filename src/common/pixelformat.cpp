#include "common/pixelformat.h"

namespace trimlet {

void ToViewPixels(QImage& picture) {
    if (picture.format() != QImage::Format_RGB32) picture.convertTo(QImage::Format_RGB32);
}

QImage As32BitPixels(const QImage& picture) {
    switch (picture.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
            return picture;  // shared, no copy
        default:
            return picture.convertToFormat(QImage::Format_RGB32);
    }
}

}  // namespace trimlet
