#pragma once

#include <QImage>
#include <QString>
#include <functional>

class QMimeData;

namespace trimlet {

class BusyPointer;
class Clipboard;
class ScreenGrabber;
class SoundPlayer;

// How long start-up waits for the clipboard before the window is shown meanwhile (the
// picture follows once it is in).
inline constexpr int kStartupShowAfterMs = 1000;

// The main window as the ways in see it: it can leave the screen for a capture, and
// it shows the picture that was read.
class AcquisitionWindow {
public:
    virtual ~AcquisitionWindow() = default;
    [[nodiscard]] virtual bool isShownOnScreen() const = 0;
    // Takes the window off the screen; returns once the window system has done so, so
    // that a grab cannot catch even a fading frame of it.
    virtual void hideFromScreen() = 0;
    virtual void showOnScreen() = 0;
    // Fills the view with the clipboard's picture (32-bit RGB; null when the clipboard
    // held none even after Print Screen).
    virtual void showPicture(const QImage& picture) = 0;
    virtual void selectWholePicture() = 0;
};

// What the ways in reach of the system; both functions are required (the main window
// hands in its services' stand-ins where none was given).
struct AcquisitionServices {
    Clipboard& clipboard;
    ScreenGrabber& grabber;
    // Blocks for the capture wait; false when it was cut short because the program is
    // ending (the capture is then abandoned).
    std::function<bool(int milliseconds)> sleep;
    // Lets pending window events run (the clipboard's own among them).
    std::function<void()> processEvents;
    // Shown while a load runs long (none: nothing shown); never during the capture wait. It
    // also spans a capture's grab, with the window off the screen.
    BusyPointer* busy;
    // The error sound of a capture the desktop refused (none: silence).
    SoundPlayer* sound = nullptr;
};

// Every way a picture gets into the view: the clipboard read (reload, start-up), the
// screen capture, a dropped file and the command-line file. Each ends in the clipboard
// read followed by selecting the whole picture.
class Acquirer {
public:
    Acquirer(AcquisitionWindow& window, AcquisitionServices services);

    // The clipboard's picture into the view. When the clipboard holds no picture, Print
    // Screen is pressed once and the clipboard read again. A clipboard that cannot be
    // read leaves the view as it was.
    void loadFromClipboard();
    // The reload button: the clipboard read, then the whole picture selected.
    void reload();
    // The capture button: where the desktop asks the user before a screenshot, it asks
    // first, the window still shown; then hide the window, wait until hidden, the capture
    // wait, grab the screen onto the clipboard, show the window again, then the reload. A
    // refusal (the window never leaves), a grab that gave no picture, or a wait cut short by
    // the program's end, leaves the view (and its picture) as it was; a refusal sounds the
    // error and says why on standard error.
    void capture(int waitMilliseconds);
    // Puts a file's picture on the clipboard; false (clipboard untouched) when the file
    // cannot be loaded as a picture.
    [[nodiscard]] bool putFileOnClipboard(const QString& path);
    // A drop: only the first file of a file list counts, and only when its picture could
    // be put on the clipboard; text and the like do nothing.
    void drop(const QMimeData* data);
    // Start-up's read: the command-line file (empty: none) onto the clipboard, then the
    // reload. With hideForPrintScreen a Print Screen taken because the clipboard held
    // no picture is taken with the shown window off the screen, as it is before the
    // window is first shown. Start-up never makes the desktop ask the user: where it would,
    // no Print Screen is taken (the view stays empty; the first capture asks).
    void startUp(const QString& commandLine, bool hideForPrintScreen);

private:
    // What Print Screen does where the desktop would ask the user first: ask (the window is
    // shown and focused), give no picture, or grab all the same.
    enum class IfAsking { Ask, NoPicture, Grab };
    // False when no picture of the screen reached the clipboard.
    [[nodiscard]] bool sendPrintScreen(IfAsking ifAsking);
    void captureFailed(const QString& why);

    AcquisitionWindow& window_;
    AcquisitionServices services_;
    bool hideForPrintScreen_ = false;
    bool startingUp_ = false;
};

}  // namespace trimlet
