#include <gtest/gtest.h>
#include <zlib.h>

#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
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

// The mean difference of two pictures' colour components; 255 when their sizes differ.
double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

// Files as another program (ImageMagick) writes them, in the formats people download,
// read against the same picture read from PNG: equal where the format is lossless, close
// where it is not; the first frame of an animation, the first page of a document. Only
// the formats the reader stands behind are read: the rest are refused, and the content
// decides, never the name.
TEST_F(PictureFileTest, ReadsTheFormatsOtherProgramsWriteAndNoOthers) {
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    QImage first(45, 31, QImage::Format_ARGB32);  // opaque on the left, translucent on the right
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x)
            first.setPixel(x, y,
                           qRgba((x * 7 + y) & 0xFF, (y * 5 + x / 3) & 0xFF, (x ^ y) & 0xFF,
                                 x < 20 ? 255 : (x * 9) & 0xFF));
    const QString firstPng = dir.filePath("first.png"), secondPng = dir.filePath("second.png");
    ASSERT_TRUE(first.save(firstPng));
    ASSERT_TRUE(PatternImage(45, 31).mirrored(true, false).save(secondPng));
    const auto expected = LoadPictureFile(firstPng);
    ASSERT_TRUE(expected);

    struct Case {
        const char* name;
        QStringList options;  // between the input files and the output file
        bool twoFrames;
        double tolerance;  // mean difference; < 0: the file is refused
    };
    const QStringList lossless{"-define", "webp:lossless=true"};
    const Case cases[] = {
        {"lossless.webp", lossless, false, 0},
        {"lossy.webp", {"-quality", "90"}, false, 6},
        {"animation.webp", lossless + QStringList{"-loop", "0"}, true, 0},
        // TIFF's translucent pixels arrive premultiplied: a step off here and there.
        {"deflate.tif", {"-compress", "zip"}, false, 1},
        {"lzw.tif", {"-compress", "lzw"}, false, 1},
        {"pages.tif", {}, true, 1},
        {"picture.avif", {"-quality", "90"}, false, 6},
        {"picture.tga", {}, false, -1},
        {"picture.wbmp", {}, false, -1},
        {"picture.ico", {}, false, -1},
        {"picture.mng", {}, false, -1},
        {"png-inside.tif", {"-define", "png:format=png32"}, false, 0},  // a PNG by any name
    };
    for (const Case& c : cases) {
        const QString out = dir.filePath(QString::fromLatin1(c.name));
        QStringList args{firstPng};
        if (c.twoFrames) args << secondPng;
        args << c.options
             << (out.endsWith(QLatin1String("png-inside.tif")) ? QStringLiteral("png:") + out
                                                               : out);
        ASSERT_EQ(QProcess::execute(QStringLiteral("convert"), args), 0) << c.name;
        const auto loaded = LoadPictureFile(out);
        if (c.tolerance < 0) {
            EXPECT_FALSE(loaded) << c.name;
            continue;
        }
        ASSERT_TRUE(loaded) << c.name;
        EXPECT_EQ(loaded->format(), QImage::Format_RGB32) << c.name;
        EXPECT_LE(MeanDifference(*loaded, *expected), c.tolerance) << c.name;
    }
    if (QImageWriter::supportedImageFormats().contains("icns")) {
        const QString icns = dir.filePath("picture.icns");
        ASSERT_TRUE(PatternImage(32, 32).save(icns, "icns"));
        EXPECT_FALSE(LoadPictureFile(icns));
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
