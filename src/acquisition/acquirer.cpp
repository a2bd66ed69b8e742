#include "acquisition/acquirer.h"

#include <QList>
#include <QMimeData>
#include <QUrl>
#include <optional>

#include "acquisition/clipboardload.h"
#include "acquisition/picturefile.h"
#include "platform/busypointer.h"
#include "platform/screengrab.h"
#include "platform/sound.h"

namespace trimlet {

Acquirer::Acquirer(AcquisitionWindow& window, AcquisitionServices services)
    : window_(window), services_(std::move(services)) {}

bool Acquirer::sendPrintScreen(IfAsking ifAsking) {
    if (ifAsking != IfAsking::Grab && services_.grabber.wouldAsk()) {
        if (ifAsking == IfAsking::NoPicture) return false;
        if (!services_.grabber.askPermission().granted) return false;
    }
    const bool hideNow = hideForPrintScreen_ && window_.isShownOnScreen();
    if (hideNow) window_.hideFromScreen();
    const bool written =
        SendPrintScreen(services_.grabber, services_.clipboard, services_.processEvents);
    if (hideNow) window_.showOnScreen();
    return written;
}

void Acquirer::loadFromClipboard() {
    const BusyScope busy(services_.busy);
    // Without a picture of the screen the second read finds the clipboard as it was.
    const std::optional<QImage> picture = ReadClipboardPicture(services_.clipboard, [this] {
        (void)sendPrintScreen(startingUp_ ? IfAsking::NoPicture : IfAsking::Ask);
    });
    if (picture) window_.showPicture(*picture);
}

void Acquirer::reload() {
    loadFromClipboard();
    window_.selectWholePicture();
}

void Acquirer::capture(int waitMilliseconds) {
    // A question of the desktop's comes while the window is shown and has the focus (the
    // desktop may refuse to ask on behalf of a window that has gone).
    const GrabPermission permission = services_.grabber.askPermission();
    if (!permission.granted) {
        captureFailed(permission.why);
        return;
    }
    window_.hideFromScreen();
    if (!services_.sleep(waitMilliseconds)) {
        window_.showOnScreen();
        return;
    }
    bool captured = false;
    {
        // The grab is a long step too (a portal may take seconds to answer); the window is
        // off the screen meanwhile, so no pointer shows.
        const BusyScope busy(services_.busy);
        captured = sendPrintScreen(IfAsking::Grab);
    }
    window_.showOnScreen();
    // No picture of the screen (a portal that failed, refused or did not answer): the
    // view keeps its picture rather than showing whatever else the clipboard holds.
    if (captured) reload();
}

void Acquirer::captureFailed(const QString& why) {
    if (services_.sound) services_.sound->play(SystemSound::Error);
    qWarning("trimlet: no capture: %s", qUtf8Printable(why));
}

bool Acquirer::putFileOnClipboard(const QString& path) {
    const BusyScope busy(services_.busy);
    return PutFileOnClipboard(path, services_.clipboard);
}

void Acquirer::drop(const QMimeData* data) {
    if (!data || !data->hasUrls()) return;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty()) return;
    if (!putFileOnClipboard(urls.first().toLocalFile())) return;
    services_.processEvents();
    reload();
}

void Acquirer::startUp(const QString& commandLine, bool hideForPrintScreen) {
    if (!commandLine.isEmpty()) {
        // A file that cannot be loaded leaves the clipboard as it is; start-up goes on.
        (void)putFileOnClipboard(commandLine);
        services_.processEvents();
    }
    hideForPrintScreen_ = hideForPrintScreen;
    startingUp_ = true;
    loadFromClipboard();
    startingUp_ = false;
    hideForPrintScreen_ = false;
    window_.selectWholePicture();
}

}  // namespace trimlet
