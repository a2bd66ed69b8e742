// Start-up and shutdown of the main window.
#include <QTimer>
#include <algorithm>

#include "acquisition/capturewait.h"
#include "app/frmcrop.h"
#include "common/numtext.h"
#include "platform/clipboard.h"
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
    if (services_.clipboardNeedsFocus) {
        // Only a focused window may read or write the clipboard: the command-line file and
        // the read wait until the shown window is active and has been handed the
        // clipboard, for focusWaitMs at most.
        startupLoadPending_ = true;
        startupCommandLine_ = commandLine;
        if (services_.clipboard)
            services_.clipboard->watchChanges([this] {
                clipboardHandedOver_ = true;
                TryStartupLoad();
            });
        QTimer::singleShot(std::max(0, services_.focusWaitMs), this,
                           &frmCrop::LoadStartupClipboard);
        return;
    }
    if (!commandLine.isEmpty()) {
        // A file that cannot be loaded leaves the clipboard as it is; start-up goes on.
        (void)PutFileOnClipboard(commandLine);
        if (services_.processEvents) services_.processEvents();
    }
    LoadFromClipboard();
    SelectWholePicture();
}

void frmCrop::TryStartupLoad() {
    if (startupLoadPending_ && clipboardHandedOver_ && isActiveWindow())
        QMetaObject::invokeMethod(this, &frmCrop::LoadStartupClipboard, Qt::QueuedConnection);
}

void frmCrop::LoadStartupClipboard() {
    if (!startupLoadPending_ || unloaded_) return;
    startupLoadPending_ = false;
    if (services_.clipboard) services_.clipboard->watchChanges({});
    if (!startupCommandLine_.isEmpty()) {
        (void)PutFileOnClipboard(startupCommandLine_);
        if (services_.processEvents) services_.processEvents();
    }
    hideForPrintScreen_ = true;
    LoadFromClipboard();
    hideForPrintScreen_ = false;
    SelectWholePicture();
}

void frmCrop::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    sizeBound_.RemoveSizeHook(this);
    // A failed write is not reported (the program has no messages, and the close is never
    // cancelled); the previous settings file stays intact in that case.
    (void)placement_.SaveWindowPlacement(placementWindow_, SettingsPath());
    (void)WriteIniValue(QStringLiteral("Wait"), QStringLiteral("Capture"),
                        QString::fromStdString(TrimmedNumberText(captureWait_)), SettingsPath());
}

}  // namespace trimlet
