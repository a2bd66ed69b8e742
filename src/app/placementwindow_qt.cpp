#include "app/placementwindow_qt.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "app/sizebound.h"
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

QtPlacementWindow::QtPlacementWindow(QWidget* window) : window_(window) {
    window_->installEventFilter(this);
}

double QtPlacementWindow::twipsPerPixelX() const { return TwipsPerPixel(ScreenOf(window_), true); }
double QtPlacementWindow::twipsPerPixelY() const { return TwipsPerPixel(ScreenOf(window_), false); }

// A hidden window reports the rectangle asked for; a shown one its real frame.
QRect QtPlacementWindow::outer() const {
    if (pending_ && !window_->isVisible()) return *pending_;
    return window_->frameGeometry();
}

float QtPlacementWindow::left() const { return float(outer().x() * twipsPerPixelX()); }
float QtPlacementWindow::top() const { return float(outer().y() * twipsPerPixelY()); }
float QtPlacementWindow::width() const { return float(outer().width() * twipsPerPixelX()); }
float QtPlacementWindow::height() const { return float(outer().height() * twipsPerPixelY()); }

QRect& QtPlacementWindow::pending() {
    if (!pending_) pending_ = window_->frameGeometry();
    return *pending_;
}

// move() places a top-level window's frame; resize() takes the inside size, which is
// the outer size less the frame as far as it is known.
void QtPlacementWindow::setLeft(float twips) {
    pending().moveLeft(RoundClampInt32(twips / twipsPerPixelX()));
    window_->move(pending_->topLeft());
}
void QtPlacementWindow::setTop(float twips) {
    pending().moveTop(RoundClampInt32(twips / twipsPerPixelY()));
    window_->move(pending_->topLeft());
}
void QtPlacementWindow::setWidth(float twips) {
    pending().setWidth(RoundClampInt32(twips / twipsPerPixelX()));
    const QMargins f = frame();
    window_->resize(std::max(0, pending_->width() - f.left() - f.right()), window_->height());
}
void QtPlacementWindow::setHeight(float twips) {
    pending().setHeight(RoundClampInt32(twips / twipsPerPixelY()));
    const QMargins f = frame();
    window_->resize(window_->width(), std::max(0, pending_->height() - f.top() - f.bottom()));
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

void QtPlacementWindow::applyPending() {
    if (!pending_ || !window_->isVisible() || frame().isNull() ||
        state() != WindowShowState::Normal)
        return;
    const QRect r = *pending_;
    pending_.reset();
    window_->setGeometry(r.marginsRemoved(frame()));
}

bool QtPlacementWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || !pending_ || !MayMoveWindow(event))
        return QObject::eventFilter(watched, event);
    if (state() != WindowShowState::Normal) {
        leftNormal_ = true;
    } else if (window_->isVisible() && !frame().isNull()) {
        // Coming back from maximised, the window manager changes the frame (a maximised
        // window may have no side borders) after the state: wait for the normal frame
        // before taking it off the rectangle.
        if (!leftNormal_) {
            applyPending();
        } else if (!applyScheduled_) {
            applyScheduled_ = true;
            QTimer::singleShot(kWindowManagerSettleMs, this, [this] {
                applyScheduled_ = false;
                applyPending();
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace trimlet
