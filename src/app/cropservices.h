#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "settings/inifile.h"

namespace trimlet {

class BusyPointer;
class Clipboard;
class SaveFileDialog;
class ScreenGrabber;
class SoundPlayer;
class UrlOpener;

// What the main window reaches of the system. Tests hand in fakes and leave out what
// they do not need; the window fills every gap once, at construction, with a stand-in
// that does nothing (see WithStandIns), so no service is ever missing later.
struct CropServices {
    // None: a clipboard that cannot be read or written.
    Clipboard* clipboard = nullptr;
    // None: a screen that gives no picture.
    ScreenGrabber* grabber = nullptr;
    // None: silence.
    SoundPlayer* sound = nullptr;
    // None: a dialog that is always cancelled.
    SaveFileDialog* saveDialog = nullptr;
    // None: addresses go nowhere.
    UrlOpener* urlOpener = nullptr;
    // Shown while a load, a save or a copy runs long. None: nothing shown.
    BusyPointer* busy = nullptr;
    // Blocks for the capture wait; the real one sleeps, and gives false when it was cut
    // short because the program is ending. None: no wait.
    std::function<bool(int milliseconds)> sleep;
    // Lets pending window events run; the real one processes the event queue. None:
    // nothing runs.
    std::function<void()> processEvents;
    // The settings file's path, asked anew at each use; the empty text (and none) means
    // that the defaults apply and nothing is stored.
    std::function<QString()> settingsFile;
    // Writes the settings at shutdown (false: not written). None: WriteIniValues.
    std::function<bool(const std::vector<IniEntry>&, const QString& path)> storeSettings;
    // The window system hands over the clipboard only to a window with the keyboard focus
    // (Wayland): start-up reads it once the shown window has the focus, or after
    // focusWaitMs at the latest.
    bool clipboardNeedsFocus = false;
    int focusWaitMs = 2000;
};

// The services with every one left out replaced by its do-nothing stand-in.
[[nodiscard]] CropServices WithStandIns(CropServices services);

}  // namespace trimlet
