#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <memory>

namespace trimlet {

// The desktop's word on screenshots, asked for before a capture.
struct GrabPermission {
    bool granted = true;
    QString why;  // when not granted: why, in one line for the log
};

// Takes a picture of the whole screen: every monitor, placed as in the virtual desktop.
class ScreenGrabber {
public:
    virtual ~ScreenGrabber() = default;
    // A null QImage when the window system gives no picture.
    [[nodiscard]] virtual QImage grabDesktop() = 0;
    // Whether a grab now could first make the desktop ask the user (a dialog). Answers at
    // once, without asking anybody.
    [[nodiscard]] virtual bool wouldAsk() { return false; }
    // Lets the desktop ask the user now, while our window is still shown and focused, and
    // waits (bounded) for the answer. Granted at once where nothing needs asking.
    [[nodiscard]] virtual GrabPermission askPermission() { return {}; }
};

// Chooses the way at each capture: in a Wayland session (whichever platform plugin the
// program runs on) the Wayland way, since an X11 grab inside it sees only Xwayland's
// windows; elsewhere the window system's own grab.
class SessionScreenGrabber final : public ScreenGrabber {
public:
    SessionScreenGrabber(std::function<bool()> waylandSession, ScreenGrabber& wayland,
                         ScreenGrabber& direct)
        : waylandSession_(std::move(waylandSession)), wayland_(wayland), direct_(direct) {}
    QImage grabDesktop() override { return chosen().grabDesktop(); }
    bool wouldAsk() override { return chosen().wouldAsk(); }
    GrabPermission askPermission() override { return chosen().askPermission(); }

private:
    ScreenGrabber& chosen() { return (waylandSession_ && waylandSession_()) ? wayland_ : direct_; }

    std::function<bool()> waylandSession_;
    ScreenGrabber& wayland_;
    ScreenGrabber& direct_;
};

// The grabber for the session the application runs in.
[[nodiscard]] std::unique_ptr<ScreenGrabber> CreateScreenGrabber();

}  // namespace trimlet
