// The settings stored when the window closes, killed at every step of the write: the file
// holds either all the old values or all the new ones, never a mix.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <vector>

#include "settings/inifile.h"
#include "settings/windowplacement.h"

namespace trimlet {
namespace {

constexpr char kChildVariable[] = "TRIMLET_SHUTDOWN_WRITE_TO";

// A normal 640 x 480 window at 100, 50 pixels, 15 twips per pixel.
class ClosingWindow final : public PlacementWindow {
public:
    float left() const override { return 1500; }
    float top() const override { return 750; }
    float width() const override { return 9600; }
    float height() const override { return 7200; }
    void setLeft(float) override {}
    void setTop(float) override {}
    void setWidth(float) override {}
    void setHeight(float) override {}
    WindowShowState state() const override { return WindowShowState::Normal; }
    void setState(WindowShowState) override {}
    std::vector<QRect> screens() const override { return {QRect(0, 0, 19200, 15360)}; }
    QSize minimumSize() const override { return {5400, 3600}; }
};

// What the main window stores when it closes.
bool StoreAtShutdown(const QString& path) {
    const ClosingWindow window;
    WindowPlacement placement;
    std::vector<IniEntry> entries = placement.PlacementEntries(window);
    entries.push_back(CaptureWaitEntry(2000));
    return WriteIniValues(entries, path);
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no file)");
}

TEST(ShutdownWrite, AKillAtAnyStepLeavesAllOldOrAllNewValues) {
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty()) GTEST_SKIP() << "strace is not installed (make deps installs it)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("trimlet.ini"));
    const QByteArray old =
        "; kept\r\n[Window]\r\nLeft=0\r\nTop=0\r\nWidth=6375\r\nHeight=5460\r\nWindowState=0\r\n"
        "[Wait]\r\nCapture=500\r\n[Other]\r\nx=1\r\n";
    const auto reset = [&] {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(old), old.size());
    };

    // The file as a completed write leaves it.
    reset();
    ASSERT_TRUE(StoreAtShutdown(path));
    const QByteArray fresh = Read(path);
    ASSERT_NE(fresh, old);

    // The child is this test program, run under strace, which kills it on entry to its
    // k-th call that opens, writes, syncs, renames or removes anything; k grows until the
    // write runs to its end.
    const QByteArray self =
        QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    const QByteArray tracer = QFile::encodeName(strace);
    const QByteArray target = QFile::encodeName(path);
    int completedAt = 0;
    for (int k = 1; k <= 2000 && completedAt == 0; ++k) {
        reset();
        const QByteArray inject =
            "inject=openat,write,pwrite64,fsync,fdatasync,ftruncate,rename,renameat,renameat2,"
            "linkat,unlink,unlinkat:signal=KILL:when=" +
            QByteArray::number(k);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::setenv(kChildVariable, target.constData(), 1);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::execl(tracer.constData(), "strace", "-qq", "-o", "/dev/null", "-e",
                    inject.constData(), self.constData(), "--gtest_also_run_disabled_tests",
                    "--gtest_filter=ShutdownWrite.DISABLED_Child", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        // strace ends as its child did: killed, or with the child's exit status.
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        ASSERT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "step " << k;
        if (!killed) completedAt = k;
        const QByteArray now = Read(path);
        ASSERT_TRUE(now == old || now == fresh) << "killed at step " << k << ":\n"
                                                << now.constData();
    }
    EXPECT_GT(completedAt, 1) << "the write never ran to its end under strace";
}

// Run by the test above in a child process only.
TEST(ShutdownWrite, DISABLED_Child) {
    const char* path = std::getenv(kChildVariable);
    if (!path) GTEST_SKIP() << "run by AKillAtAnyStepLeavesAllOldOrAllNewValues";
    ::_exit(StoreAtShutdown(QFile::decodeName(path)) ? 0 : 1);
}

}  // namespace
}  // namespace trimlet
