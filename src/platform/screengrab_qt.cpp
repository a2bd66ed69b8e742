#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include "platform/screengrab.h"
#include "platform/screengrab_portal.h"

namespace trimlet {
namespace {

// X11 and the other window systems whose screens Qt can read back directly.
class QtScreenGrabber final : public ScreenGrabber {
public:
    QImage grabDesktop() override {
        const QList<QScreen*> screens = QGuiApplication::screens();
        if (screens.isEmpty()) return {};
        QRect desktop;
        for (QScreen* s : screens) desktop = desktop.united(s->geometry());
        if (desktop.isEmpty()) return {};
        QImage result(desktop.size(), QImage::Format_RGB32);
        result.fill(Qt::black);
        QPainter painter(&result);
        bool any = false;
        for (QScreen* s : screens) {
            const QPixmap shot = s->grabWindow(0);
            if (shot.isNull()) continue;
            const QRect g = s->geometry();
            // Device pixels are drawn at logical size, so mixed scale factors still fit.
            painter.drawPixmap(QRect(g.topLeft() - desktop.topLeft(), g.size()), shot);
            any = true;
        }
        painter.end();
        return any ? result : QImage();
    }
};

}  // namespace

namespace {

// A grabber for a window system that offers no way to read the screen: the load then
// goes on with an empty picture.
class NoScreenGrabber final : public ScreenGrabber {
public:
    QImage grabDesktop() override { return {}; }
};

}  // namespace

std::unique_ptr<ScreenGrabber> CreateScreenGrabber() {
    // Wayland hands a client no other window's pixels; ask the desktop portal instead.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        if (PortalScreenGrabber::available()) return std::make_unique<PortalScreenGrabber>();
        return std::make_unique<NoScreenGrabber>();
    }
    return std::make_unique<QtScreenGrabber>();
}

}  // namespace trimlet
