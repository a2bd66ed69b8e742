#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace trimlet {

std::optional<QImage> QtClipboard::readImage() {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb) return std::nullopt;
    const QMimeData* data = cb->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasImage()) return QImage();
    return qvariant_cast<QImage>(data->imageData());
}

bool QtClipboard::writeImage(const QImage& image) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb || image.isNull()) return false;
    cb->setImage(image, QClipboard::Clipboard);
    return true;
}

}  // namespace trimlet
