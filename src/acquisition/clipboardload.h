#pragma once

#include <QImage>
#include <functional>
#include <optional>

namespace trimlet {

class Clipboard;
class ScreenGrabber;

// The stand-in for a Print Screen key press: a picture of the whole screen goes onto
// the clipboard, then pending window events run once. A screen that cannot be read
// leaves the clipboard as it was and gives false.
[[nodiscard]] bool SendPrintScreen(ScreenGrabber& grabber, Clipboard& clipboard,
                                   const std::function<void()>& processEvents);

// The picture the view is filled from. When the clipboard holds no picture, Print
// Screen is pressed once (sendPrintScreen) and the clipboard is read again; a second
// empty read gives a null (0 x 0) picture. Empty when the clipboard cannot be read:
// the view then stays as it was. The picture is returned as 32-bit RGB, the form the
// view paints and the encoders read.
[[nodiscard]] std::optional<QImage> ReadClipboardPicture(
    Clipboard& clipboard, const std::function<void()>& sendPrintScreen);

}  // namespace trimlet
