#pragma once

#include <QImage>
#include <memory>

namespace trimlet {

// Takes a picture of the whole screen: every monitor, placed as in the virtual desktop.
class ScreenGrabber {
public:
    virtual ~ScreenGrabber() = default;
    // A null QImage when the window system gives no picture.
    virtual QImage grabDesktop() = 0;
};

// The grabber for the window system the application runs on.
std::unique_ptr<ScreenGrabber> CreateScreenGrabber();

}  // namespace trimlet
