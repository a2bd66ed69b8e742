// Runs the picture loader over the generated hostile files, each in a child process of
// its own so that its peak memory can be read: every file is refused or loaded as its
// name says, and no file costs more memory than one copy of the picture it declares.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

#include "common/picturereader.h"

namespace trimlet {
namespace {

struct ChildRun {
    int exitCode = -1;
    long peakKiB = 0;
    double seconds = 0;
};

template <typename F>
ChildRun RunInChild(F body) {
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    rusage usage{};
    ChildRun run;
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.peakKiB = usage.ru_maxrss;
    }
    run.seconds = timer.elapsed() / 1000.0;
    return run;
}

TEST(HostilePictures, EachIsRefusedOrLoadedWithinOneCopyOfItsPixels) {
    const QString folder = qEnvironmentVariable("TRIMLET_HOSTILE_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "TRIMLET_HOSTILE_DIR is not set: no corpus to read";
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 20) << "the corpus was not generated in " << folder.toStdString();

    // What a child costs before it reads anything.
    const long baseline = RunInChild([] { return 0; }).peakKiB;
    const long slackKiB = 48 * 1024;

    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QStringList parts = name.split(QLatin1Char('_'));
        const QString expected = parts.front();
        const long declaredMillions = parts.size() > 1 ? parts[1].toLong() : 0;
        const QString path = QDir(folder).filePath(name);
        const ChildRun run = RunInChild([&] {
            const PictureRead read = ReadPictureFile(path);
            if (!read.picture) return 1;
            // One opaque 32-bit picture, nothing else.
            return read.picture->format() == QImage::Format_RGB32 ? 0 : 2;
        });
        const long grownKiB = run.peakKiB - baseline;
        std::printf("%-44s %-8s %7.2f s  %8ld KiB above the start\n", qPrintable(name),
                    run.exitCode == 0   ? "loaded"
                    : run.exitCode == 1 ? "refused"
                                        : "FAULT",
                    run.seconds, grownKiB);
        const int wanted = expected == QLatin1String("ok") ? 0 : 1;
        if (expected == QLatin1String("any")) {
            EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode;
        } else {
            EXPECT_EQ(run.exitCode, wanted);
        }
        // One copy of the declared picture (1.2 times its 32-bit size at most), or nothing
        // worth speaking of for a refused file.
        const long boundKiB =
            expected == QLatin1String("refuse")
                ? slackKiB
                : long(1.2 * double(declaredMillions) * 1000 * 1000 * 4 / 1024) + slackKiB;
        EXPECT_LE(grownKiB, boundKiB);
    }
}

TEST(CountJpegScans, WalksSegmentsAndSkipsEntropyData) {
    const auto count = [](const QByteArray& b) {
        return CountJpegScans(reinterpret_cast<const uchar*>(b.constData()), b.size());
    };
    const QByteArray soi("\xff\xd8", 2);
    const QByteArray eoi("\xff\xd9", 2);
    const QByteArray sos("\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00", 10);
    // Entropy data with a stuffed byte (FF 00) and a restart marker (FF D0) inside.
    const QByteArray data("\x12\xff\x00\x34\xff\xd0\x56", 7);
    const QByteArray app("\xff\xe0\x00\x04\xff\xda", 6);  // an APP segment holding FF DA
    EXPECT_EQ(count(QByteArray("not a jpeg")), -1);
    EXPECT_EQ(count(soi + eoi), 0);
    EXPECT_EQ(count(soi + sos + data + eoi), 1);
    EXPECT_EQ(count(soi + app + sos + data + sos + data + sos + eoi), 3);
    EXPECT_EQ(count(soi + sos + data + eoi + sos + data), 1);  // nothing after the end counts
    EXPECT_EQ(count(soi + sos.left(5)), 1);                    // cut in the middle
}

}  // namespace
}  // namespace trimlet
