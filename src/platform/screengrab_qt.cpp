#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

#include "platform/screengrab.h"
#include "platform/screengrab_portal.h"
#include "platform/session.h"

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
