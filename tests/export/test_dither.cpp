#include <gtest/gtest.h>

#include <random>

#include "export/dither.h"

namespace trimlet {
namespace {

int BruteForceNearest(const std::vector<PaletteColor>& palette, int r, int g, int b) {
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const long dr = palette[i].r - r, dg = palette[i].g - g, db = palette[i].b - b;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

std::vector<PaletteColor> RandomPalette(std::mt19937& rng, int size) {
    std::uniform_int_distribution<int> c(0, 255);
    std::vector<PaletteColor> p(static_cast<std::size_t>(size));
    for (PaletteColor& e : p)
        e = {static_cast<std::uint8_t>(c(rng)), static_cast<std::uint8_t>(c(rng)),
             static_cast<std::uint8_t>(c(rng))};
    return p;
}

TEST(NearestColor, AgreesWithABruteForceSearch) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> c(0, 255);
    for (int size : {1, 2, 3, 17, 100, 256}) {
        std::vector<PaletteColor> palette = RandomPalette(rng, size);
        if (size >= 3) palette[2] = palette[1];  // a duplicate: the lower index wins
        NearestColor nearest(palette);
        for (int i = 0; i < 20000; ++i) {
            const int r = c(rng), g = c(rng), b = c(rng);
            ASSERT_EQ(nearest.find(r, g, b), BruteForceNearest(palette, r, g, b))
                << "palette of " << size << ", colour " << r << "," << g << "," << b;
        }
        // Every entry finds itself (or its lower twin), also on cell corners.
        for (std::size_t i = 0; i < palette.size(); ++i)
            EXPECT_EQ(nearest.find(palette[i].r, palette[i].g, palette[i].b),
                      BruteForceNearest(palette, palette[i].r, palette[i].g, palette[i].b));
        for (int v : {0, 7, 8, 255})
            EXPECT_EQ(nearest.find(v, 255 - v, v), BruteForceNearest(palette, v, 255 - v, v));
    }
}

QImage Flat(int w, int h, QRgb colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

TEST(DitherToPalette, SpreadsTheErrorSoAreasKeepTheirMeanColour) {
    const std::vector<PaletteColor> blackWhite = {{0, 0, 0}, {255, 255, 255}};
    for (const int grey : {32, 128, 200}) {
        const QImage img = Flat(64, 64, qRgb(grey, grey, grey));
        std::vector<std::uint8_t> out(64 * 64);
        DitherToPalette(img, blackWhite, 1.0f, out.data());
        double mean = 0;
        for (std::uint8_t i : out) mean += i ? 255 : 0;
        mean /= static_cast<double>(out.size());
        EXPECT_NEAR(mean, grey, 2.0) << "grey " << grey;

        // Without diffusion every pixel takes its nearest entry.
        DitherToPalette(img, blackWhite, 0.0f, out.data());
        for (std::uint8_t i : out) ASSERT_EQ(i, grey > 127 ? 1 : 0);
    }
}

TEST(DitherToPalette, KeepsColoursOfThePaletteExactAndMatchesNearestWithoutDiffusion) {
    std::mt19937 rng(99);
    const std::vector<PaletteColor> palette = RandomPalette(rng, 40);
    // Blocks of palette colours stay exact even with full diffusion.
    QImage img(30, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const PaletteColor& c = palette[static_cast<std::size_t>((x / 5 + y / 4 * 6) % 40)];
            img.setPixel(x, y, qRgb(c.r, c.g, c.b));
        }
    std::vector<std::uint8_t> out(30 * 20);
    DitherToPalette(img, palette, 1.0f, out.data());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const PaletteColor& c = palette[out[static_cast<std::size_t>(y * 30 + x)]];
            ASSERT_EQ(qRgb(c.r, c.g, c.b), img.pixel(x, y)) << x << "," << y;
        }

    // Random pixels without diffusion: each the nearest entry.
    std::uniform_int_distribution<int> c(0, 255);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) img.setPixel(x, y, qRgb(c(rng), c(rng), c(rng)));
    DitherToPalette(img, palette, 0.0f, out.data());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const QRgb p = img.pixel(x, y);
            ASSERT_EQ(out[static_cast<std::size_t>(y * 30 + x)],
                      BruteForceNearest(palette, qRed(p), qGreen(p), qBlue(p)));
        }
}

TEST(ExactPalette, ListsUpTo256ColoursInOrderOfAppearance) {
    QImage img(16, 16, QImage::Format_RGB32);
    for (int i = 0; i < 256; ++i) img.setPixel(i % 16, i / 16, qRgb(i, 255 - i, i / 2));
    const auto all = ExactPalette(img);
    ASSERT_TRUE(all.has_value());
    ASSERT_EQ(all->size(), 256u);
    EXPECT_EQ((*all)[0], (PaletteColor{0, 255, 0}));
    EXPECT_EQ((*all)[255], (PaletteColor{255, 0, 127}));

    QImage more = img.copy(0, 0, 16, 17);  // one row more, one colour more
    more.setPixel(0, 16, qRgb(1, 2, 3));
    EXPECT_FALSE(ExactPalette(more).has_value());

    const auto one = ExactPalette(Flat(3, 2, qRgb(9, 8, 7)));
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(*one, (std::vector<PaletteColor>{{9, 8, 7}}));
}

TEST(RefinePalette, MovesEachEntryToTheMeanOfItsPixels) {
    QImage img(8, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            img.setPixel(x, y, x < 4 ? qRgb(20 + y % 2 * 2, 30, 40) : qRgb(180, 170, 160));
    std::vector<PaletteColor> palette = {{10, 10, 10}, {200, 200, 200}, {255, 0, 0}};
    RefinePalette(img, 1, palette);
    EXPECT_EQ(palette[0], (PaletteColor{21, 30, 40}));
    EXPECT_EQ(palette[1], (PaletteColor{180, 170, 160}));
    EXPECT_EQ(palette[2], (PaletteColor{255, 0, 0}));  // nearest to no pixel: unchanged

    // A sample of every other pixel of every other row sees only even rows.
    std::vector<PaletteColor> sampled = {{10, 10, 10}, {200, 200, 200}};
    RefinePalette(img, 2, sampled);
    EXPECT_EQ(sampled[0], (PaletteColor{20, 30, 40}));
}

}  // namespace
}  // namespace trimlet
