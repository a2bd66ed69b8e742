#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <vector>

#include "platform/screengrab.h"
#include "platform/screengrab_portal.h"
#include "platform/session.h"

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

// The compositor's own screen grab where the desktop has no portal: wlroots compositors
// hand the screen to `grim` (screencopy protocol), which writes it to its standard output.
class CompositorScreenGrabber final : public ScreenGrabber {
public:
    QImage grabDesktop() override {
        const QString grim = QStandardPaths::findExecutable(QStringLiteral("grim"));
        if (grim.isEmpty() || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return {};
        QProcess process;
        process.start(grim, {QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")});
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(1000);
            return {};
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return {};
        const QImage shot = QImage::fromData(process.readAllStandardOutput(), "PPM");
        return shot.isNull() ? QImage() : shot.convertToFormat(QImage::Format_RGB32);
    }
};

// Owns every way of capturing; the session picks one at each capture.
class DesktopGrabber final : public ScreenGrabber {
public:
    QImage grabDesktop() override { return session_.grabDesktop(); }
    bool wouldAsk() override { return session_.wouldAsk(); }
    GrabPermission askPermission() override { return session_.askPermission(); }

private:
    QtScreenGrabber direct_;
    CompositorScreenGrabber compositor_;
    DBusScreenshotPortal portal_;
    WaylandScreenGrabber wayland_{portal_, &compositor_, DiskFiles()};
    SessionScreenGrabber session_{[] { return IsWaylandSession(); }, wayland_, direct_};
};

}  // namespace

std::unique_ptr<ScreenGrabber> CreateScreenGrabber() { return std::make_unique<DesktopGrabber>(); }

}  // namespace trimlet
