#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSize>
#include <functional>

#include "app/windowsession.h"

class QTimer;
class QWidget;

namespace trimlet {

// Drives the window's session from a real top-level widget: forwards its shows, moves,
// resizes and state changes with what the window system tells of it, applies the
// geometry the session answers, and runs the session's one settle timer.
class QtWindowSession final : public QObject {
public:
    explicit QtWindowSession(QWidget* window);

    WindowSession& session() { return session_; }
    const WindowSession& session() const { return session_; }
    // Milliseconds since the session began: the clock every session call is given.
    std::int64_t now() const { return clock_.elapsed(); }

    // Bounds the window's size from now on; until then, and after stop(), the window has
    // the limits it had before.
    void start(QSize minimumOuter);
    void stop();
    // Runs when the settings should remember the window's normal rectangle.
    void onRememberNormal(std::function<void()> remember) { remember_ = std::move(remember); }

    // A capture takes the window off the screen and brings it back where it was.
    void hideForCapture(bool positionKnown);
    void showAfterCapture();

    // The window as the session sees it now.
    WindowFacts facts() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(const WindowCommand& command);
    void armTimer();

    QWidget* window_;
    WindowSession session_;
    QElapsedTimer clock_;
    QTimer* timer_;
    std::function<void()> remember_;
    bool bounding_ = false;
    int depth_ = 0;
    QSize previousMinimum_;
    QSize previousMaximum_;
};

}  // namespace trimlet
