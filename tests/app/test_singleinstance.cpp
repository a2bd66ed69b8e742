// One running copy per desktop, and a crashed copy never blocks the next start.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>

#include "app/singleinstance.h"

namespace trimlet {
namespace {

TEST(SingleInstance, TheSecondHolderIsRefusedUntilTheFirstEnds) {
    QTemporaryDir dir;
    const QString lock = dir.filePath(QStringLiteral("trimlet.lock"));
    auto first = std::make_unique<SingleInstance>(lock);
    ASSERT_TRUE(first->tryAcquire());
    EXPECT_TRUE(first->tryAcquire()) << "asking again while holding it";
    SingleInstance second(lock);
    EXPECT_FALSE(second.tryAcquire());
    first.reset();
    EXPECT_TRUE(second.tryAcquire());
}

TEST(SingleInstance, ReleaseLetsANewStartInWhileTheHolderGoesOn) {
    QTemporaryDir dir;
    const QString lock = dir.filePath(QStringLiteral("trimlet.lock"));
    SingleInstance first(lock);
    ASSERT_TRUE(first.tryAcquire());
    SingleInstance second(lock);
    EXPECT_FALSE(second.tryAcquire());
    first.release();
    first.release();  // twice is harmless
    EXPECT_TRUE(second.tryAcquire());
    EXPECT_FALSE(first.tryAcquire()) << "the released holder took the lock back";
}

TEST(SingleInstance, ACrashedHolderLeavesNoStaleLock) {
    QTemporaryDir dir;
    const QString lock = dir.filePath(QStringLiteral("trimlet.lock"));
    int ready[2];
    int finish[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(finish), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The first copy: takes the lock, then dies without letting go of anything.
        auto* held = new SingleInstance(lock);
        const char ok = held->tryAcquire() ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        char c;
        (void)!read(finish[0], &c, 1);
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    {
        SingleInstance whileRunning(lock);
        EXPECT_FALSE(whileRunning.tryAcquire());
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], finish[0], finish[1]}) close(fd);
    EXPECT_TRUE(QFile::exists(lock)) << "the file stays; only its lock goes";
    SingleInstance afterCrash(lock);
    EXPECT_TRUE(afterCrash.tryAcquire());
}

TEST(SingleInstance, ProgramsStartedByTheHolderDoNotKeepTheLock) {
    QTemporaryDir dir;
    const QString lock = dir.filePath(QStringLiteral("trimlet.lock"));
    auto first = std::make_unique<SingleInstance>(lock);
    ASSERT_TRUE(first->tryAcquire());
    QProcess browser;  // what the version window's link starts
    browser.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(browser.waitForStarted());
    first.reset();
    SingleInstance next(lock);
    EXPECT_TRUE(next.tryAcquire());
    browser.kill();
    browser.waitForFinished();
}

TEST(SingleInstance, LockFileNamePerDesktop) {
    EXPECT_EQ(SingleInstance::LockFileName(QStringLiteral(":0")),
              QStringLiteral("trimlet-_0.lock"));
    EXPECT_EQ(SingleInstance::LockFileName(QStringLiteral("localhost:10.0")),
              QStringLiteral("trimlet-localhost_10.0.lock"));
    EXPECT_EQ(SingleInstance::LockFileName(QStringLiteral("wayland-0")),
              QStringLiteral("trimlet-wayland-0.lock"));
    EXPECT_EQ(SingleInstance::LockFileName(QStringLiteral("../x/y")),
              QStringLiteral("trimlet-.._x_y.lock"));
    EXPECT_EQ(SingleInstance::LockFileName(QString()), QStringLiteral("trimlet-default.lock"));
}

// Every spelling of one desktop gives one key, so no spelling runs a second copy.
TEST(SingleInstance, OneKeyPerDesktopWhateverTheSpelling) {
    const struct {
        const char* x11;
        const char* wayland;
        const char* key;
    } rows[] = {
        {":0", "", ":0"},
        {":0.0", "", ":0"},
        {":0.1", "", ":0"},
        {"unix:0", "", ":0"},
        {"unix:0.0", "", ":0"},
        {" :0 ", "", ":0"},
        {":1", "", ":1"},
        {"localhost:10.0", "", "localhost:10"},  // forwarded over the network: another server
        {"otherhost:0", "", "otherhost:0"},
        {"", "", ""},
        {":0", "wayland-1", "/run/user/1000/wayland-1"},
        {"", "/run/user/1000/wayland-1", "/run/user/1000/wayland-1"},
        {"", "/run/user/1000//wayland-1", "/run/user/1000/wayland-1"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(SingleInstance::CanonicalDisplay(QString::fromLatin1(r.x11),
                                                   QString::fromLatin1(r.wayland),
                                                   QStringLiteral("/run/user/1000")),
                  QString::fromLatin1(r.key))
            << r.x11 << " | " << r.wayland;
}

}  // namespace
}  // namespace trimlet
