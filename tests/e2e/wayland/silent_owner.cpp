// A Wayland clipboard owner that stopped answering, for the end-to-end cases: a small
// window that, at the first key pressed in it, offers image/png and image/bmp on the
// clipboard and then never writes a byte into the pipe it is handed (its thread hangs in
// the request, as a hung program's does). It prints "ready" once it made the offer.
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QRasterWindow>
#include <cstdio>

namespace {

class SilentData final : public QMimeData {
public:
    QStringList formats() const override {
        return {QStringLiteral("image/png"), QStringLiteral("image/bmp")};
    }
    bool hasFormat(const QString& format) const override { return formats().contains(format); }

protected:
    QVariant retrieveData(const QString&, QMetaType) const override {
        for (;;) ::pause();
    }
};

class Window final : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(0, 0), size()), Qt::darkGreen);
    }
    void keyPressEvent(QKeyEvent*) override {
        if (offered_) return;
        offered_ = true;
        QGuiApplication::clipboard()->setMimeData(new SilentData);
        std::printf("ready\n");
        std::fflush(stdout);
    }

private:
    bool offered_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    Window window;
    window.setTitle(QStringLiteral("silent owner"));
    window.resize(200, 100);
    window.show();
    return app.exec();
}
