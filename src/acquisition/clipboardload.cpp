#include "acquisition/clipboardload.h"

#include "common/pixelformat.h"
#include "platform/clipboard.h"
#include "platform/screengrab.h"

namespace trimlet {

bool SendPrintScreen(ScreenGrabber& grabber, Clipboard& clipboard,
                     const std::function<void()>& processEvents) {
    const QImage shot = grabber.grabDesktop();
    const bool written = !shot.isNull() && clipboard.writeImage(shot);
    if (processEvents) processEvents();
    return written;
}

std::optional<QImage> ReadClipboardPicture(Clipboard& clipboard,
                                           const std::function<void()>& sendPrintScreen) {
    std::optional<QImage> picture = clipboard.readImage();
    if (!picture) return std::nullopt;
    if (picture->isNull()) {
        if (sendPrintScreen) sendPrintScreen();
        picture = clipboard.readImage();
        if (!picture) return std::nullopt;
        if (picture->isNull()) return QImage();
    }
    // Clipboard pictures carry no transparency worth keeping; the view and the saves
    // work on opaque 32-bit pixels.
    ToViewPixels(*picture);
    return picture;
}

}  // namespace trimlet
