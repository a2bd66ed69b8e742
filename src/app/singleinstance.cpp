#include "app/singleinstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>

namespace trimlet {

SingleInstance::SingleInstance(QString lockPath) : path_(std::move(lockPath)) {}

SingleInstance::~SingleInstance() {
    // The file stays: removing it could let a third start lock a new file while a second
    // one still waits on the old.
    if (fd_ >= 0) ::close(fd_);
}

void SingleInstance::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool SingleInstance::tryAcquire() {
    if (fd_ >= 0) return true;
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return !held;
    }
    fd_ = fd;
    return true;
}

QString SingleInstance::LockFileName(const QString& display) {
    QString key = display.isEmpty() ? QStringLiteral("default") : display;
    for (QChar& c : key)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.') &&
            c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return QStringLiteral("trimlet-%1.lock").arg(key);
}

QString SingleInstance::CanonicalDisplay(const QString& x11Display, const QString& waylandDisplay,
                                         const QString& runtimeDir) {
    const QString wayland = waylandDisplay.trimmed();
    if (!wayland.isEmpty())
        return QDir::cleanPath(
            QDir::isAbsolutePath(wayland) ? wayland : runtimeDir + QLatin1Char('/') + wayland);
    const QString x11 = x11Display.trimmed();
    const qsizetype colon = x11.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) return x11;
    QString host = x11.left(colon);
    if (host == QLatin1String("unix")) host.clear();
    QString number = x11.mid(colon + 1);
    const qsizetype dot = number.indexOf(QLatin1Char('.'));
    if (dot >= 0) number.truncate(dot);
    return host + QLatin1Char(':') + number;
}

QString SingleInstance::DefaultLockPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    const QString display = CanonicalDisplay(qEnvironmentVariable("DISPLAY"),
                                             qEnvironmentVariable("WAYLAND_DISPLAY"), folder);
    // A Wayland socket's path is long: its last part names it well enough inside the
    // runtime folder that holds both.
    const QString name =
        display.startsWith(QLatin1Char('/')) && display.startsWith(folder + QLatin1Char('/'))
            ? display.mid(folder.size() + 1)
            : display;
    return QDir(folder).filePath(LockFileName(name));
}

}  // namespace trimlet
