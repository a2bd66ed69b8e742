#include <gtest/gtest.h>
#include <zlib.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "acquisition/picturefile.h"
#include "support/fakes.h"

namespace trimlet {
namespace {

using testing::FakeClipboard;
using testing::PatternImage;

class PictureFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // A PNG whose header declares a picture of width x height but holds no pixels.
    QByteArray hostilePng(quint32 width, quint32 height) {
        QByteArray png("\x89PNG\r\n\x1a\n", 8);
        QByteArray ihdr("IHDR");
        const quint32 be[2] = {qToBigEndian(width), qToBigEndian(height)};
        ihdr.append(reinterpret_cast<const char*>(be), 8);
        ihdr.append("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
        const quint32 length = qToBigEndian<quint32>(13);
        png.append(reinterpret_cast<const char*>(&length), 4);
        png.append(ihdr);
        const quint32 crc = qToBigEndian<quint32>(static_cast<quint32>(
            crc32(0, reinterpret_cast<const Bytef*>(ihdr.constData()), ihdr.size())));
        png.append(reinterpret_cast<const char*>(&crc), 4);
        return png;
    }
};

TEST_F(PictureFileTest, LoadsPicturesOfTheBuiltInFormats) {
    const QImage picture = PatternImage(37, 23);
    for (const char* format : {"png", "bmp", "ppm"}) {
        const QString path = dir.filePath(QStringLiteral("pic.") + format);
        ASSERT_TRUE(picture.save(path, format)) << format;
        const auto loaded = LoadPictureFile(path);
        ASSERT_TRUE(loaded) << format;
        EXPECT_EQ(loaded->size(), QSize(37, 23)) << format;
        EXPECT_EQ(loaded->pixel(36, 22), picture.pixel(36, 22)) << format;
    }
}

TEST_F(PictureFileTest, RefusesWhatIsNoSinglePictureFile) {
    const QString png = dir.filePath("a b.png");
    ASSERT_TRUE(PatternImage(5, 5).save(png));
    const QString text = write("notes.png", "just some text, not a picture");
    const QString cases[] = {
        QString(),
        dir.filePath("missing.png"),
        dir.path(),                                 // a folder
        text,                                       // a text file, whatever its name says
        QLatin1Char('"') + png + QLatin1Char('"'),  // quotes are part of the name
        png + QLatin1Char(' ') + png,               // two paths
        write("empty.bmp", QByteArray()),
    };
    for (const QString& path : cases) {
        EXPECT_FALSE(LoadPictureFile(path)) << path.toStdString();
        FakeClipboard clipboard;
        EXPECT_FALSE(PutFileOnClipboard(path, clipboard)) << path.toStdString();
        EXPECT_EQ(clipboard.writes, 0);
    }
    // The path with a blank in it is fine on its own.
    EXPECT_TRUE(LoadPictureFile(png));
}

TEST_F(PictureFileTest, AHugeDeclaredSizeFailsCleanly) {
    for (const auto& size :
         {std::pair<quint32, quint32>{100000, 100000}, {30000, 30000}, {2147483647u, 1u}}) {
        const QString path = write("huge.png", hostilePng(size.first, size.second));
        EXPECT_FALSE(LoadPictureFile(path)) << size.first << "x" << size.second;
    }
}

TEST_F(PictureFileTest, PutsTheFilesPictureOnTheClipboard) {
    const QString path = dir.filePath("pic.png");
    ASSERT_TRUE(PatternImage(64, 48).save(path));
    FakeClipboard clipboard;
    ASSERT_TRUE(PutFileOnClipboard(path, clipboard));
    EXPECT_EQ(clipboard.writes, 1);
    ASSERT_TRUE(clipboard.image);
    EXPECT_EQ(clipboard.image->size(), QSize(64, 48));
}

}  // namespace
}  // namespace trimlet
