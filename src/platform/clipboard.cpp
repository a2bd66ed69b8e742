#include "platform/clipboard.h"

#include <QAbstractEventDispatcher>
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
QStringList PictureFormats(const QStringList& offered) {
    static const char* const kPreferred[] = {"image/png",  "image/bmp",  "image/x-bmp",
                                             "image/tiff", "image/jpeg", "image/gif"};
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

// Another program's picture, from the forms it offers and a way to fetch one. A form
// the owner does not answer for ends the read as failed: the next form would only wait
// again. A picture that is there but cannot be read is a failed read too, not an empty
// clipboard: the view keeps its picture and the clipboard is left alone.
std::optional<QImage> ReadOffered(
    const QStringList& offered,
    const std::function<OwnerAnswer(const QString&, QByteArray&)>& fetch) {
    const QStringList formats = PictureFormats(offered);
    for (const QString& format : formats) {
        QByteArray bytes;
        const OwnerAnswer answer = fetch(format, bytes);
        if (answer == OwnerAnswer::Silent) return std::nullopt;
        if (answer != OwnerAnswer::Data) continue;
        // Decoded here, under the same limits as a file: Qt's own conversion would apply
        // a smaller allocation limit and report a large picture as no picture at all.
        PictureRead read = ReadPictureData(bytes);
        if (read.picture) return std::move(read.picture);
    }
    if (!formats.isEmpty()) return std::nullopt;
    return QImage();
}

// The encoded picture may take this much memory at most while it comes in.
constexpr qint64 kTransferLimit = kPictureBudgetBytes + (qint64{1} << 20);

}  // namespace

QtClipboard::QtClipboard(bool handToWlCopy) : handToWlCopy_(handToWlCopy) {
#if QT_CONFIG(xcb)
    if (qGuiApp && qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        x11Reader_ = std::make_unique<XcbClipboardReader>(kOwnerSilenceLimit);
#endif
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
    // A read that waits lets window events run; none of them starts a second one.
    if (!cb || reading_) return std::nullopt;
    if (!cb->ownsClipboard()) {
        reading_ = true;
        std::optional<QImage> picture = readForeign(*cb);
        reading_ = false;
        // The user input that the wait held back is handled at the event loop's next
        // round, not only when the next event from the window system wakes it.
        if (QAbstractEventDispatcher* events = QCoreApplication::eventDispatcher())
            events->wakeUp();
        return picture;
    }
    // Our own picture: the very image that was put there, shared rather than copied.
    const QMimeData* data = cb->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasImage()) return QImage();
    QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull()) return std::nullopt;
    return image;
}

std::optional<QImage> QtClipboard::readForeign(const QClipboard& cb) {
    if (x11Reader_) {
        QStringList offered;
        switch (x11Reader_->targets(offered, ownerWait_)) {
            case OwnerAnswer::Silent:
                return std::nullopt;
            case OwnerAnswer::NoOwner:
            case OwnerAnswer::Refused:
                return QImage();
            case OwnerAnswer::Data:
                break;
        }
        return ReadOffered(offered, [this](const QString& format, QByteArray& bytes) {
            return x11Reader_->fetch(format, kTransferLimit, bytes, ownerWait_);
        });
    }
    // Elsewhere (Wayland) Qt reads the owner's pipe and gives up after 1 s without a byte;
    // the empty result it then gives is taken as silence.
    const QMimeData* data = cb.mimeData(QClipboard::Clipboard);
    if (!data) return QImage();
    std::optional<QImage> picture =
        ReadOffered(data->formats(), [data](const QString& format, QByteArray& bytes) {
            bytes = data->data(format);
            return bytes.isEmpty() ? OwnerAnswer::Silent : OwnerAnswer::Data;
        });
    // A clipboard kept inside the process (no window system) holds the image itself.
    if (picture && picture->isNull() && data->hasImage()) {
        QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull()) return image;
    }
    return picture;
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
