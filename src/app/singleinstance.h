#pragma once

#include <QString>

namespace trimlet {

// One running copy per desktop: the first start holds a lock on a file in the user's
// runtime folder for as long as it runs; a later start cannot take it and ends. The
// lock belongs to the process, so the system lets go of it when the holder ends in any
// way, a crash included: a lock left behind never blocks a later start. Child processes
// (the browser opened from the version window) do not inherit it.
class SingleInstance {
public:
    explicit SingleInstance(QString lockPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the lock (or already did); false when another
    // process holds it. A lock file that cannot be made at all does not stop the
    // program: that also counts as true.
    [[nodiscard]] bool tryAcquire();
    // Lets go of the lock while this process goes on, so that a new start runs at once.
    void release();

    // The lock file's name for a display ("trimlet-_0.lock" for ":0"), so that separate
    // desktops (each X display or Wayland socket) run a copy each.
    [[nodiscard]] static QString LockFileName(const QString& display);
    // One name per desktop however its address is spelt: for X11 the host (none for the
    // local server, "unix" included) and the display number without the screen; for
    // Wayland the socket's absolute path (a bare name lies in runtimeDir).
    [[nodiscard]] static QString CanonicalDisplay(const QString& x11Display,
                                                  const QString& waylandDisplay,
                                                  const QString& runtimeDir);
    // The lock file for this process's desktop, in the user's runtime folder. Usable
    // before the application object exists.
    [[nodiscard]] static QString DefaultLockPath();

private:
    QString path_;
    int fd_ = -1;
};

}  // namespace trimlet
