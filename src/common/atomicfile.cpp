#include "common/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>

namespace trimlet {
namespace {

// The temporary files made and not yet renamed or removed; under ProcessEndLock.
std::set<QByteArray>& Unfinished() {
    static std::set<QByteArray> files;
    return files;
}

// Writes smaller than this are gathered; larger ones go straight to the file.
constexpr std::size_t kBufferSize = 64 * 1024;

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return ".";
    if (slash == 0) return "/";
    return path.left(slash);
}

// The folder's entry for the renamed file reaches the disk too. Filesystems that cannot
// sync a folder say EINVAL; there is nothing more to do there.
void SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);  // the rename itself is done; a failure here cannot undo it
    ::close(fd);
}

}  // namespace

AtomicFile::AtomicFile(QString target, LinkPolicy links)
    : target_(std::move(target)), links_(links) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::fail(const char* what, int err) {
    if (error_.empty()) {
        error_ = std::string(what) + " " + target_.toStdString();
        if (err != 0) error_ += ": " + std::string(std::strerror(err));
    }
    return false;
}

bool AtomicFile::create() {
    if (fd_ >= 0 || isOpen()) return fail("already open:", 0);
    error_.clear();
    if (target_.isEmpty()) return fail("no file name given", 0);
    QByteArray path = QFile::encodeName(QFileInfo(target_).absoluteFilePath());

    struct stat st {};
    const bool exists = ::lstat(path.constData(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (links_ == LinkPolicy::Refuse) return fail("will not write through the link", 0);
        char resolved[PATH_MAX];
        if (!::realpath(path.constData(), resolved)) return fail("cannot follow the link", errno);
        path = resolved;
        if (::stat(path.constData(), &st) != 0) return fail("cannot follow the link", errno);
    }
    const bool replacing = exists && ::stat(path.constData(), &st) == 0;
    if (replacing && !S_ISREG(st.st_mode)) return fail("not a plain file:", 0);

    finalPath_ = path;
    QByteArray pattern = path + ".XXXXXX";
    {
        const std::lock_guard<std::recursive_mutex> lock(ProcessEndLock());
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) return fail("cannot write", errno);
        fd_ = fd;
        tempPath_ = pattern;
        Unfinished().insert(tempPath_);
    }

    // The new file gets the old one's permissions (and owner, where we may), or the
    // usual ones for a new file; mkostemp made it private.
    if (replacing) {
        (void)::fchmod(fd_, st.st_mode & 07777);
        if (::geteuid() == 0) (void)::fchown(fd_, st.st_uid, st.st_gid);  // best effort
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        (void)::fchmod(fd_, 0666 & ~mask);  // best effort: the content matters more
    }
    buffer_.resize(kBufferSize);
    buffered_ = 0;
    return QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered) || fail("cannot open", 0);
}

bool AtomicFile::writeRaw(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("cannot write", errno);
        }
        if (n == 0) return fail("cannot write", ENOSPC);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::flushBuffer() {
    const std::size_t n = buffered_;
    buffered_ = 0;
    return n == 0 || writeRaw(buffer_.data(), n);
}

qint64 AtomicFile::writeData(const char* data, qint64 size) {
    if (fd_ < 0 || !error_.empty() || size < 0) return -1;
    const std::size_t n = static_cast<std::size_t>(size);
    if (buffered_ + n <= buffer_.size()) {
        std::memcpy(buffer_.data() + buffered_, data, n);
        buffered_ += n;
        return size;
    }
    if (!flushBuffer()) return -1;
    if (n >= buffer_.size()) return writeRaw(data, n) ? size : -1;
    std::memcpy(buffer_.data(), data, n);
    buffered_ = n;
    return size;
}

bool AtomicFile::commit() {
    if (fd_ < 0) return fail("nothing open for", 0);
    bool ok = error_.empty() && flushBuffer();
    if (ok) {
        int rc;
        do {
            rc = ::fsync(fd_);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) ok = fail("cannot write", errno);
    }
    // close can report a delayed write error (network filesystems): it counts too.
    if (::close(fd_) != 0 && ok && errno != EINTR) ok = fail("cannot write", errno);
    fd_ = -1;
    QIODevice::close();
    if (!ok) {
        discard();
        return false;
    }
    {
        const std::lock_guard<std::recursive_mutex> lock(ProcessEndLock());
        if (::rename(tempPath_.constData(), finalPath_.constData()) != 0) {
            (void)fail("cannot replace", errno);
            discard();
            return false;
        }
        Unfinished().erase(tempPath_);
    }
    tempPath_.clear();
    SyncFolder(FolderOf(finalPath_));
    return true;
}

void AtomicFile::cancel() { discard(); }

void AtomicFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.isEmpty()) {
        const std::lock_guard<std::recursive_mutex> lock(ProcessEndLock());
        ::unlink(tempPath_.constData());
        Unfinished().erase(tempPath_);
        tempPath_.clear();
    }
    buffered_ = 0;
    if (isOpen()) QIODevice::close();
}

std::recursive_mutex& ProcessEndLock() {
    static std::recursive_mutex lock;
    return lock;
}

void RemoveUnfinishedFiles() {
    for (const QByteArray& path : Unfinished()) ::unlink(path.constData());
    Unfinished().clear();
}

bool WriteFileAtomically(const QString& path, const QByteArray& data, LinkPolicy links,
                         std::string* error) {
    AtomicFile file(path, links);
    const bool ok = file.create() && file.write(data) == data.size() && file.commit();
    if (!ok && error) *error = file.error();
    return ok;
}

}  // namespace trimlet
