#include "app/sizebound.h"

#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "windows/windowframe.h"

namespace trimlet {

namespace {

QSize WorkArea(const QWidget* window) {
    const QScreen* screen = ScreenOf(window);
    return screen ? screen->availableGeometry().size() : QSize();
}

}  // namespace

SizeLimits ClientSizeLimits(QSize minOuter, QSize screen, QMargins frame) {
    const int frameW = frame.left() + frame.right();
    const int frameH = frame.top() + frame.bottom();
    const QSize minimum(std::max(0, minOuter.width() - frameW),
                        std::max(0, minOuter.height() - frameH));
    const QSize maximum(std::max(minimum.width(), screen.width() - frameW),
                        std::max(minimum.height(), screen.height() - frameH));
    return {minimum, maximum};
}

QSize BoundedSize(QSize size, const SizeLimits& limits) {
    return size.expandedTo(limits.minimum).boundedTo(limits.maximum);
}

void SizeBound::InstallSizeHook(QWidget* window) {
    if (window_) RemoveSizeHook(window_);
    window_ = window;
    previousMinimum_ = window->minimumSize();
    previousMaximum_ = window->maximumSize();
    window->installEventFilter(this);
    apply();
}

void SizeBound::RemoveSizeHook(QWidget* window) {
    if (!window_ || window != window_) return;
    window_->removeEventFilter(this);
    window_->setMinimumSize(previousMinimum_);
    window_->setMaximumSize(previousMaximum_);
    window_ = nullptr;
}

void SizeBound::setMinTrackSize(int width, int height) {
    minTrackWidth_ = width;
    minTrackHeight_ = height;
    apply();
}

SizeLimits SizeBound::limitsFor(const QWidget* window) const {
    const QScreen* screen = ScreenOf(window);
    const QSize screenSize =
        screen ? screen->geometry().size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return ClientSizeLimits(QSize(minTrackWidth_, minTrackHeight_), screenSize,
                            FrameMargins(window));
}

void SizeBound::apply() {
    if (!window_ || inSizeHook_) return;
    // Setting a limit can resize the window, which comes back here.
    inSizeHook_ = true;
    const Qt::WindowStates state = window_->windowState();
    const bool normal =
        !(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    // Maximising and full screen are left to the window system, as without the bound.
    if (normal) {
        const SizeLimits limits = limitsFor(window_);
        // The maximum told to the window system is never below the work area: window
        // managers apply it to maximising too (xfwm4 then refuses to maximise, openbox
        // leaves a gap). A border drag past the screen is brought back below instead.
        const QSize announced = limits.maximum.expandedTo(WorkArea(window_));
        if (window_->minimumSize() != limits.minimum) window_->setMinimumSize(limits.minimum);
        if (window_->maximumSize() != announced) window_->setMaximumSize(announced);
        const QSize bounded = BoundedSize(window_->size(), limits);
        if (window_->isVisible() && bounded != window_->size()) {
            if (bounded.expandedTo(window_->size()) == bounded) {
                window_->resize(bounded);  // too small: at once
            } else if (!correctionPending_) {
                // Too large: maybe a window manager maximising the window, which may
                // say so only after giving it the size. Decide once that has arrived.
                correctionPending_ = true;
                QTimer::singleShot(kWindowManagerSettleMs, this, [this] {
                    correctionPending_ = false;
                    correctOversize();
                });
            }
        }
    }
    inSizeHook_ = false;
}

void SizeBound::correctOversize() {
    if (!window_ || !window_->isVisible()) return;
    if (window_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QSize bounded = BoundedSize(window_->size(), limitsFor(window_));
    if (bounded != window_->size()) window_->resize(bounded);
}

bool SizeBound::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && MayMoveWindow(event)) apply();
    return QObject::eventFilter(watched, event);
}

}  // namespace trimlet
