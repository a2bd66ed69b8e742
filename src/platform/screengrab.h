#pragma once

#include <QImage>
#include <functional>
#include <memory>

namespace trimlet {

// Takes a picture of the whole screen: every monitor, placed as in the virtual desktop.
class ScreenGrabber {
public:
    virtual ~ScreenGrabber() = default;
    // A null QImage when the window system gives no picture.
    [[nodiscard]] virtual QImage grabDesktop() = 0;
};

// Chooses the way at each capture: in a Wayland session (whichever platform plugin the
// program runs on) the Wayland way, since an X11 grab inside it sees only Xwayland's
// windows; elsewhere the window system's own grab.
class SessionScreenGrabber final : public ScreenGrabber {
public:
    SessionScreenGrabber(std::function<bool()> waylandSession, ScreenGrabber& wayland,
                         ScreenGrabber& direct)
        : waylandSession_(std::move(waylandSession)), wayland_(wayland), direct_(direct) {}
    QImage grabDesktop() override {
        return (waylandSession_ && waylandSession_()) ? wayland_.grabDesktop()
                                                      : direct_.grabDesktop();
    }

private:
    std::function<bool()> waylandSession_;
    ScreenGrabber& wayland_;
    ScreenGrabber& direct_;
};

// The grabber for the session the application runs in.
[[nodiscard]] std::unique_ptr<ScreenGrabber> CreateScreenGrabber();

}  // namespace trimlet
