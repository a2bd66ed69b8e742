#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

namespace trimlet {

// How long after a termination signal the watcher ends the process itself when the event
// loop has not ended it by then.
inline constexpr std::chrono::milliseconds kLastResortAfter{400};

// Tells when the program must shut down although nobody closed its window: the session
// ends (a termination signal at logout, or `kill`), Ctrl+C or a hang-up in the terminal
// it was started from, or the window system destroyed the main window. The program then
// runs its normal shutdown, so nothing of the settings is lost.
class ShutdownWatcher : public QObject {
    Q_OBJECT
public:
    ~ShutdownWatcher() override = default;
    // Also watch this native top-level window for its destruction from outside (0: none,
    // before the program destroys the window itself).
    virtual void watchWindow(quintptr nativeWindow) = 0;
    // True from the moment a shutdown was asked for, even before the event loop has
    // delivered shutdownRequested (it is set by the signal handler itself): every wait of
    // the program's own ends early then.
    [[nodiscard]] virtual bool requested() const = 0;
    // Blocks like a plain sleep, without letting window events run; returns early, with
    // false, when a shutdown is asked for.
    virtual bool sleepFor(int milliseconds) = 0;
    // A signal reaches the event loop within milliseconds, unless one step holds the GUI
    // thread for seconds (an encode, a decode, a portal's answer, wl-copy taking the
    // picture). The watcher's own thread then ends the process kLastResortAfter after the
    // signal: with ProcessEndLock held, and kept, it removes every unfinished AtomicFile,
    // runs the last words set here (none: nothing) and ends the process at once. Set from
    // the GUI thread; takes ProcessEndLock.
    virtual void setLastWords(std::function<void()> words) = 0;

signals:
    // Delivered once, by the event loop (or by the window events a wait lets run).
    void shutdownRequested();
};

// Installs the signal handlers (they only write one byte to a pipe: the handling runs in
// the event loop). Create once, before the window is shown.
[[nodiscard]] std::unique_ptr<ShutdownWatcher> CreateShutdownWatcher();

}  // namespace trimlet
