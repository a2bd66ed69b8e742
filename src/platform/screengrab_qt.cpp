#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <vector>

#include "platform/screengrab.h"
#include "platform/screengrab_portal.h"

namespace trimlet {
namespace {

// X11 and the other window systems whose screens Qt can read back directly.
class QtScreenGrabber final : public ScreenGrabber {
public:
    // Every screen in its own device pixels, placed at its device-pixel position in
    // the virtual desktop: a 3840 x 2160 screen gives 3840 x 2160 pixels whatever the
    // desktop's scale. Qt keeps a screen's top-left corner in device pixels in its
    // logical geometry and scales only the size, so screens of different scale meet
    // edge to edge here as they do on the device.
    QImage grabDesktop() override {
        struct Shot {
            QPoint at;
            QImage pixels;
        };
        std::vector<Shot> shots;
        QRect desktop;
        for (QScreen* s : QGuiApplication::screens()) {
            QImage pixels = s->grabWindow(0).toImage();
            if (pixels.isNull()) continue;
            pixels.setDevicePixelRatio(1);  // drawn pixel for pixel below
            const QRect device(s->geometry().topLeft(), pixels.size());
            desktop = desktop.united(device);
            shots.push_back({device.topLeft(), std::move(pixels)});
        }
        if (shots.empty() || desktop.isEmpty()) return {};
        QImage result(desktop.size(), QImage::Format_RGB32);
        result.fill(Qt::black);
        QPainter painter(&result);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        for (const Shot& shot : shots) painter.drawImage(shot.at - desktop.topLeft(), shot.pixels);
        painter.end();
        return result;
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
