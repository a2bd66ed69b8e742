#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/commandline.h"
#include "app/frmcrop.h"
#include "app/shutdownsettings.h"
#include "app/singleinstance.h"
#include "platform/busypointer.h"
#include "platform/clipboard.h"
#include "platform/clipboardkeeper.h"
#include "platform/savedialog_qt.h"
#include "platform/screengrab.h"
#include "platform/session.h"
#include "platform/shutdownwatch.h"
#include "platform/sound.h"
#include "platform/urlopener.h"
#include "settings/inifile.h"
#include "windows/programicon.h"

int main(int argc, char* argv[]) {
    // "--help" and "--version" answer on standard output and end, before anything starts.
    if (const auto answer = trimlet::AnswerWithoutStarting(argc, argv)) {
        std::fputs(answer->c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    // Another copy runs on this desktop: end before any window, clipboard or settings.
    trimlet::SingleInstance instance(trimlet::SingleInstance::DefaultLockPath());
    if (!instance.tryAcquire()) return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trimlet"));
    QApplication::setWindowIcon(trimlet::ProgramIcon());
    // Qt's own texts (the save dialog's buttons and questions) in the user's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    // A termination signal (logout, kill), Ctrl+C, a hang-up, or the window destroyed from
    // outside: the normal shutdown runs where the window had been loaded, so the placement
    // and the wait are stored, and the process ends (it does not stay behind to serve the
    // clipboard). Set up before anything can wait: from here on every wait of the program
    // (a clipboard owner, the capture wait, a dialog) ends early on a signal.
    const std::unique_ptr<trimlet::ShutdownWatcher> shutdownWatch =
        trimlet::CreateShutdownWatcher();

    // On Wayland the pictures written reach the other programs through wl-copy where the
    // compositor lets it, otherwise through our focused window.
    const bool clipboardNeedsFocus = trimlet::ClipboardNeedsFocus(QGuiApplication::platformName());
    trimlet::QtClipboard clipboard(
        trimlet::ClipboardWriterForSession(QGuiApplication::platformName()));
    const std::unique_ptr<trimlet::ScreenGrabber> grabber = trimlet::CreateScreenGrabber();
    const std::unique_ptr<trimlet::SoundPlayer> sound = trimlet::CreateSoundPlayer();
    trimlet::QtSaveFileDialog saveDialog;  // opens over the window, once that exists
    const std::unique_ptr<trimlet::UrlOpener> urlOpener = trimlet::CreateUrlOpener();
    const std::unique_ptr<trimlet::BusyPointer> busy =
        trimlet::CreateBusyPointer(trimlet::kBusyPointerDelay);
    // The settings at shutdown are stored once, by the window or, should a signal come
    // while a long step holds the GUI thread, by the shutdown watcher's last resort.
    std::unique_ptr<trimlet::frmCrop> window;
    trimlet::ShutdownSettings shutdownSettings(
        *shutdownWatch, *busy,
        [&window] { return window ? window->SettingsToStore() : std::vector<trimlet::IniEntry>{}; },
        [] { return trimlet::SettingsFilePath(); });
    clipboard.setBusyPointer(&shutdownSettings);

    trimlet::CropServices services;
    services.clipboard = &clipboard;
    services.grabber = grabber.get();
    services.sound = sound.get();
    services.saveDialog = &saveDialog;
    services.urlOpener = urlOpener.get();
    services.busy = &shutdownSettings;
    services.settingsFile = [] { return trimlet::SettingsFilePath(); };
    services.storeSettings = [&shutdownSettings](const std::vector<trimlet::IniEntry>& entries,
                                                 const QString& path) {
        return shutdownSettings.store(entries, path);
    };
    services.sleep = [&shutdownWatch](int ms) { return shutdownWatch->sleepFor(ms); };
    services.processEvents = [] { QCoreApplication::processEvents(); };
    // The one place the session shapes start-up: where only a focused window may read the
    // clipboard, the first read waits for the shown window's focus.
    services.clipboardNeedsFocus = clipboardNeedsFocus;

    // The command line is one file path: the arguments joined with single blanks, so a
    // path with blanks given without quotes still names the file.
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const QString commandLine = args.join(QLatin1Char(' '));

    if (shutdownWatch->requested()) return 0;  // nothing loaded yet, nothing to store
    bool endNow = false;
    window = std::make_unique<trimlet::frmCrop>(services);
    saveDialog.setParentWindow(window.get());
    QObject::connect(shutdownWatch.get(), &trimlet::ShutdownWatcher::shutdownRequested, &app,
                     [&window, &endNow] {
                         endNow = true;
                         if (window) window->Form_Unload();
                         // Ends every running event loop, a dialog's too; before the main
                         // loop runs, start-up sees the request itself.
                         QCoreApplication::exit(0);
                     });
    // The session manager's quit ends the event loop without closing the window.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&window] {
        if (window) window->Form_Unload();
    });
    // While a clipboard read waits for another program, the window is painted (and shown,
    // when start-up waits long) and a shutdown gets through; user input waits.
    clipboard.setOwnerWait({[&window] {
                                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                                if (window) window->WhileWaiting();
                            },
                            [&shutdownWatch] { return shutdownWatch->requested(); }});
    window->Form_Load(commandLine);
    int status = 0;
    if (shutdownWatch->requested()) {
        endNow = true;
        window->Form_Unload();
    } else {
        window->show();
        shutdownWatch->watchWindow(window->winId());
        status = app.exec();
    }

    // The window has closed and stored its settings. What it put on the clipboard (the
    // capture, a file's picture, a copied cut-out) would vanish with this process unless
    // the desktop already holds a copy: a clipboard manager takes it over, or the process
    // serves it on, without windows and without the lock, until another program takes the
    // clipboard (at most a day).
    // After a termination request the process ends at once: no hand-over waits.
    shutdownWatch->watchWindow(0);  // its destruction is ours now
    window.reset();
    if (endNow) return status;
    using namespace std::chrono_literals;
    if (!clipboard.desktopKeepsOurPicture() &&
        trimlet::HandClipboardOver(3s, *shutdownWatch) == trimlet::ClipboardAtExit::KeepServing) {
        instance.release();
        trimlet::ServeClipboardUntilTaken(24h, *shutdownWatch);
    }
    return status;
}
