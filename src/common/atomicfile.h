#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <mutex>
#include <string>
#include <vector>

namespace trimlet {

// What to do when the target path is a symbolic link.
enum class LinkPolicy {
    WriteThrough,  // replace the file the link points to; the link stays
    Refuse,        // never write: the file is not ours to replace
};

// The one way this program writes a file. The bytes go to a temporary file beside the
// target; commit() checks that every write, the final flush, the sync to disk and the
// close went through, and only then renames the temporary file over the target. Any
// failure (a full disk, a missing folder, a refused link) leaves the target exactly as
// it was and removes the temporary file, so there is never a half-written file under
// either name.
class AtomicFile final : public QIODevice {
public:
    explicit AtomicFile(QString target, LinkPolicy links = LinkPolicy::WriteThrough);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file and opens this device on it. False (with error()) when it cannot
    // be made.
    [[nodiscard]] bool create();
    // Publishes the written bytes under the target's name. False when anything on the way
    // failed; the target is then untouched.
    [[nodiscard]] bool commit();
    // Drops what was written; the target is untouched.
    void cancel();

    // Why the last step failed: the path and the system's words.
    const std::string& error() const { return error_; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    [[nodiscard]] bool fail(const char* what, int err);
    [[nodiscard]] bool flushBuffer();
    [[nodiscard]] bool writeRaw(const char* data, std::size_t size);
    void discard();

    QString target_;
    LinkPolicy links_;
    QByteArray finalPath_;  // the file that is replaced (a link's target, resolved)
    QByteArray tempPath_;
    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t buffered_ = 0;
    std::string error_;
};

// The process may be ended from another thread: a termination signal while a step holds
// the GUI thread for seconds (see ShutdownWatcher). That thread takes this lock and keeps
// it to the end, so the steps that hold it are either done or never begun: an AtomicFile
// making or putting its file in place, and the settings written at shutdown.
[[nodiscard]] std::recursive_mutex& ProcessEndLock();
// With ProcessEndLock held: removes the temporary file of every AtomicFile that is
// neither committed nor cancelled.
void RemoveUnfinishedFiles();

// Writes data to path through an AtomicFile. False, with the reason in *error when
// given, when the file could not be replaced.
[[nodiscard]] bool WriteFileAtomically(const QString& path, const QByteArray& data,
                                       LinkPolicy links, std::string* error = nullptr);

}  // namespace trimlet
