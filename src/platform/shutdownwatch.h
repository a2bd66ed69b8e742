#pragma once

#include <QObject>
#include <memory>

namespace trimlet {

// Tells when the program must shut down although nobody closed its window: the session
// ends (a termination signal at logout, or `kill`), Ctrl+C or a hang-up in the terminal
// it was started from, or the window system destroyed the main window. The program then
// runs its normal shutdown, so nothing of the settings is lost.
class ShutdownWatcher : public QObject {
    Q_OBJECT
public:
    ~ShutdownWatcher() override = default;
    // Also watch this native top-level window for its destruction from outside.
    virtual void watchWindow(quintptr nativeWindow) = 0;

signals:
    void shutdownRequested();
};

// Installs the signal handlers (they only write one byte to a pipe: the handling runs in
// the event loop). Create once, before the window is shown.
[[nodiscard]] std::unique_ptr<ShutdownWatcher> CreateShutdownWatcher();

}  // namespace trimlet
