#pragma once
// A tiny filesystem of its own (tmpfs) that a test can fill to the last page, to see
// what a write does when the disk is full. Mounting needs root; elsewhere the fixture
// says why and the test is skipped.

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace trimlet::testing {

class SmallFilesystem {
public:
    // A tmpfs of `bytes` (rounded up to whole pages) mounted on a fresh folder.
    explicit SmallFilesystem(std::size_t bytes) {
        if (!dir_.isValid()) {
            why_ = "no temporary folder";
            return;
        }
        if (::geteuid() != 0) {
            why_ = "mounting a small tmpfs needs root; full-disk behaviour not checked";
            return;
        }
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                    options.c_str()) != 0) {
            why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~SmallFilesystem() {
        if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    SmallFilesystem(const SmallFilesystem&) = delete;
    SmallFilesystem& operator=(const SmallFilesystem&) = delete;

    bool ready() const { return mounted_; }
    const std::string& whyNot() const { return why_; }
    QString path(const QString& name) const { return dir_.filePath(name); }

    // The bytes a file may still take.
    std::size_t freeBytes() const {
        struct statvfs s {};
        if (::statvfs(QFile::encodeName(dir_.path()).constData(), &s) != 0) return 0;
        return static_cast<std::size_t>(s.f_bavail) * s.f_frsize;
    }

    // Fills the filesystem with a filler file until at most `leave` bytes are free
    // (tmpfs counts whole pages, so what is left is a multiple of the page size).
    bool fillLeaving(std::size_t leave) {
        const QByteArray name = QFile::encodeName(path(QStringLiteral("filler")));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd < 0) return false;
        const std::vector<char> page(4096, 'f');
        while (freeBytes() > leave) {
            if (::write(fd, page.data(), page.size()) <= 0) break;
        }
        ::close(fd);
        return freeBytes() <= leave;
    }
    void removeFiller() const { ::unlink(QFile::encodeName(path(QStringLiteral("filler")))); }

    // The files in the folder, hidden ones included, except the filler.
    QStringList files() const {
        QStringList names = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        names.removeAll(QStringLiteral("filler"));
        return names;
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace trimlet::testing
