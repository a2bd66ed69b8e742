#include <gtest/gtest.h>
#include <zlib.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "export/decode_util.h"
#include "export/encoders.h"
#include "export/imagelib_util.h"
#include "support/fakes.h"

namespace trimlet {
namespace {

using testing::DecodeGif;
using testing::DecodeJpeg;
using testing::PatternImage;
using testing::Psnr;
using testing::ReadWholeFile;

std::uint32_t U32(const QByteArray& b, int at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}
std::uint16_t U16(const QByteArray& b, int at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}

QByteArray Encode(ImageFormat format, const QImage& image, int quality = 60) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ExportResult r = ExportResult::Failure("not run");
    switch (format) {
        case ImageFormat::Bmp:
            r = EncodeBmp(image, buffer);
            break;
        case ImageFormat::Jpeg:
            r = EncodeJpeg(image, quality, buffer);
            break;
        case ImageFormat::Gif:
            r = EncodeGif(image, buffer);
            break;
        case ImageFormat::Png:
            r = EncodePng(image, buffer);
            break;
    }
    EXPECT_TRUE(r.ok()) << r.error();
    return buffer.data();
}

// Smooth colour ramps, the kind of picture JPEG keeps close.
QImage Ramps(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) * 127 / (w + h) + 64));
    return img;
}

TEST(EncodeBmp, WritesTheExactBytesOfA24BitBottomUpFile) {
    QImage img(3, 2, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(1, 2, 3));
    img.setPixel(1, 0, qRgb(4, 5, 6));
    img.setPixel(2, 0, qRgb(7, 8, 9));
    img.setPixel(0, 1, qRgb(10, 11, 12));
    img.setPixel(1, 1, qRgb(13, 14, 15));
    img.setPixel(2, 1, qRgb(16, 17, 18));
    const QByteArray b = Encode(ImageFormat::Bmp, img);
    ASSERT_EQ(b.size(), 54 + 2 * 12);  // rows of 9 bytes padded to 12
    EXPECT_EQ(b.left(2), QByteArray("BM"));
    EXPECT_EQ(U32(b, 2), 78u);   // file size
    EXPECT_EQ(U32(b, 10), 54u);  // pixel offset
    EXPECT_EQ(U32(b, 14), 40u);  // info header size
    EXPECT_EQ(U32(b, 18), 3u);
    EXPECT_EQ(U32(b, 22), 2u);  // positive height: bottom row first
    EXPECT_EQ(U16(b, 26), 1u);
    EXPECT_EQ(U16(b, 28), 24u);
    EXPECT_EQ(U32(b, 30), 0u);  // uncompressed
    EXPECT_EQ(U32(b, 34), 24u);
    const QByteArray pixels = b.mid(54);
    const QByteArray expected(
        "\x0c\x0b\x0a\x0f\x0e\x0d\x12\x11\x10\0\0\0"
        "\x03\x02\x01\x06\x05\x04\x09\x08\x07\0\0\0",
        24);
    EXPECT_EQ(pixels, expected);
}

TEST(EncodeBmp, KeepsEveryPixelOfAnOddSizedPictureAndOfOnePixel) {
    for (const QSize size : {QSize(37, 23), QSize(1, 1), QSize(4, 1), QSize(1, 5)}) {
        const QImage img = PatternImage(size.width(), size.height());
        const QByteArray b = Encode(ImageFormat::Bmp, img);
        const QImage back = QImage::fromData(b, "BMP").convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(back.size(), size);
        EXPECT_EQ(back, img) << size.width() << "x" << size.height();
    }
    EXPECT_EQ(Encode(ImageFormat::Bmp, PatternImage(1, 1)).size(), 54 + 4);
}

// The row chunk is kept between saves: what an earlier, larger save left in it must not
// reach the padding or the pixels of the next file.
TEST(EncodeBmp, AKeptChunkLeavesNothingOfTheLastSaveInTheNext) {
    QImage bright(700, 500, QImage::Format_RGB32);
    bright.fill(qRgb(255, 255, 255));
    (void)Encode(ImageFormat::Bmp, bright);
    for (const QSize size : {QSize(5, 3), QSize(1, 700), QSize(701, 2)}) {
        const QImage img = PatternImage(size.width(), size.height());
        const QByteArray b = Encode(ImageFormat::Bmp, img);
        const int rowBytes = (size.width() * 3 + 3) & ~3;
        ASSERT_EQ(b.size(), 54 + rowBytes * size.height());
        for (int y = 0; y < size.height(); ++y) {
            const char* row = b.constData() + 54 + y * rowBytes;
            for (int pad = size.width() * 3; pad < rowBytes; ++pad)
                ASSERT_EQ(row[pad], 0) << size.width() << "x" << size.height() << " row " << y;
        }
        EXPECT_EQ(QImage::fromData(b, "BMP").convertToFormat(QImage::Format_RGB32), img);
    }
}

TEST(EncodeBmp, ReadsAViewWithAWiderStrideAndOtherPixelFormats) {
    const QImage big = PatternImage(50, 40);
    const QImage view(big.constBits() + 5 * big.bytesPerLine() + 7 * 4, 10, 6, big.bytesPerLine(),
                      QImage::Format_RGB32);
    const QImage back = QImage::fromData(Encode(ImageFormat::Bmp, view), "BMP")
                            .convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back, big.copy(7, 5, 10, 6));

    const QImage rgb888 = PatternImage(9, 4).convertToFormat(QImage::Format_RGB888);
    const QImage back888 = QImage::fromData(Encode(ImageFormat::Bmp, rgb888), "BMP")
                               .convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back888, PatternImage(9, 4));
}

TEST(EncodeJpeg, DecodesBackCloseAtTheRightSizeAndQualityMatters) {
    const QImage img = Ramps(129, 67);
    const QByteArray q60 = Encode(ImageFormat::Jpeg, img, 60);
    const QImage back = DecodeJpeg(q60);
    ASSERT_EQ(back.size(), img.size());
    EXPECT_GT(Psnr(img, back), 32.0);

    const QByteArray q10 = Encode(ImageFormat::Jpeg, PatternImage(64, 64), 10);
    const QByteArray q95 = Encode(ImageFormat::Jpeg, PatternImage(64, 64), 95);
    EXPECT_LT(q10.size(), q95.size());
    EXPECT_GT(Psnr(PatternImage(64, 64), DecodeJpeg(q95)),
              Psnr(PatternImage(64, 64), DecodeJpeg(q10)));

    const QImage one = DecodeJpeg(Encode(ImageFormat::Jpeg, PatternImage(1, 1), 100));
    ASSERT_EQ(one.size(), QSize(1, 1));
}

TEST(EncodeJpeg, RefusesQualityOutsideOneToHundred) {
    for (int q : {0, 101, -1}) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_FALSE(EncodeJpeg(PatternImage(8, 8), q, buffer).ok()) << q;
        EXPECT_TRUE(buffer.data().isEmpty());
    }
}

TEST(EncodeGif, DecodesBackWithAtMost256ColoursAndClosePixels) {
    const QImage img = Ramps(203, 101);
    const testing::DecodedGif gif = DecodeGif(Encode(ImageFormat::Gif, img));
    ASSERT_FALSE(gif.image.isNull());
    EXPECT_EQ(gif.frames, 1);
    EXPECT_EQ(gif.image.size(), img.size());
    EXPECT_GE(gif.paletteSize, 2);
    EXPECT_LE(gif.paletteSize, 256);
    EXPECT_GT(Psnr(img, gif.image), 30.0);
}

// Writes until a given number of bytes, then fails every write: a disk filling up.
class FillingDevice final : public QIODevice {
public:
    explicit FillingDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override {
        if (length > room_) return -1;
        room_ -= length;
        return length;
    }

private:
    qint64 room_;
};

TEST(EncodeGif, LargePicturesCodedBesideTheDitheringDecodeBackOrStopOnAFullDevice) {
    // From a million pixels up the LZW coder runs on a second thread.
    const QImage img = Ramps(1100, 1000);
    const QByteArray file = Encode(ImageFormat::Gif, img);
    const testing::DecodedGif gif = DecodeGif(file);
    ASSERT_FALSE(gif.image.isNull());
    EXPECT_EQ(gif.image.size(), img.size());
    EXPECT_GT(Psnr(img, gif.image), 30.0);
    const qint64 size = file.size();
    for (const qint64 room : {qint64{0}, qint64{800}, size / 2, size - 1}) {
        FillingDevice full(room);
        const ExportResult r = EncodeGif(img, full);
        EXPECT_FALSE(r.ok()) << room;
        EXPECT_FALSE(r.error().empty()) << room;
    }
}

TEST(EncodeGif, KeepsAFewColoursExactly) {
    QImage img(31, 17, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 128, 255), qRgb(10, 20, 30),
                            qRgb(250, 250, 250)};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, colours[(x / 3 + y) % 4]);
    const testing::DecodedGif gif = DecodeGif(Encode(ImageFormat::Gif, img));
    ASSERT_EQ(gif.image.size(), img.size());
    EXPECT_EQ(gif.image, img);

    const QImage one = PatternImage(1, 1);
    EXPECT_EQ(DecodeGif(Encode(ImageFormat::Gif, one)).image, one);
}

// A text-like picture of a few hundred colours: the common ones (paper, ink, the
// usual anti-aliasing levels) come back exactly, the rare ones close.
TEST(EncodeGif, KeepsTheCommonColoursOfAFewHundredExactly) {
    QImage img(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const int i = (x / 2 + y * 7) % 220;  // 220 common colours
            img.setPixel(x, y, qRgb(i, 255 - i, (i * 3) & 0xFF));
        }
    for (int i = 0; i < 150; ++i) img.setPixel(i * 2, 199 - i / 2, qRgb(128, i, 5));  // rare
    const testing::DecodedGif gif = DecodeGif(Encode(ImageFormat::Gif, img));
    ASSERT_EQ(gif.image.size(), img.size());
    int commonWrong = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qRed(img.pixel(x, y)) != 128 && gif.image.pixel(x, y) != img.pixel(x, y))
                ++commonWrong;
    EXPECT_EQ(commonWrong, 0);
    EXPECT_GT(Psnr(img, gif.image), 50.0);
}

// Qt's own PNG reader, as RGB32; a null image when the data is no PNG.
QImage DecodePng(const QByteArray& data) {
    QImage img = QImage::fromData(data, "PNG");
    return img.isNull() ? img : img.convertToFormat(QImage::Format_RGB32);
}

TEST(EncodePng, KeepsEveryPixelIn24BitRgb) {
    // Odd sizes, one pixel, a single row and column, a view with a wider stride, and a
    // picture whose alpha must not leak into the file.
    QImage wide = PatternImage(40, 30);
    const QImage view(wide.constBits() + 3 * wide.bytesPerLine() + 5 * 4, 17, 9,
                      wide.bytesPerLine(), QImage::Format_RGB32);
    QImage translucent = PatternImage(7, 5).convertToFormat(QImage::Format_ARGB32);
    translucent.setPixel(2, 2, qRgba(10, 20, 30, 0));
    const QImage cases[] = {
        PatternImage(1, 1), PatternImage(333, 7), PatternImage(1, 50), PatternImage(50, 1), view,
        translucent,        Ramps(64, 64)};
    for (const QImage& img : cases) {
        const QByteArray png = Encode(ImageFormat::Png, img);
        ASSERT_GE(png.size(), 8);
        EXPECT_EQ(png.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
        // IHDR: width, height, bit depth 8, colour type 2 (RGB), not interlaced.
        EXPECT_EQ(png.mid(12, 4), QByteArray("IHDR"));
        EXPECT_EQ(static_cast<unsigned char>(png[24]), 8);
        EXPECT_EQ(static_cast<unsigned char>(png[25]), 2);
        EXPECT_EQ(static_cast<unsigned char>(png[28]), 0);
        const QImage back = DecodePng(png);
        QImage expected = img.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < expected.height(); ++y) {  // alpha dropped, colour kept
            auto* line = reinterpret_cast<QRgb*>(expected.scanLine(y));
            for (int x = 0; x < expected.width(); ++x) line[x] |= 0xFF000000u;
        }
        EXPECT_EQ(back, expected) << img.width() << "x" << img.height();
    }
    // The colour under a transparent pixel is what is written.
    EXPECT_EQ(DecodePng(Encode(ImageFormat::Png, translucent)).pixel(2, 2), qRgb(10, 20, 30));
}

TEST(EncodePng, LargePicturesEncodedInTwoBandsDecodeExactly) {
    // From about a million pixels on, the picture is encoded as two bands at once and
    // their streams are joined: even and odd heights, noise, flat colour (all of it
    // still in libpng's buffer at the flush), small pictures, one column.
    QImage noise(1200, 1001, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < noise.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = 0xFF000000u | (seed >> 8);
        }
    }
    QImage flat(1024, 1024, QImage::Format_RGB32);
    flat.fill(qRgb(12, 34, 56));
    const QImage cases[] = {noise,
                            flat,
                            Ramps(1500, 800),
                            PatternImage(4000, 300),
                            PatternImage(5, 2),
                            PatternImage(1, 3),
                            PatternImage(333, 77)};
    for (const QImage& img : cases) {
        // The joined streams themselves (no fall-back to one pass), and what EncodePng
        // writes, which is the same for the large ones.
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const ExportResult r = EncodePngInTwoBands(img, buffer);
        ASSERT_TRUE(r.ok()) << r.error() << " " << img.width() << "x" << img.height();
        const QByteArray png = buffer.data();
        if (qint64{img.width()} * img.height() >= (1 << 20)) {
            EXPECT_EQ(Encode(ImageFormat::Png, img), png);
        }
        EXPECT_EQ(DecodePng(png), img) << img.width() << "x" << img.height();
        EXPECT_EQ(png.right(8).left(4), QByteArray("IEND"));  // one end, at the end
        EXPECT_EQ(png.count("IEND"), 1);
        // Every chunk's checksum holds (Qt's reader does not look at them).
        for (qsizetype at = 8; at + 12 <= png.size();) {
            const qsizetype length = static_cast<qsizetype>(
                (std::uint32_t{static_cast<unsigned char>(png[at])} << 24) |
                (std::uint32_t{static_cast<unsigned char>(png[at + 1])} << 16) |
                (std::uint32_t{static_cast<unsigned char>(png[at + 2])} << 8) |
                static_cast<unsigned char>(png[at + 3]));
            ASSERT_LE(at + 12 + length, png.size());
            const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.constData() + at + 4),
                                    static_cast<uInt>(length + 4));
            const QByteArray stored = png.mid(at + 8 + length, 4);
            EXPECT_EQ(static_cast<unsigned char>(stored[0]), (crc >> 24) & 0xFF);
            EXPECT_EQ(static_cast<unsigned char>(stored[3]), crc & 0xFF);
            at += 12 + length;
        }
    }
    // A device that refuses the bytes fails the large encode too.
    QByteArray bytes("x");
    QBuffer readOnly(&bytes);
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_FALSE(EncodePng(noise, readOnly).ok());
    EXPECT_FALSE(EncodePngInTwoBands(noise, readOnly).ok());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(EncodePngInTwoBands(PatternImage(9, 1), buffer).ok());
}

TEST(EncodePng, EveryFilterLevelAndStrategyDecodesToTheSamePixels) {
    const QImage img = Ramps(97, 31);
    for (int level : {0, 1, 6, 9})
        for (int filters : {0x08, 0x10, 0x20, 0x40, 0x80, 0xF8})
            for (int strategy : {0, 1, 3}) {
                QBuffer buffer;
                buffer.open(QIODevice::WriteOnly);
                ASSERT_TRUE(EncodePng(img, buffer, PngOptions{level, filters, strategy}).ok());
                EXPECT_EQ(DecodePng(buffer.data()), img) << level << " " << filters;
            }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(EncodePng(img, buffer, PngOptions{10, 0x08, 0}).ok());
}

TEST(Encoders, RefuseAnEmptyPictureAndAFailingDevice) {
    for (const ImageFormat f :
         {ImageFormat::Bmp, ImageFormat::Jpeg, ImageFormat::Gif, ImageFormat::Png}) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        const QImage empty;
        const auto encode = [f](const QImage& img, QIODevice& out) {
            switch (f) {
                case ImageFormat::Bmp:
                    return EncodeBmp(img, out);
                case ImageFormat::Jpeg:
                    return EncodeJpeg(img, 60, out);
                case ImageFormat::Gif:
                    return EncodeGif(img, out);
                case ImageFormat::Png:
                    break;
            }
            return EncodePng(img, out);
        };
        ExportResult r = encode(empty, buffer);
        EXPECT_FALSE(r.ok());
        EXPECT_FALSE(r.error().empty());

        QByteArray bytes("x");
        QBuffer readOnly(&bytes);
        readOnly.open(QIODevice::ReadOnly);  // every write fails
        const QImage img = PatternImage(16, 16);
        r = encode(img, readOnly);
        EXPECT_FALSE(r.ok());
        EXPECT_FALSE(r.error().empty());
    }
}

TEST(SaveImage, WritesTheFileOrLeavesTheTargetAsItWas) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage img = PatternImage(20, 10);

    const QString bmp = dir.filePath("a.bmp");
    ASSERT_TRUE(SaveImage(bmp, ImageFormat::Bmp, img, 60).ok());
    EXPECT_EQ(QImage(bmp).convertToFormat(QImage::Format_RGB32), img);

    // A failed encode over an existing file keeps the old file, byte for byte.
    const QByteArray before = ReadWholeFile(bmp);
    EXPECT_FALSE(SaveImage(bmp, ImageFormat::Bmp, QImage(), 60).ok());
    EXPECT_EQ(ReadWholeFile(bmp), before);
    EXPECT_FALSE(SaveImage(bmp, ImageFormat::Jpeg, img, 0).ok());
    EXPECT_EQ(ReadWholeFile(bmp), before);

    // A missing folder: nothing appears, and no temporary file is left behind either.
    // PNG goes the same way: complete file, or the old one kept.
    const QString png = dir.filePath("c.png");
    ASSERT_TRUE(SaveImage(png, ImageFormat::Png, img, 60).ok());
    EXPECT_EQ(DecodePng(ReadWholeFile(png)), img);
    ASSERT_TRUE(QFile::remove(png));

    const QString missing = dir.filePath("no/such/folder/b.gif");
    const ExportResult r = SaveImage(missing, ImageFormat::Gif, img, 60);
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.bmp"});

    // A name without extension is written as given.
    const QString plain = dir.filePath("noext");
    ASSERT_TRUE(SaveImage(plain, ImageFormat::Jpeg, img, 60).ok());
    EXPECT_EQ(DecodeJpeg(ReadWholeFile(plain)).size(), img.size());
}

TEST(ImagelibUtil, ConvertsBmpFilesToJpegAndGif) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage img = Ramps(64, 48);
    const QString source = dir.filePath("in.bmp");
    ASSERT_TRUE(SaveImage(source, ImageFormat::Bmp, img, 60).ok());

    const QString jpg = dir.filePath("out.jpg");
    EXPECT_TRUE(ConvertBmpToJpeg(jpg, source, 80, 0));
    const QImage jpegBack = DecodeJpeg(ReadWholeFile(jpg));
    ASSERT_EQ(jpegBack.size(), img.size());
    EXPECT_GT(Psnr(img, jpegBack), 32.0);

    const QString gif = dir.filePath("out.gif");
    EXPECT_TRUE(ConvertBmpToGif(gif, source, 0));
    const testing::DecodedGif gifBack = DecodeGif(ReadWholeFile(gif));
    ASSERT_EQ(gifBack.image.size(), img.size());
    EXPECT_LE(gifBack.paletteSize, 256);

    // No source, or a target that cannot be written: false, and no file.
    EXPECT_FALSE(ConvertBmpToJpeg(dir.filePath("x.jpg"), dir.filePath("none.bmp"), 60, 0));
    EXPECT_FALSE(ConvertBmpToGif(dir.filePath("x.gif"), dir.filePath("none.bmp"), 0));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("x.jpg")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("x.gif")));
    EXPECT_FALSE(ConvertBmpToJpeg(dir.filePath("no/x.jpg"), source, 60, 0));
    EXPECT_FALSE(ConvertBmpToJpeg(dir.filePath("y.jpg"), source, 101, 0));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("y.jpg")));
}

}  // namespace
}  // namespace trimlet
