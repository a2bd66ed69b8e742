#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "common/picturereader.h"

namespace trimlet {
namespace {

// Another program's picture formats, the lossless and common ones first.
QStringList PictureFormats(const QMimeData& data) {
    static const char* const kPreferred[] = {"image/png",  "image/bmp",  "image/x-bmp",
                                             "image/tiff", "image/jpeg", "image/gif"};
    const QStringList offered = data.formats();
    QStringList ordered;
    for (const char* f : kPreferred)
        if (offered.contains(QLatin1String(f))) ordered << QString::fromLatin1(f);
    for (const QString& f : offered)
        if (f.startsWith(QLatin1String("image/")) && !ordered.contains(f)) ordered << f;
    return ordered;
}

}  // namespace

std::optional<QImage> QtClipboard::readImage() {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb) return std::nullopt;
    const QMimeData* data = cb->mimeData(QClipboard::Clipboard);
    if (!data) return QImage();
    if (!cb->ownsClipboard()) {
        // Another program's picture is decoded here, under the same limits as a file:
        // Qt's own conversion would apply a smaller allocation limit and report a large
        // picture as no picture at all.
        const QStringList formats = PictureFormats(*data);
        for (const QString& format : formats) {
            PictureRead read = ReadPictureData(data->data(format));
            if (read.picture) return std::move(read.picture);
        }
        // A picture that is there but cannot be read is a failed read, not an empty
        // clipboard: the view keeps its picture and the clipboard is left alone.
        if (!formats.isEmpty()) return std::nullopt;
    }
    if (!data->hasImage()) return QImage();
    // Our own picture: the very image that was put there, shared rather than copied.
    QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull()) return std::nullopt;
    return image;
}

bool QtClipboard::writeImage(const QImage& image) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb || image.isNull()) return false;
    cb->setImage(image, QClipboard::Clipboard);
    return true;
}

}  // namespace trimlet
