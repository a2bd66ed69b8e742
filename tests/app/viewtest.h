// The real main window on the offscreen platform with a picture in it, driven the way
// the user drives it: pointer events at logical positions (as Qt delivers them) aimed
// at device pixels of the picture, key presses, and what the window really shows read
// back from its backing store in device pixels. Works at any QT_SCALE_FACTOR.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <memory>

#include "app/frmcrop.h"
#include "support/fakes.h"
#include "support/frmcroppeer.h"

namespace trimlet::testing {

inline constexpr QRgb kHighlightXor = 0x00C0FFFF;

class ViewTest : public ::testing::Test {
protected:
    FakeClipboard clipboard;
    std::unique_ptr<frmCrop> window;
    QImage picture;

    // The picture in a client area of the given logical size (417 x 330 gives a
    // viewport of 401 x 282 logical units).
    void start(int width, int height, QSize client = QSize(417, 330)) {
        picture = PatternImage(width, height);
        clipboard.image = picture;
        CropServices s;
        s.clipboard = &clipboard;
        window = std::make_unique<frmCrop>(s);
        window->Form_Load(QString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->resize(client.width(), client.height() + window->menuBar()->height());
        QCoreApplication::processEvents();
        ASSERT_EQ(window->centralWidget()->size(), client);
        box()->setFocus();
        window->activateWindow();
        QCoreApplication::processEvents();
        // The resize left the swallow state on: a plain move over the picture ends it,
        // as the user's first pointer move would.
        move(Qt::NoButton, {5, 5});
        ASSERT_FALSE(Peer(window).editor().skipMouseEvent());
    }

    ImageBox* box() const { return Peer(window).picCrop(); }
    QString title() const { return window->windowTitle(); }
    double ratio() const { return window->devicePixelRatioF(); }
    // The viewport in device pixels of the window's backing store.
    QRect viewDevice() const { return box()->deviceArea(); }
    QPoint imagePos() const { return box()->imagePos(); }

    // Image-box device pixel position -> the viewport's logical position that Qt
    // would report for it.
    QPointF logicalAt(QPointF devicePos) const {
        const QPointF onWindow =
            (devicePos + QPointF(imagePos()) + QPointF(viewDevice().topLeft())) / ratio();
        return onWindow - QPointF(box()->mapTo(window.get(), QPoint(0, 0)));
    }

    // The inverse: the image-box device pixel position of a logical viewport position.
    QPointF deviceAt(QPointF logical) const {
        const QPointF onWindow = logical + QPointF(box()->mapTo(window.get(), QPoint(0, 0)));
        return onWindow * ratio() - QPointF(viewDevice().topLeft()) - QPointF(imagePos());
    }

    // Pointer events; `at` is in image-box device pixels, sent at the logical position.
    void mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPointF at,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
        mouseLogical(type, button, buttons, logicalAt(at), mods);
    }
    void mouseLogical(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
                      QPointF logical, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QMouseEvent e(type, logical, box()->mapToGlobal(logical), button, buttons, mods);
        QCoreApplication::sendEvent(box(), &e);
    }
    void press(Qt::MouseButton b, QPointF at) { mouse(QEvent::MouseButtonPress, b, b, at); }
    void move(Qt::MouseButtons held, QPointF at) {
        mouse(QEvent::MouseMove, Qt::NoButton, held, at);
    }
    void release(Qt::MouseButton b, QPointF at) {
        mouse(QEvent::MouseButtonRelease, b, Qt::NoButton, at);
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(box(), k, mods);
    }

    // The whole window as the backing store holds it, in device pixels. (The
    // offscreen platform's window grab cuts the image to the logical size, so the
    // backing store's image is read directly.)
    QImage shownWindow() {
        QCoreApplication::processEvents();
        QPaintDevice* device = window->backingStore()->paintDevice();
        if (!device || device->devType() != QInternal::Image) {
            ADD_FAILURE() << "the backing store is no image";
            return QImage();
        }
        QImage all = static_cast<QImage*>(device)->copy();
        all.setDevicePixelRatio(1);
        return all.convertToFormat(QImage::Format_RGB32);
    }

    // What the window shows now: the backing store as the incremental repaints left
    // it, cut to the viewport's device pixels.
    QImage shownViewport() { return shownWindow().copy(viewDevice()); }

    // Every device pixel of the viewport shows its picture pixel (image-box pixel
    // x, y at viewport pixel x + left, y + top), the selected block (image-box columns
    // selLeft-1 .. selLeft+selDX-1) XOR-ed with 192,255,255, and grey where there is
    // no picture. Where the loupe is shown, expectShownLoupe checks the view instead.
    void expectShownHighlight() {
        const QImage shown = shownViewport();
        ASSERT_EQ(shown.size(), viewDevice().size());
        const Selection& s = Peer(window).selection();
        const QRect block(s.selLeft - 1, s.selTop - 1, s.selDX + 1, s.selDY + 1);
        const QPoint at = imagePos();
        const QRect loupe = box()->loupe() ? box()->loupe()->box : QRect();
        int wrong = 0;
        for (int vy = 0; vy < shown.height(); ++vy)
            for (int vx = 0; vx < shown.width(); ++vx) {
                if (loupe.contains(vx, vy)) continue;
                const int x = vx - at.x(), y = vy - at.y();
                QRgb want = qRgb(128, 128, 128) & 0xFFFFFF;
                if (picture.rect().contains(x, y)) {
                    const QRgb pic = picture.pixel(x, y) & 0xFFFFFF;
                    want = block.contains(x, y) ? pic ^ kHighlightXor : pic;
                }
                if ((shown.pixel(vx, vy) & 0xFFFFFF) != want && wrong++ < 3)
                    ADD_FAILURE() << "view pixel " << vx << "," << vy << " (picture " << x << ","
                                  << y << ") of block " << block.x() << "," << block.y() << " "
                                  << block.width() << "x" << block.height();
            }
        EXPECT_EQ(wrong, 0);
    }

    // The loupe is shown round picture pixel `centre`: each of its 15 x 15 blocks of 8 x 8
    // device pixels holds the picture pixel's colour (grey outside the picture) in the six
    // by six pixels inside the block's border, where no edge or outline is drawn.
    void expectShownLoupe(QPoint centre) {
        ASSERT_TRUE(box()->loupe()) << "no loupe";
        const QImage shown = shownViewport();
        const QRect grid = box()->loupe()->pixels;
        ASSERT_EQ(grid.size(), QSize(120, 120));
        ASSERT_TRUE(shown.rect().contains(grid));
        int wrong = 0;
        for (int r = 0; r < 15; ++r)
            for (int c = 0; c < 15; ++c) {
                const QPoint p = centre + QPoint(c - 7, r - 7);
                const QRgb want = picture.rect().contains(p) ? picture.pixel(p) & 0xFFFFFF
                                                             : qRgb(128, 128, 128) & 0xFFFFFF;
                for (int dy = 1; dy < 7; ++dy)
                    for (int dx = 1; dx < 7; ++dx) {
                        const QPoint d = grid.topLeft() + QPoint(c * 8 + dx, r * 8 + dy);
                        if ((shown.pixel(d) & 0xFFFFFF) != want && wrong++ < 3)
                            ADD_FAILURE()
                                << "loupe block " << c << "," << r << " (picture " << p.x() << ","
                                << p.y() << ") at " << d.x() << "," << d.y();
                    }
            }
        EXPECT_EQ(wrong, 0);
    }
};

}  // namespace trimlet::testing
