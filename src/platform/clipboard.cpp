#include "platform/clipboard.h"

#include <QAbstractEventDispatcher>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QWindow>

#include "common/picturereader.h"
#include "platform/session.h"
#include "platform/waylandglobals.h"

namespace trimlet {
namespace {

// Another program's picture formats, the lossless and common ones first.
QStringList PictureFormats(const QStringList& offered) {
    static const char* const kPreferred[] = {"image/png",  "image/bmp",  "image/x-bmp",
                                             "image/tiff", "image/webp", "image/avif",
                                             "image/jpeg", "image/gif"};
    QStringList ordered;
    for (const char* f : kPreferred)
        if (offered.contains(QLatin1String(f))) ordered << QString::fromLatin1(f);
    for (const QString& f : offered)
        if (f.startsWith(QLatin1String("image/")) && !ordered.contains(f)) ordered << f;
    return ordered;
}

const QString kPng = QStringLiteral("image/png");
const QString kBmp = QStringLiteral("image/bmp");

// Light compression: this runs inside every capture and copy.
QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (qstrcmp(format, "png") == 0) writer.setCompression(1);
    return writer.write(image) ? bytes : QByteArray();
}

// A picture offered as PNG first, each format encoded when a program first asks for it.
// Not as Qt's image data: Qt would offer its own application/x-qt-image first and serve
// that as BMP, and most programs take the first picture format they are offered. BMP
// follows only where the order offered is the order seen (X11): a Wayland compositor need
// not keep it (mutter does not), so there PNG comes alone.
// `readFocused` (none: not kept) is set once the PNG is read while a window of ours has the
// keyboard focus.
class PictureMimeData final : public QMimeData {
public:
    PictureMimeData(QImage image, bool bmpToo, std::shared_ptr<bool> readFocused,
                    BusyPointer* busy)
        : image_(std::move(image)),
          bmpToo_(bmpToo),
          readFocused_(std::move(readFocused)),
          busy_(busy) {}
    QStringList formats() const override {
        return bmpToo_ ? QStringList{kPng, kBmp} : QStringList{kPng};
    }
    bool hasFormat(const QString& mimeType) const override {
        return mimeType == kPng || (bmpToo_ && mimeType == kBmp);
    }

protected:
    // A large picture takes seconds to encode, with the paste and the GUI thread waiting:
    // a long step like a save.
    QVariant retrieveData(const QString& mimeType, QMetaType) const override {
        const bool encodes = (mimeType == kPng && png_.isEmpty()) || (bmpToo_ && mimeType == kBmp);
        const BusyScope busy(encodes ? busy_ : nullptr);
        if (mimeType == kPng) {
            if (readFocused_ && QGuiApplication::focusWindow()) *readFocused_ = true;
            if (png_.isEmpty()) png_ = Encoded(image_, "png");
            return png_;
        }
        if (bmpToo_ && mimeType == kBmp) return Encoded(image_, "bmp");
        return {};
    }

private:
    QImage image_;
    bool bmpToo_;
    std::shared_ptr<bool> readFocused_;
    BusyPointer* busy_;
    mutable QByteArray png_;  // asked for by every paste, and by a clipboard manager at once
};

// wl-copy takes the picture as PNG on its standard input, sets the selection through the
// compositor's data-control protocol and stays behind (detached) to serve it until
// something else is copied. Every wait is short: the window waits on it.
bool HandToWlCopy(const QImage& image) {
    const QString wlCopy = QStandardPaths::findExecutable(QStringLiteral("wl-copy"));
    if (wlCopy.isEmpty()) return false;
    const QByteArray png = Encoded(image, "png");
    if (png.isEmpty()) return false;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(wlCopy, {QStringLiteral("--type"), kPng});
    if (!process.waitForStarted(1000)) return false;
    process.write(png);
    process.closeWriteChannel();
    // The foreground part ends once the selection is set; its served copy lives on.
    if (!process.waitForFinished(2000)) {
        process.kill();
        process.waitForFinished(500);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The data-control protocols the installed wl-copy speaks: their names appear in its
// program file (it binds the globals by name).
QStringList WlCopyProtocols() {
    QFile program(QStandardPaths::findExecutable(QStringLiteral("wl-copy")));
    if (program.fileName().isEmpty() || !program.open(QIODevice::ReadOnly) ||
        program.size() > (16 << 20))
        return {};
    const QByteArray bytes = program.readAll();
    QStringList spoken;
    for (const QString& name : kDataControlProtocols)
        if (bytes.contains(name.toLatin1())) spoken << name;
    return spoken;
}

// Calls `pressed` before a key or mouse button press reaches the program's windows.
class InputWatch final : public QObject {
public:
    explicit InputWatch(std::function<void()> pressed) : pressed_(std::move(pressed)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress)
            pressed_();
        return false;
    }

private:
    std::function<void()> pressed_;
};

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

ClipboardWriter ChooseClipboardWriter(bool wayland, const QStringList& compositorGlobals,
                                      const QStringList& wlCopyProtocols) {
    if (!wayland) return ClipboardWriter::Toolkit;
    for (const QString& protocol : kDataControlProtocols)
        if (compositorGlobals.contains(protocol) && wlCopyProtocols.contains(protocol))
            return ClipboardWriter::DataControlTool;
    return ClipboardWriter::FocusedToolkit;
}

ClipboardWriter ClipboardWriterForSession(const QString& platformName) {
    using namespace std::chrono_literals;
    const bool wayland = ClipboardNeedsFocus(platformName);
    if (!wayland) return ClipboardWriter::Toolkit;
    return ChooseClipboardWriter(wayland, WaylandGlobals(1s), WlCopyProtocols());
}

QtClipboard::QtClipboard(ClipboardWriter writer) : writer_(writer) {
#if QT_CONFIG(xcb)
    // (The offscreen platform answers for X11's native interface too: the name decides.)
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        x11Reader_ = std::make_unique<XcbClipboardReader>(kOwnerSilenceLimit);
#endif
    QClipboard* cb = QGuiApplication::clipboard();
    if (!cb) return;
    // Another program's content replaces ours (with the focus, on Wayland).
    forget_ = QObject::connect(cb, &QClipboard::changed, cb, [this, cb](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !waitingForFocus_ && !cb->ownsClipboard())
            handedOver_.reset();
    });
    if (writer_ == ClipboardWriter::Toolkit) return;
    // A picture that waits for the focus is offered once a window of ours has it, after
    // the focus change has been handled in full.
    focus_ = QObject::connect(
        qGuiApp, &QGuiApplication::focusWindowChanged, cb,
        [this](QWindow* window) {
            inputSinceFocus_ = false;
            if (window && waitingForFocus_ && handedOver_) offerNow(*handedOver_);
        },
        Qt::QueuedConnection);
    inputWatch_ = std::make_unique<InputWatch>([this] {
        inputSinceFocus_ = true;
        if (offerAgainOnInput_ && handedOver_ && QGuiApplication::clipboard()->ownsClipboard())
            offerNow(*handedOver_);
        offerAgainOnInput_ = false;
    });
    qGuiApp->installEventFilter(inputWatch_.get());
}

QtClipboard::~QtClipboard() {
    if (inputWatch_ && qGuiApp) qGuiApp->removeEventFilter(inputWatch_.get());
    QObject::disconnect(forget_);
    QObject::disconnect(focus_);
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
    if (writer_ == ClipboardWriter::DataControlTool && HandToWlCopy(image)) {
        waitingForFocus_ = false;
        handedOver_ = image;
        return true;
    }
    // (Also where wl-copy failed.)
    if (writer_ != ClipboardWriter::Toolkit && !QGuiApplication::focusWindow()) {
        handedOver_ = image;
        waitingForFocus_ = true;
        return true;
    }
    offerNow(image);
    return true;
}

void QtClipboard::offerNow(QImage image) {
    waitingForFocus_ = false;
    offerAgainOnInput_ = writer_ != ClipboardWriter::Toolkit && !inputSinceFocus_;
    offerCopied_ = std::make_shared<bool>(false);
    // Qt takes the data over; its change signal comes before the picture is remembered.
    QGuiApplication::clipboard()->setMimeData(
        new PictureMimeData(image, writer_ == ClipboardWriter::Toolkit,
                            writer_ == ClipboardWriter::FocusedToolkit ? offerCopied_ : nullptr,
                            busy_),
        QClipboard::Clipboard);
    handedOver_ = std::move(image);
}

bool QtClipboard::desktopKeepsOurPicture() const {
    const QClipboard* cb = QGuiApplication::clipboard();
    return writer_ == ClipboardWriter::FocusedToolkit && offerCopied_ && *offerCopied_ && cb &&
           cb->ownsClipboard();
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
