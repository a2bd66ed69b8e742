#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "export/decode_util.h"
#include "export/encoders.h"
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

    // Other pixel formats are converted where the save enters, once; the encoders
    // themselves take only 32-bit pixels.
    const QImage rgb888 = PatternImage(9, 4).convertToFormat(QImage::Format_RGB888);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(SaveImage(dir.filePath("a.bmp"), ImageFormat::Bmp, rgb888, 60).ok());
    EXPECT_EQ(QImage(dir.filePath("a.bmp")).convertToFormat(QImage::Format_RGB32),
              PatternImage(9, 4));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(EncodeBmp(rgb888, buffer).ok());
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
    // The coder beside the dithering writes what it writes after each row.
    QBuffer plain;
    plain.open(QIODevice::WriteOnly);
    GifOptions oneThread;
    oneThread.secondThread = false;
    ASSERT_TRUE(EncodeGif(img, plain, oneThread).ok());
    EXPECT_EQ(plain.data(), file);
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

// The picture as a PNG must give it back: opaque, the colour under any alpha kept.
QImage Opaque(const QImage& img) {
    QImage expected = img.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < expected.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(expected.scanLine(y));
        for (int x = 0; x < expected.width(); ++x) line[x] |= 0xFF000000u;
    }
    return expected;
}

std::uint32_t U32Be(const QByteArray& b, qsizetype at) {
    return (std::uint32_t{static_cast<unsigned char>(b[at])} << 24) |
           (std::uint32_t{static_cast<unsigned char>(b[at + 1])} << 16) |
           (std::uint32_t{static_cast<unsigned char>(b[at + 2])} << 8) |
           static_cast<unsigned char>(b[at + 3]);
}

// Every chunk's checksum holds (Qt's reader does not look at them); one IEND, at the end.
void ExpectWellFormedChunks(const QByteArray& png) {
    ASSERT_EQ(png.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    qsizetype at = 8;
    while (at + 12 <= png.size()) {
        const qsizetype length = U32Be(png, at);
        ASSERT_LE(at + 12 + length, png.size());
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.constData() + at + 4),
                                static_cast<uInt>(length + 4));
        EXPECT_EQ(U32Be(png, at + 8 + length), crc) << png.mid(at + 4, 4).toStdString();
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    EXPECT_EQ(png.right(8).left(4), QByteArray("IEND"));
    EXPECT_EQ(png.count("IEND"), 1);
}

// A w x h picture of every one of the given colours.
QImage OfColours(int w, int h, const std::vector<QRgb>& colours) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, colours[static_cast<std::size_t>(x + y * w) % colours.size()]);
    return img;
}

std::vector<QRgb> Greys(int count, int step) {
    std::vector<QRgb> out;
    for (int i = 0; i < count; ++i) out.push_back(qRgb(i * step, i * step, i * step));
    return out;
}

std::vector<QRgb> Colours(int count) {
    std::vector<QRgb> out;
    for (int i = 0; i < count; ++i)
        out.push_back(qRgb((i * 37) & 0xFF, (i * 91 + 3) & 0xFF, (i * 13 + i / 256) & 0xFF));
    return out;
}

TEST(EncodePng, TheSmallestLayoutDecodesExactlyWithQtAndLibpngForEveryTypeAndDepth) {
    QImage noise(700, 500, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < noise.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = 0xFF000000u | (seed >> 8);
        }
    }
    // Bands of ramps (filtered best) and of white with dots (unfiltered best): with small
    // chunks each chunk's history is the one before, filtered or not as its trial chose.
    QImage bands(300, 120, QImage::Format_RGB32);
    for (int y = 0; y < bands.height(); ++y)
        for (int x = 0; x < bands.width(); ++x)
            bands.setPixel(x, y,
                           (y / 10) % 2 ? ((x * 7 + y) % 23 ? 0xFFFFFFFFu : 0xFF000000u)
                                        : qRgb(x & 0xFF, (2 * y) & 0xFF, (x + y) & 0xFF));
    QImage wide = PatternImage(40, 30);
    const QImage view(wide.constBits() + 3 * wide.bytesPerLine() + 5 * 4, 17, 9,
                      wide.bytesPerLine(), QImage::Format_RGB32);
    QImage translucent = PatternImage(7, 5).convertToFormat(QImage::Format_ARGB32);
    translucent.setPixel(2, 2, qRgba(10, 20, 30, 0));
    const struct {
        const char* what;
        QImage picture;
        int colourType;  // 0 grey, 2 RGB, 3 palette
        int depth;
    } cases[] = {
        {"one black pixel", PatternImage(1, 1), 0, 1},
        {"two colours", OfColours(37, 23, Colours(2)), 3, 1},
        {"black and white", OfColours(37, 23, Greys(2, 255)), 0, 1},
        {"four greys of 2 bits", OfColours(37, 23, Greys(4, 85)), 0, 2},
        {"four colours", OfColours(37, 23, Colours(4)), 3, 2},
        {"sixteen greys of 4 bits", OfColours(37, 23, Greys(16, 17)), 0, 4},
        {"ten uneven greys", OfColours(37, 23, Greys(10, 3)), 3, 4},
        {"sixteen colours", OfColours(37, 23, Colours(16)), 3, 4},
        {"17 colours", OfColours(37, 23, Colours(17)), 3, 8},
        {"256 colours", OfColours(301, 17, Colours(256)), 3, 8},
        {"256 greys", OfColours(301, 17, Greys(256, 1)), 0, 8},
        {"257 colours", OfColours(301, 17, Colours(257)), 2, 8},
        {"ramps", Ramps(64, 64), 2, 8},
        {"a view with a wider stride", view, 3, 8},
        {"alpha ignored", translucent, 3, 8},
        {"one row", PatternImage(333, 1), 2, 8},
        {"one column", PatternImage(1, 50), 3, 8},
        {"noise", noise, 2, 8},
        {"bands", bands, 2, 8},
        {"a large flat diagram", OfColours(1500, 900, Colours(12)), 3, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage expected = Opaque(c.picture);
        // The default chunks (several for the larger pictures), many small chunks on two
        // threads, and the same on one: the joined streams must decode the same.
        for (const PngOptions options :
             {PngOptions{}, PngOptions{0, 0, 1000, true}, PngOptions{0, 0, 1000, false}}) {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            const ExportResult r = EncodePng(c.picture, buffer, options);
            ASSERT_TRUE(r.ok()) << r.error();
            const QByteArray png = buffer.data();
            ExpectWellFormedChunks(png);
            EXPECT_EQ(png.mid(12, 4), QByteArray("IHDR"));
            EXPECT_EQ(static_cast<unsigned char>(png[24]), c.depth);
            EXPECT_EQ(static_cast<unsigned char>(png[25]), c.colourType);
            EXPECT_EQ(static_cast<unsigned char>(png[28]), 0);  // not interlaced
            EXPECT_EQ(DecodePng(png), expected);
            EXPECT_EQ(testing::DecodePngWithLibpng(png), expected);
        }
        // The plain libpng path writes the same layout and the same pixels.
        QBuffer plain;
        plain.open(QIODevice::WriteOnly);
        ASSERT_TRUE(EncodePngWithLibpng(c.picture, plain).ok());
        EXPECT_EQ(static_cast<unsigned char>(plain.data()[24]), c.depth);
        EXPECT_EQ(static_cast<unsigned char>(plain.data()[25]), c.colourType);
        EXPECT_EQ(testing::DecodePngWithLibpng(plain.data()), expected);
    }
}

TEST(EncodePng, EveryFilterAndLevelDecodesToTheSamePixels) {
    for (const QImage& img : {Ramps(97, 31), OfColours(97, 31, Greys(200, 1))}) {
        for (int level : {1, 6, 12})
            for (unsigned filters : {kPngFilterNone, kPngFilterSub, kPngFilterUp, kPngFilterAverage,
                                     kPngFilterPaeth, kPngFilterAll}) {
                QBuffer buffer;
                buffer.open(QIODevice::WriteOnly);
                ASSERT_TRUE(EncodePng(img, buffer, PngOptions{level, filters, 700, true}).ok());
                EXPECT_EQ(DecodePng(buffer.data()), img) << level << " " << filters;
            }
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(EncodePng(Ramps(9, 9), buffer, PngOptions{13, 0, 0, true}).ok());
    EXPECT_FALSE(EncodePng(Ramps(9, 9), buffer, PngOptions{6, 0x20, 0, true}).ok());
}

TEST(EncodePng, AFailingDeviceFailsEveryChunkedEncodeWithoutHanging) {
    for (const bool secondThread : {true, false}) {
        QByteArray bytes("x");
        QBuffer readOnly(&bytes);
        readOnly.open(QIODevice::ReadOnly);
        EXPECT_FALSE(
            EncodePng(Ramps(300, 200), readOnly, PngOptions{0, 0, 1000, secondThread}).ok());
    }
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

// Memory running out in the middle of a save (the address space capped, in a child
// process, to a megabyte above what it holds): the save says it failed, the file that
// was there stays as it was, and the program lives on. PNG's chunks and GIF's colour
// tables need several megabytes here (BMP and JPEG go row by row, and get by).
TEST(SaveImage, RunningOutOfMemoryFailsTheSaveAndKeepsTheOldFile) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any cap allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any cap allows";
#endif
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("old.png");
    const QByteArray before = "the picture saved before";
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(before) == before.size());
    old.close();
    QImage big(3000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x) row[x] = 0xFF000000u | (x * 2654435761u ^ y * 40503u);
    }
    for (const ImageFormat format : {ImageFormat::Png, ImageFormat::Gif}) {
        EXPECT_EXIT(
            {
                long pages = 0;
                if (FILE* f = std::fopen("/proc/self/statm", "r")) {
                    if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
                    std::fclose(f);
                }
                rlimit old{};
                if (pages == 0 || getrlimit(RLIMIT_AS, &old) != 0) std::_Exit(3);
                rlimit cap = old;
                cap.rlim_cur =
                    static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                    (rlim_t{1} << 20);
                if (setrlimit(RLIMIT_AS, &cap) != 0) std::_Exit(3);
                const ExportResult r = SaveImage(path, format, big, 80);
                setrlimit(RLIMIT_AS, &old);
                const bool kept = ReadWholeFile(path) == before &&
                                  QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) ==
                                      QStringList{QStringLiteral("old.png")};
                std::_Exit(r.ok() ? 1 : kept ? 0 : 2);
            },
            ::testing::ExitedWithCode(0), "")
            << "format " << static_cast<int>(format);
    }
}

}  // namespace
}  // namespace trimlet
