#include "platform/clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

#include "common/picturereader.h"

namespace trimlet {
namespace {

// Another program's picture formats, the lossless and common ones first.
QStringList PictureFormats(const QMimeData& data) {
    static const char* const kPreferred[] = {"image/png",  "image/bmp",  "image/x-bmp",
                                             "image/tiff", "image/webp", "image/avif",
                                             "image/jpeg", "image/gif"};
    const QStringList offered = data.formats();
    QStringList ordered;
    for (const char* f : kPreferred)
        if (offered.contains(QLatin1String(f))) ordered << QString::fromLatin1(f);
    for (const QString& f : offered)
        if (f.startsWith(QLatin1String("image/")) && !ordered.contains(f)) ordered << f;
    return ordered;
}

// wl-copy takes the picture as PNG on its standard input, sets the selection through the
// compositor's data-control protocol and stays behind (detached) to serve it until
// something else is copied. Light compression: this runs inside every capture.
bool HandToWlCopy(const QImage& image) {
    const QString wlCopy = QStandardPaths::findExecutable(QStringLiteral("wl-copy"));
    if (wlCopy.isEmpty()) return false;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(1);
    if (!writer.write(image)) return false;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(wlCopy, {QStringLiteral("--type"), QStringLiteral("image/png")});
    if (!process.waitForStarted(2000)) return false;
    process.write(png);
    process.closeWriteChannel();
    // The foreground part ends once the selection is set; its served copy lives on.
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

QtClipboard::QtClipboard(bool handToWlCopy) : handToWlCopy_(handToWlCopy) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (handToWlCopy_ && cb)
        forget_ = QObject::connect(cb, &QClipboard::changed, cb, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard) handedOver_.reset();
        });
}

QtClipboard::~QtClipboard() {
    QObject::disconnect(forget_);
    QObject::disconnect(watch_);
}

std::optional<QImage> QtClipboard::readImage() {
    if (handedOver_) return *handedOver_;
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
    if (handToWlCopy_ && HandToWlCopy(image)) {
        handedOver_ = image;
        return true;
    }
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
