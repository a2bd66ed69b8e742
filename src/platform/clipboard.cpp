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

void QtClipboard::watchChanges(std::function<void()> changed) {
    QObject::disconnect(watch_);
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb || !changed) return;
    watch_ = QObject::connect(cb, &QClipboard::changed, cb,
                              [changed = std::move(changed)](QClipboard::Mode mode) {
                                  if (mode == QClipboard::Clipboard) changed();
                              });
}

}  // namespace trimlet
