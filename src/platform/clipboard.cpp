#include "platform/clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

namespace trimlet {
namespace {

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
    if (!data || !data->hasImage()) return QImage();
    return qvariant_cast<QImage>(data->imageData());
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
