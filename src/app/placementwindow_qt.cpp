#include "app/placementwindow_qt.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "windows/windowframe.h"
#include "common/numtext.h"
#include "platform/session.h"

namespace trimlet {
namespace {

constexpr double kTwipsPerInch = 1440.0;
double TwipsPerPixel(const QScreen* screen, bool horizontal) {
    const double dpi =
        screen ? (horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY())
               : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

}  // namespace

QtPlacementWindow::QtPlacementWindow(QWidget* window, WindowSession& session)
    : window_(window), session_(session) {}

double QtPlacementWindow::twipsPerPixelX() const { return TwipsPerPixel(ScreenOf(window_), true); }
double QtPlacementWindow::twipsPerPixelY() const { return TwipsPerPixel(ScreenOf(window_), false); }

// A hidden window reports the rectangle asked for; a shown one its real frame.
QRect QtPlacementWindow::outer() const {
    if (session_.requestedOuter() && !window_->isVisible()) return *session_.requestedOuter();
    return window_->frameGeometry();
}

float QtPlacementWindow::left() const { return float(outer().x() * twipsPerPixelX()); }
float QtPlacementWindow::top() const { return float(outer().y() * twipsPerPixelY()); }
float QtPlacementWindow::width() const { return float(outer().width() * twipsPerPixelX()); }
float QtPlacementWindow::height() const { return float(outer().height() * twipsPerPixelY()); }

QRect QtPlacementWindow::requested(const std::function<void(QRect&)>& change) {
    QRect r = session_.requestedOuter().value_or(window_->frameGeometry());
    change(r);
    session_.requestOuter(r);
    return r;
}

// move() places a top-level window's frame; resize() takes the inside size, which is
// the outer size less the frame as far as it is known.
void QtPlacementWindow::setLeft(float twips) {
    const int x = RoundClampInt32(twips / twipsPerPixelX());
    window_->move(requested([x](QRect& r) { r.moveLeft(x); }).topLeft());
}
void QtPlacementWindow::setTop(float twips) {
    const int y = RoundClampInt32(twips / twipsPerPixelY());
    window_->move(requested([y](QRect& r) { r.moveTop(y); }).topLeft());
}
void QtPlacementWindow::setWidth(float twips) {
    const int w = RoundClampInt32(twips / twipsPerPixelX());
    const QRect r = requested([w](QRect& q) { q.setWidth(w); });
    const QMargins f = frame();
    window_->resize(std::max(0, r.width() - f.left() - f.right()), window_->height());
}
void QtPlacementWindow::setHeight(float twips) {
    const int h = RoundClampInt32(twips / twipsPerPixelY());
    const QRect r = requested([h](QRect& q) { q.setHeight(h); });
    const QMargins f = frame();
    window_->resize(window_->width(), std::max(0, r.height() - f.top() - f.bottom()));
}

bool QtPlacementWindow::positionKnown() const {
    return WindowPositionKnown(QGuiApplication::platformName());
}

QMargins QtPlacementWindow::frame() const { return FrameMargins(window_); }

WindowShowState QtPlacementWindow::state() const {
    const Qt::WindowStates s = window_->windowState();
    if (s & Qt::WindowMinimized) return WindowShowState::Minimised;
    if (s & (Qt::WindowMaximized | Qt::WindowFullScreen)) return WindowShowState::Maximised;
    return WindowShowState::Normal;
}

void QtPlacementWindow::setState(WindowShowState state) {
    switch (state) {
        case WindowShowState::Minimised:
            window_->setWindowState(Qt::WindowMinimized);
            break;
        case WindowShowState::Maximised:
            window_->setWindowState(Qt::WindowMaximized);
            break;
        case WindowShowState::Normal:
            window_->setWindowState(Qt::WindowNoState);
            break;
    }
}

std::vector<QRect> QtPlacementWindow::screens() const {
    std::vector<QRect> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    QList<QScreen*> all = QGuiApplication::screens();
    std::stable_partition(all.begin(), all.end(), [&](QScreen* s) { return s == primary; });
    const double tx = twipsPerPixelX();
    const double ty = twipsPerPixelY();
    for (const QScreen* s : all) {
        const QRect g = s->geometry();
        result.emplace_back(RoundClampInt32(g.x() * tx), RoundClampInt32(g.y() * ty),
                            RoundClampInt32(g.width() * tx), RoundClampInt32(g.height() * ty));
    }
    return result;
}

QSize QtPlacementWindow::minimumSize() const {
    return {RoundClampInt32(kMinTrackWidth * twipsPerPixelX()),
            RoundClampInt32(kMinTrackHeight * twipsPerPixelY())};
}

}  // namespace trimlet
