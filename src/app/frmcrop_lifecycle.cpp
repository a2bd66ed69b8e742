// Start-up and shutdown of the main window.
#include <QTimer>
#include <algorithm>

#include "acquisition/capturewait.h"
#include "app/frmcrop.h"
#include "common/numtext.h"
#include "settings/inifile.h"

namespace trimlet {
namespace {

// Where the window opens without stored settings: the screen's top-left corner, 6375 x
// 5460 twips outside (425 x 364 pixels at 96 dots per inch).
constexpr std::int32_t kDefaultLeft = 0;
constexpr std::int32_t kDefaultTop = 0;
constexpr std::int32_t kDefaultWidth = 6375;
constexpr std::int32_t kDefaultHeight = 5460;

}  // namespace

void frmCrop::Form_Load(const QString& commandLine) {
    sizeBound_.InstallSizeHook(this);
    placement_.LoadWindowPlacement(placementWindow_, SettingsPath(), kDefaultLeft, kDefaultTop,
                                   kDefaultWidth, kDefaultHeight);

    // The stored wait checks its menu item; any other value, or a number beyond 32 bits,
    // checks the default.
    const QString storedWait = ReadIniValue(QStringLiteral("Wait"), QStringLiteral("Capture"),
                                            QStringLiteral("1000"), SettingsPath());
    switch (WaitForStoredText(storedWait.toStdString())) {
        case 500:
            mnWait500_Click();
            break;
        case 2000:
            mnWait2000_Click();
            break;
        case 3000:
            mnWait3000_Click();
            break;
        default:
            mnWait1000_Click();
            break;
    }

    sizeBound_.setMinTrackSize(kMinTrackWidth, kMinTrackHeight);

    editor_.resetLastMove();
    if (!commandLine.isEmpty()) {
        // A file that cannot be loaded leaves the clipboard as it is; start-up goes on.
        (void)PutFileOnClipboard(commandLine);
        if (services_.processEvents) services_.processEvents();
    }
    if (services_.clipboardNeedsFocus) {
        // Only a focused window is handed the clipboard: the read waits for the window to
        // be shown and activated, and for focusWaitMs at most.
        startupLoadPending_ = true;
        QTimer::singleShot(std::max(0, services_.focusWaitMs), this,
                           &frmCrop::LoadStartupClipboard);
        return;
    }
    LoadFromClipboard();
    SelectWholePicture();
}

void frmCrop::LoadStartupClipboard() {
    if (!startupLoadPending_ || unloaded_) return;
    startupLoadPending_ = false;
    hideForPrintScreen_ = true;
    LoadFromClipboard();
    hideForPrintScreen_ = false;
    SelectWholePicture();
}

void frmCrop::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    sizeBound_.RemoveSizeHook(this);
    placement_.SaveWindowPlacement(placementWindow_, SettingsPath());
    // A failed write is not reported; the window closes in any case.
    (void)WriteIniValue(QStringLiteral("Wait"), QStringLiteral("Capture"),
                        QString::fromStdString(TrimmedNumberText(captureWait_)), SettingsPath());
}

}  // namespace trimlet
