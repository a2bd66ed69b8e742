#include "app/windowsession_qt.h"

#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "windows/windowframe.h"

namespace trimlet {

QtWindowSession::QtWindowSession(QWidget* window) : window_(window), timer_(new QTimer(this)) {
    clock_.start();
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] {
        apply(session_.settled(facts(), now()));
        armTimer();
    });
    window_->installEventFilter(this);
}

WindowFacts QtWindowSession::facts() const {
    WindowFacts f;
    f.visible = window_->isVisible();
    const Qt::WindowStates s = window_->windowState();
    f.state = (s & Qt::WindowMinimized) ? WindowShowState::Minimised
              : (s & (Qt::WindowMaximized | Qt::WindowFullScreen)) ? WindowShowState::Maximised
                                                                    : WindowShowState::Normal;
    f.frame = window_->frameGeometry();
    f.border = FrameMargins(window_);
    if (const QScreen* screen = ScreenOf(window_)) {
        f.screen = screen->geometry().size();
        f.workArea = screen->availableGeometry().size();
    }
    return f;
}

void QtWindowSession::start(QSize minimumOuter) {
    if (!bounding_) {
        previousMinimum_ = window_->minimumSize();
        previousMaximum_ = window_->maximumSize();
        bounding_ = true;
    }
    session_.setMinimumOuter(minimumOuter);
    apply(session_.changed(WindowEvent::MinimumChanged, facts(), now()));
    armTimer();
}

void QtWindowSession::stop() {
    if (!bounding_) return;
    bounding_ = false;
    timer_->stop();
    window_->setMinimumSize(previousMinimum_);
    window_->setMaximumSize(previousMaximum_);
}

void QtWindowSession::hideForCapture(bool positionKnown) {
    session_.hiding(facts(), positionKnown);
}

void QtWindowSession::showAfterCapture() {
    if (const std::optional<QPoint> at = session_.showing(now())) window_->move(*at);
    window_->show();
    armTimer();
}

void QtWindowSession::apply(const WindowCommand& c) {
    // A change below may come back here at once as an event: inside it the limits and
    // the size are not touched again (setting a limit can resize the window).
    const bool outermost = depth_++ == 0;
    if (c.limits && bounding_ && outermost) {
        if (window_->minimumSize() != c.limits->minimum) window_->setMinimumSize(c.limits->minimum);
        if (window_->maximumSize() != c.limits->maximum) window_->setMaximumSize(c.limits->maximum);
    }
    if (c.insideGeometry) window_->setGeometry(*c.insideGeometry);
    if (c.resizeInside && bounding_ && outermost) window_->resize(*c.resizeInside);
    if (c.moveFrameTo) window_->move(*c.moveFrameTo);
    --depth_;
    if (c.rememberNormal && remember_) remember_();
}

void QtWindowSession::armTimer() {
    const std::optional<std::int64_t> due = session_.settleDue();
    if (!due) {
        timer_->stop();
        return;
    }
    timer_->start(static_cast<int>(std::max<std::int64_t>(0, *due - now())));
}

bool QtWindowSession::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        std::optional<WindowEvent> e;
        switch (event->type()) {
            case QEvent::Show: e = WindowEvent::Shown; break;
            case QEvent::Move: e = WindowEvent::Moved; break;
            case QEvent::Resize: e = WindowEvent::Resized; break;
            case QEvent::WindowStateChange: e = WindowEvent::StateChanged; break;
            default: break;
        }
        if (e) {
            apply(session_.changed(*e, facts(), now()));
            armTimer();
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace trimlet
