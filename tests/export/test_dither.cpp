#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>

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
        // Colours asked for more than once, in changing order: answers remembered,
        // displaced by others and found again.
        std::vector<std::array<int, 3>> colours(6000);
        for (auto& col : colours) col = {c(rng), c(rng), c(rng)};
        for (int round = 0; round < 3; ++round) {
            std::shuffle(colours.begin(), colours.end(), rng);
            for (const auto& [r, g, b] : colours)
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
        DitherToPalette(img, blackWhite, {1.0f}, out.data());
        double mean = 0;
        for (std::uint8_t i : out) mean += i ? 255 : 0;
        mean /= static_cast<double>(out.size());
        // Each share of an error is truncated, so a little of it is lost on the way.
        EXPECT_NEAR(mean, grey, 3.0) << "grey " << grey;

        // Without diffusion every pixel takes its nearest entry.
        DitherToPalette(img, blackWhite, {0.0f}, out.data());
        for (std::uint8_t i : out) ASSERT_EQ(i, grey > 127 ? 1 : 0);
    }
}

// An area a level or so off a palette entry takes that entry everywhere: no noise of
// neighbouring entries in flat and smooth parts, which would cost PSNR and LZW bytes.
TEST(DitherToPalette, LetsErrorsOfALevelOrTwoDieInsteadOfSpreadingNoise) {
    std::vector<PaletteColor> greys;
    for (int v = 0; v < 256; v += 4) {
        const auto g = static_cast<std::uint8_t>(v);
        greys.push_back({g, g, g});
    }
    for (const int level : {101, 102, 150}) {
        const QImage img = Flat(80, 40, qRgb(level, level, level));
        std::vector<std::uint8_t> out(80 * 40);
        DitherToPalette(img, greys, {1.0f}, out.data());
        const std::uint8_t nearest = static_cast<std::uint8_t>(level / 4);
        for (std::uint8_t i : out) ASSERT_EQ(i, nearest) << "level " << level;
    }
}

// Without diffusion, so each pixel's choice is its own: A = (0,0,0), B = (1,1,0).
TEST(DitherToPalette, KeepsTheEntryBeforeWhenItIsWithinTheRunSlack) {
    const std::vector<PaletteColor> palette = {{0, 0, 0}, {1, 1, 0}};
    struct Case {
        const char* what;
        std::vector<QRgb> row;
        int slack;
        std::vector<std::uint8_t> want;
    };
    const QRgb a = qRgb(0, 0, 0), b = qRgb(1, 1, 0);
    const QRgb nearB = qRgb(1, 1, 1);  // 1 from B, 3 from A
    const std::vector<Case> cases = {
        {"no slack: the nearest", {a, nearB, a, nearB}, 0, {0, 1, 0, 1}},
        {"A is 2 farther: too far for 1", {a, nearB, a, nearB}, 1, {0, 1, 0, 1}},
        {"within 2: A's run goes on", {a, nearB, a, nearB}, 2, {0, 0, 0, 0}},
        {"a palette colour keeps its entry", {a, b, a, b}, 100, {0, 1, 0, 1}},
        {"the run is B's once B is exact", {b, nearB, nearB, a}, 2, {1, 1, 1, 0}},
    };
    for (const Case& c : cases) {
        // Two rows: the second runs right to left and starts from its own first pixel.
        QImage img(static_cast<int>(c.row.size()), 2, QImage::Format_RGB32);
        for (int x = 0; x < img.width(); ++x) {
            img.setPixel(x, 0, c.row[static_cast<std::size_t>(x)]);
            img.setPixel(img.width() - 1 - x, 1, c.row[static_cast<std::size_t>(x)]);
        }
        std::vector<std::uint8_t> out(c.row.size() * 2);
        DitherToPalette(img, palette, {0.0f, c.slack}, out.data());
        const std::vector<std::uint8_t> top(out.begin(), out.begin() + img.width());
        const std::vector<std::uint8_t> bottom(out.rbegin(), out.rbegin() + img.width());
        EXPECT_EQ(top, c.want) << c.what;
        EXPECT_EQ(bottom, c.want) << c.what << ", right to left";
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
    for (const int slack : {0, 2, 1000}) {
        DitherToPalette(img, palette, {1.0f, slack}, out.data());
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) {
                const PaletteColor& c = palette[out[static_cast<std::size_t>(y * 30 + x)]];
                ASSERT_EQ(qRgb(c.r, c.g, c.b), img.pixel(x, y)) << x << "," << y << " " << slack;
            }
    }

    // Random pixels without diffusion: each the nearest entry.
    std::uniform_int_distribution<int> c(0, 255);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) img.setPixel(x, y, qRgb(c(rng), c(rng), c(rng)));
    DitherToPalette(img, palette, {0.0f}, out.data());
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

TEST(ColourHistogram, CountsEveryPixelOfEachColourAndGivesUpPastTheLimit) {
    QImage img(10, 3, QImage::Format_ARGB32);
    img.fill(qRgba(1, 2, 3, 255));
    img.setPixel(4, 1, qRgba(200, 100, 0, 7));  // alpha is ignored
    img.setPixel(9, 2, qRgba(200, 100, 0, 255));
    img.setPixel(0, 0, qRgb(9, 9, 9));
    auto h = ColourHistogram(img, 3);
    ASSERT_TRUE(h.has_value());
    std::map<std::uint32_t, std::uint32_t> counts;
    for (const ColourCount& c : *h) counts[c.rgb] = c.count;
    EXPECT_EQ(counts, (std::map<std::uint32_t, std::uint32_t>{
                          {0x010203u, 27}, {0xC86400u, 2}, {0x090909u, 1}}));
    EXPECT_FALSE(ColourHistogram(img, 2).has_value());
}

TEST(ColourHistogram, LargePicturesCountedInTwoHalvesGiveTheSameCounts) {
    // 2048 x 2100: counted on two threads. Colours shared by both halves, colours of one
    // half only, and runs across the whole width.
    QImage img(2048, 2100, QImage::Format_RGB32);
    ASSERT_GE(qint64{img.width()} * img.height(), kCountInHalvesFromPixels);
    std::map<std::uint32_t, std::uint32_t> want;
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const std::uint32_t rgb =
                y % 7 == 0 ? 0x102030u
                           : (static_cast<std::uint32_t>(x / 8) << 8) |
                                 static_cast<std::uint32_t>(y < img.height() / 2 ? 1 : 2);
            row[x] = 0xFF000000u | rgb;
        }
        for (int x = 0; x < img.width(); x += 8) want[row[x] & 0xFFFFFFu] += 8;
    }
    const auto h = ColourHistogram(img, want.size());
    ASSERT_TRUE(h.has_value());
    std::map<std::uint32_t, std::uint32_t> counts;
    for (const ColourCount& c : *h) counts[c.rgb] = c.count;
    EXPECT_EQ(counts, want);
    // Each half alone fits one colour fewer; together they do not.
    EXPECT_FALSE(ColourHistogram(img, want.size() - 1).has_value());
}

TEST(ColourHistogram, KeepsEveryCountWhileItsTableGrows) {
    // 65,536 colours, two pixels each, spread over all three channels; colours that
    // differ in red alone are among them.
    QImage img(512, 256, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const std::uint32_t i = static_cast<std::uint32_t>(y * img.width() + x) / 2;
            row[x] = 0xFF000000u | ((i * 0x9E3779u) & 0xFFFFFFu);  // odd: a permutation
        }
    }
    const auto h = ColourHistogram(img, 65536);
    ASSERT_TRUE(h.has_value());
    EXPECT_EQ(h->size(), 65536u);
    EXPECT_TRUE(
        std::all_of(h->begin(), h->end(), [](const ColourCount& c) { return c.count == 2; }));
    std::set<std::uint32_t> distinct;
    for (const ColourCount& c : *h) distinct.insert(c.rgb);
    EXPECT_EQ(distinct.size(), 65536u);
    EXPECT_FALSE(ColourHistogram(img, 65535).has_value());
}

TEST(CellMeans, OneRoundedMeanAndCountPerOccupiedCellOfTheSample) {
    QImage img(4, 2, QImage::Format_RGB32);
    // Row 0: two pixels in the cell of (0..7, 0..7, 0..7), two in that of (248.., 0, 8..).
    const QRgb pixels[2][4] = {
        {qRgb(1, 2, 3), qRgb(2, 2, 6), qRgb(250, 0, 8), qRgb(255, 7, 15)},
        {qRgb(100, 100, 100), qRgb(7, 7, 7), qRgb(100, 100, 100), qRgb(7, 7, 7)}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) img.setPixel(x, y, pixels[y][x]);
    const auto asMap = [](const std::vector<ColourCount>& cells) {
        std::map<std::uint32_t, std::uint32_t> m;
        for (const ColourCount& c : cells) m[c.rgb] = c.count;
        return m;
    };
    struct Case {
        int step;
        std::map<std::uint32_t, std::uint32_t> want;
    };
    const Case cases[] = {
        // (1+2+7+7)/4 = 4.25, (2+2+7+7)/4 = 4.5 rounds up, (3+6+7+7)/4 = 5.75
        {1, {{0x040506u, 4}, {0xFD040Cu, 2}, {0x646464u, 2}}},
        // Every other pixel of every other row: (1,2,3) and (250,0,8) only.
        {2, {{0x010203u, 1}, {0xFA0008u, 1}}},
    };
    for (const Case& c : cases) EXPECT_EQ(asMap(CellMeans(img, c.step)), c.want) << c.step;
}

TEST(MergeColours, KeepsFewColoursExactlyAndMergesTheCheapestPairFirst) {
    const std::vector<ColourCount> three = {{0x000000u, 50}, {0xFFFFFFu, 50}, {0x0A0A0Au, 1}};
    std::vector<PaletteColor> kept = MergeColours(three, 3);
    ASSERT_EQ(kept.size(), 3u);
    // Down to two: the rare colour joins black (its near neighbour), not white, and the
    // mean moves by a fiftieth of the distance only.
    std::vector<PaletteColor> two = MergeColours(three, 2);
    std::sort(two.begin(), two.end(), [](auto a, auto b) { return a.r < b.r; });
    EXPECT_EQ(two, (std::vector<PaletteColor>{{0, 0, 0}, {255, 255, 255}}));

    // Text-like: 300 colours, 200 of them common; 256 entries keep every common one.
    std::vector<ColourCount> text;
    for (std::uint32_t i = 0; i < 200; ++i)
        text.push_back({(i << 16) | ((255 - i) << 8) | (i / 2), 1000});
    for (std::uint32_t i = 0; i < 100; ++i) text.push_back({0x800000u | i * 2, 1});
    const std::vector<PaletteColor> palette = MergeColours(text, 256);
    EXPECT_EQ(palette.size(), 256u);
    for (std::size_t i = 0; i < 200; ++i) {
        const std::uint32_t rgb = text[i].rgb;
        const PaletteColor c{static_cast<std::uint8_t>(rgb >> 16),
                             static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb)};
        EXPECT_NE(std::find(palette.begin(), palette.end(), c), palette.end()) << i;
    }
}

TEST(RefinePalette, FromAHistogramWeighsEachColourByItsCount) {
    const std::vector<ColourCount> h = {{0x0A0A0Au, 3}, {0x141414u, 1}, {0xF0F0F0u, 5}};
    std::vector<PaletteColor> palette = {{0, 0, 0}, {255, 255, 255}, {0, 255, 0}};
    RefinePalette(h, palette);
    EXPECT_EQ(palette[0], (PaletteColor{13, 13, 13}));  // (3 * 10 + 20) / 4 = 12.5
    EXPECT_EQ(palette[1], (PaletteColor{240, 240, 240}));
    EXPECT_EQ(palette[2], (PaletteColor{0, 255, 0}));
}

}  // namespace
}  // namespace trimlet
