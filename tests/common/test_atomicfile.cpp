#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/atomicfile.h"
#include "support/fullfs.h"

namespace trimlet {
namespace {

QByteArray Bytes(std::size_t n, char seed = 'a') {
    QByteArray b(static_cast<qsizetype>(n), Qt::Uninitialized);
    for (std::size_t i = 0; i < n; ++i) b[static_cast<qsizetype>(i)] = char(seed + i % 23);
    return b;
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
}

// Sizes from one byte to well past the write buffer (64 KiB) and past a tmpfs page.
const std::size_t kSizes[] = {1, 100, 4095, 4096, 4097, 65535, 65536, 65537, 300000};

TEST(AtomicFile, WritesEveryByteWhateverThePiecesAre) {
    QTemporaryDir dir;
    for (const std::size_t n : kSizes) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{777}, std::size_t{70000}}) {
            if (piece == 1 && n > 70000) continue;
            const QByteArray data = Bytes(n);
            const QString path = dir.filePath("out.bin");
            AtomicFile file(path);
            ASSERT_TRUE(file.create()) << file.error();
            for (std::size_t at = 0; at < n; at += piece)
                ASSERT_GT(
                    file.write(data.constData() + at, static_cast<qint64>(std::min(piece, n - at))),
                    0);
            ASSERT_TRUE(file.commit()) << file.error();
            EXPECT_EQ(Read(path), data) << n << " bytes in pieces of " << piece;
            EXPECT_EQ(Entries(dir.path()), QStringList{"out.bin"});
        }
    }
}

TEST(AtomicFile, FullDiskLeavesThePreviousFileAndNoTemporaryFile) {
    const QByteArray previous = "previous contents";
    for (const std::size_t n : kSizes) {
        for (const std::size_t leave : {std::size_t{0}, ((n - 1) / 4096) * 4096}) {
            SCOPED_TRACE(std::to_string(n) + " bytes with " + std::to_string(leave) + " free");
            testing::SmallFilesystem fs(1 << 20);
            if (!fs.ready()) GTEST_SKIP() << fs.whyNot();
            const QString target = fs.path("settings.ini");
            ASSERT_TRUE(WriteFileAtomically(target, previous, LinkPolicy::Refuse));
            ASSERT_TRUE(fs.fillLeaving(leave));
            std::string error;
            EXPECT_FALSE(WriteFileAtomically(target, Bytes(n), LinkPolicy::Refuse, &error));
            EXPECT_NE(error.find("settings.ini"), std::string::npos) << error;
            EXPECT_EQ(Read(target), previous);
            EXPECT_EQ(fs.files(), QStringList{"settings.ini"});
        }
    }
}

TEST(AtomicFile, KeepsThePermissionsOfTheFileItReplaces) {
    QTemporaryDir dir;
    const QString path = dir.filePath("f");
    ASSERT_TRUE(WriteFileAtomically(path, "one", LinkPolicy::Refuse));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "two", LinkPolicy::Refuse));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Read(path), "two");
}

TEST(AtomicFile, LinksAreFollowedOrRefusedAsAsked) {
    QTemporaryDir dir;
    const QString real = dir.filePath("real.txt");
    const QString link = dir.filePath("link.txt");
    ASSERT_TRUE(WriteFileAtomically(real, "original", LinkPolicy::Refuse));
    ASSERT_TRUE(QFile::link(real, link));

    std::string error;
    EXPECT_FALSE(WriteFileAtomically(link, "refused", LinkPolicy::Refuse, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Read(real), "original");
    EXPECT_TRUE(QFileInfo(link).isSymLink());

    EXPECT_TRUE(WriteFileAtomically(link, "through", LinkPolicy::WriteThrough));
    EXPECT_EQ(Read(real), "through");
    EXPECT_TRUE(QFileInfo(link).isSymLink());  // the link itself stays a link
    EXPECT_EQ(Entries(dir.path()), (QStringList{"link.txt", "real.txt"}));
}

TEST(AtomicFile, RefusesWhatIsNoPlainFileAndMissingFolders) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& target :
         {dir.filePath("folder"), fifo, dir.filePath("missing/x.bin"), QString()}) {
        std::string error;
        EXPECT_FALSE(WriteFileAtomically(target, "x", LinkPolicy::WriteThrough, &error))
            << target.toStdString();
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(Entries(dir.path()), (QStringList{"fifo", "folder"}));
}

TEST(AtomicFile, CancelOrDestructionWithoutCommitLeavesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("x");
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.create());
        ASSERT_EQ(file.write("abc"), 3);
        file.cancel();
        EXPECT_FALSE(file.commit());
    }
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.create());
        ASSERT_EQ(file.write(Bytes(100000)), 100000);
    }
    EXPECT_TRUE(Entries(dir.path()).isEmpty());
}

}  // namespace
}  // namespace trimlet
