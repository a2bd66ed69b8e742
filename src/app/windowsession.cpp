#include "app/windowsession.h"

#include <algorithm>
#include <utility>

namespace trimlet {
namespace {

// A window manager may leave its border out of the frame it reports (fluxbox): a window
// this close to the work area's width or height may be one being maximised.
constexpr int kMaximisingSlack = 8;
// Without a screen: as large as a widget may be.
constexpr int kUnbounded = (1 << 24) - 1;

bool ReachesWorkArea(const WindowFacts& f) {
    return !f.workArea.isEmpty() && (f.frame.width() >= f.workArea.width() - kMaximisingSlack ||
                                     f.frame.height() >= f.workArea.height() - kMaximisingSlack);
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

SizeLimits WindowSession::limitsFor(const WindowFacts& facts) const {
    const QSize screen =
        facts.screen.isEmpty() ? QSize(kUnbounded, kUnbounded) : facts.screen;
    return ClientSizeLimits(minimumOuter_, screen, facts.border);
}

void WindowSession::wait(std::optional<std::int64_t>& since, std::int64_t nowMs) {
    if (!since) since = nowMs;
}

WindowCommand WindowSession::changed(WindowEvent event, const WindowFacts& f, std::int64_t nowMs) {
    WindowCommand c;
    lastEvent_ = nowMs;
    const bool normal = f.state == WindowShowState::Normal;
    const bool framed = f.visible && !f.border.isNull();

    // The rectangle asked for before the frame was known.
    if (requested_) {
        if (!normal) {
            leftNormal_ = true;
        } else if (framed) {
            // Coming back from maximised, the window manager changes the frame (a
            // maximised window may have no side borders) after the state: wait for the
            // normal frame before taking it off the rectangle.
            if (!leftNormal_) {
                c.insideGeometry = requested_->marginsRemoved(f.border);
                requested_.reset();
            } else {
                applyRequested_ = true;
                wait(waitingSince_, nowMs);
            }
        }
    }

    // The size bound; maximising and full screen are left to the window system.
    if (normal) {
        const SizeLimits limits = limitsFor(f);
        // The maximum told to the window system is never below the work area: window
        // managers apply it to maximising too (xfwm4 then refuses to maximise, openbox
        // leaves a gap). A border drag past the screen is brought back below instead.
        c.limits = SizeLimits{limits.minimum, limits.maximum.expandedTo(f.workArea)};
        const QSize inside = f.inside();
        const QSize bounded = BoundedSize(inside, limits);
        if (f.visible && !c.insideGeometry && bounded != inside) {
            if (bounded.expandedTo(inside) == bounded) {
                c.resizeInside = bounded;  // too small: at once
            } else {
                // Too large: maybe a window manager maximising the window, which may say
                // so only after giving it the size.
                correctOversize_ = true;
                wait(waitingSince_, nowMs);
            }
        }
    }

    // The normal rectangle follows resizes. Some window managers give a window its
    // maximised size before they say it is maximised (fluxbox one direction after the
    // other): a window reaching the work area is remembered only if still normal later.
    if (event == WindowEvent::Resized || event == WindowEvent::StateChanged) {
        if (f.visible && ReachesWorkArea(f)) {
            rememberNormal_ = true;
            wait(waitingSince_, nowMs);
        } else {
            c.rememberNormal = true;
        }
    }
    return c;
}

std::optional<std::int64_t> WindowSession::settleDue() const {
    if (!waitingSince_) return std::nullopt;
    return std::min(lastEvent_ + kSettleQuietMs, *waitingSince_ + kSettleLongestMs);
}

WindowCommand WindowSession::settled(const WindowFacts& f, std::int64_t nowMs) {
    WindowCommand c;
    const std::optional<std::int64_t> due = settleDue();
    if (!due || nowMs < *due) return c;
    waitingSince_.reset();
    const bool normal = f.visible && f.state == WindowShowState::Normal;
    if (std::exchange(applyRequested_, false) && requested_ && normal && !f.border.isNull()) {
        c.insideGeometry = requested_->marginsRemoved(f.border);
        requested_.reset();
    }
    if (std::exchange(correctOversize_, false) && normal && !c.insideGeometry) {
        const QSize bounded = BoundedSize(f.inside(), limitsFor(f));
        if (bounded != f.inside()) c.resizeInside = bounded;
    }
    if (std::exchange(rememberNormal_, false)) c.rememberNormal = true;
    if (const std::optional<QPoint> at = std::exchange(returnTo_, std::nullopt);
        at && normal && f.frame.topLeft() != *at)
        c.moveFrameTo = *at;
    return c;
}

void WindowSession::hiding(const WindowFacts& f, bool positionKnown) {
    hiddenAt_.reset();
    if (positionKnown && f.state == WindowShowState::Normal) hiddenAt_ = f.frame.topLeft();
}

// Shown again as it was, mutter places a window by its client position as if that were
// its frame's (one title bar higher at each capture): the frame's position is asked for
// before mapping, and put right once the window manager has framed the window.
std::optional<QPoint> WindowSession::showing(std::int64_t nowMs) {
    returnTo_ = std::exchange(hiddenAt_, std::nullopt);
    if (returnTo_) {
        lastEvent_ = nowMs;
        wait(waitingSince_, nowMs);
    }
    return returnTo_;
}

void WindowSession::startupBegan(std::int64_t nowMs, bool waitsForFocus) {
    startupAt_ = nowMs;
    loadPending_ = waitsForFocus;
}

bool WindowSession::showWhileWaiting(bool visible, std::int64_t nowMs,
                                     std::int64_t showAfterMs) const {
    return readRunning_ && !closed_ && !visible && nowMs - startupAt_ >= showAfterMs;
}

bool WindowSession::takeStartupLoad() {
    if (!loadPending_ || closed_) return false;
    loadPending_ = false;
    return true;
}

bool WindowSession::closing() { return !std::exchange(closed_, true); }

}  // namespace trimlet
