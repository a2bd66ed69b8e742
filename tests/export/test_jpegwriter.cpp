#include <gtest/gtest.h>

#include <QBuffer>
#include <cstdio>
#include <random>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "export/decode_util.h"
#include "export/encoders.h"
#include "export/jpegwriter.h"
#include "support/fakes.h"

namespace trimlet {
namespace {

using testing::DecodeJpeg;
using testing::PatternImage;
using testing::Psnr;

// libjpeg's own encoder, one-pass with the standard tables or two-pass optimised, on
// the same pixels and settings: the reference our writer must match.
QByteArray LibjpegReference(const QImage& img, int quality, JpegChroma chroma, bool optimise) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = static_cast<JDIMENSION>(img.width());
    cinfo.image_height = static_cast<JDIMENSION>(img.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_FLOAT;
    const int f = chroma == JpegChroma::Full ? 1 : 2;
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = f;
    cinfo.optimize_coding = optimise ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(img.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char*>(mem), static_cast<qsizetype>(size));
    std::free(mem);
    return out;
}

QByteArray Write(const QImage& img, int quality, JpegChroma chroma, JpegStats* stats = nullptr) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const ExportResult r = WriteJpeg(img, quality, chroma, buffer, stats);
    EXPECT_TRUE(r.ok()) << r.error();
    return buffer.data();
}

QImage Noise(int w, int h, unsigned seed) {
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = 0xFF000000u | (rng() & 0xFFFFFFu);
    }
    return img;
}

QImage Gradient(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y,
                         qRgb(40 + x * 150 / w, 60 + y * 120 / h, 200 - (x + y) * 90 / (w + h)));
    return img;
}

// Text-like: thin coloured strokes on white.
QImage ColouredLines(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    const QRgb inks[] = {qRgb(200, 0, 0), qRgb(0, 90, 200), qRgb(20, 150, 40)};
    for (int y = 2; y < h; y += 5)
        for (int x = 0; x < w; ++x)
            if ((x / 3 + y) % 4 != 0) img.setPixel(x, y, inks[(y / 5) % 3]);
    return img;
}

// Our single pass with recorded symbols gives the very file libjpeg's two-pass
// optimisation gives, up to how the tables are grouped into DHT segments (ours is
// one segment for all, libjpeg's one per table: 4 bytes each).
TEST(WriteJpeg, MatchesLibjpegsOwnOptimisationPixelForPixelAndInSize) {
    struct Case {
        const char* name;
        QImage image;
    };
    const Case pictures[] = {
        {"gradient", Gradient(203, 117)},  {"pattern", PatternImage(64, 48)},
        {"noise", Noise(40, 33, 1)},       {"lines", ColouredLines(97, 61)},
        {"one pixel", PatternImage(1, 1)}, {"odd", PatternImage(17, 9)},
    };
    for (const Case& c : pictures) {
        for (int quality : {1, 10, 60, 89, 90, 100}) {
            for (JpegChroma chroma : {JpegChroma::Half, JpegChroma::Full}) {
                SCOPED_TRACE(::testing::Message()
                             << c.name << " q" << quality << " "
                             << (chroma == JpegChroma::Full ? "4:4:4" : "4:2:0"));
                JpegStats stats;
                const QByteArray ours = Write(c.image, quality, chroma, &stats);
                EXPECT_TRUE(stats.optimisedTables);
                const QByteArray ref = LibjpegReference(c.image, quality, chroma, true);
                const QImage back = DecodeJpeg(ours);
                ASSERT_EQ(back.size(), c.image.size());
                EXPECT_EQ(back, DecodeJpeg(ref));
                EXPECT_LE(ours.size(), ref.size());
                EXPECT_GE(ours.size(), ref.size() - 12);
                EXPECT_LE(ours.size(), LibjpegReference(c.image, quality, chroma, false).size());
            }
        }
    }
}

TEST(WriteJpeg, SmoothPicturesShrinkMostAgainstTheStandardTables) {
    const QImage img = Gradient(640, 360);
    const QByteArray ours = Write(img, 60, JpegChroma::Half);
    const QByteArray standard = LibjpegReference(img, 60, JpegChroma::Half, false);
    EXPECT_LT(ours.size() * 10, standard.size() * 8) << ours.size() << " vs " << standard.size();
}

TEST(EncodeJpeg, SamplesChromaFullyFromQuality90) {
    struct Case {
        int quality;
        int expected;
    };
    for (const Case c : {Case{1, TJSAMP_420}, Case{60, TJSAMP_420}, Case{89, TJSAMP_420},
                         Case{90, TJSAMP_444}, Case{95, TJSAMP_444}, Case{100, TJSAMP_444}}) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(EncodeJpeg(PatternImage(32, 32), c.quality, buffer).ok());
        const std::unique_ptr<void, int (*)(void*)> tj(tjInitDecompress(), tjDestroy);
        int w = 0, h = 0, sub = -1, space = -1;
        ASSERT_EQ(tjDecompressHeader3(
                      tj.get(), reinterpret_cast<const unsigned char*>(buffer.data().constData()),
                      static_cast<unsigned long>(buffer.data().size()), &w, &h, &sub, &space),
                  0);
        EXPECT_EQ(sub, c.expected) << "quality " << c.quality;
    }
    // What full chroma is for: thin coloured strokes stay far closer.
    const QImage lines = ColouredLines(160, 120);
    const double full = Psnr(lines, DecodeJpeg(Write(lines, 90, JpegChroma::Full)));
    const double half = Psnr(lines, DecodeJpeg(Write(lines, 90, JpegChroma::Half)));
    EXPECT_GT(full, half + 2.0) << full << " vs " << half;
}

// A picture with more symbols than a third of its own memory: written with the
// standard tables, still a sound file.
TEST(WriteJpeg, FallsBackToTheStandardTablesWhenThePictureIsTooBusy) {
    const QImage noise = Noise(512, 512, 7);
    JpegStats stats;
    const QByteArray ours = Write(noise, 100, JpegChroma::Full, &stats);
    EXPECT_FALSE(stats.optimisedTables);
    EXPECT_EQ(ours, LibjpegReference(noise, 100, JpegChroma::Full, false));
}

// The buffers kept between saves: a smaller picture after a larger one, and the same
// picture twice, give exactly what a first save gives.
TEST(WriteJpeg, KeptBuffersDoNotLeakIntoTheNextSave) {
    const QImage small = PatternImage(33, 21);
    const QImage large = Gradient(700, 500);
    const QByteArray firstSmall = Write(small, 75, JpegChroma::Half);
    const QByteArray firstLarge = Write(large, 92, JpegChroma::Full);
    EXPECT_EQ(Write(small, 75, JpegChroma::Half), firstSmall);
    EXPECT_EQ(Write(large, 92, JpegChroma::Full), firstLarge);
    const QImage busy = Noise(512, 512, 3);
    (void)Write(busy, 100, JpegChroma::Full);  // fills the symbol store to its limit
    EXPECT_EQ(Write(small, 75, JpegChroma::Half), firstSmall);
}

TEST(WriteJpeg, ReportsADeviceThatRefusesTheBytes) {
    QByteArray bytes;
    QBuffer readOnly(&bytes);
    readOnly.open(QIODevice::ReadOnly);
    for (const QImage& img : {Gradient(300, 200), Noise(512, 512, 5)}) {
        const ExportResult r = WriteJpeg(img, 100, JpegChroma::Full, readOnly);
        EXPECT_FALSE(r.ok());
        EXPECT_FALSE(r.error().empty());
    }
}

}  // namespace
}  // namespace trimlet
