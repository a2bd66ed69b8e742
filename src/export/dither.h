#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace trimlet {

struct PaletteColor {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const PaletteColor&) const = default;
};

// The exact nearest palette entry (squared RGB distance; the lowest index on ties).
// The colour cube is cut into 8 x 8 x 8 cells; each cell, when first asked, lists the
// few entries that can be nearest to any colour inside it, sorted by their distance
// to the cell, so a search looks at a handful of entries and stops early.
class NearestColor {
public:
    explicit NearestColor(std::span<const PaletteColor> palette);
    int find(int r, int g, int b) {
        const std::uint32_t key = (static_cast<std::uint32_t>(r) << 16) |
                                  (static_cast<std::uint32_t>(g) << 8) |
                                  static_cast<std::uint32_t>(b);
        if (key == lastKey_) return lastIndex_;  // runs of one colour are common
        lastKey_ = key;
        // Colours come back again and again in smooth areas: a small cache of answers.
        Answer& a = answers_[(key * 2654435761u) >> (32 - kAnswerBits)];
        if (a.key != key + 1) a = {key + 1, static_cast<std::uint32_t>(search(r, g, b))};
        lastIndex_ = static_cast<int>(a.index);
        return lastIndex_;
    }

private:
    struct Candidate {
        std::uint8_t r, g, b, index;  // the entry's colour kept here: no second look-up
        std::uint32_t cellDistance;   // to the nearest point of the cell
    };
    int search(int r, int g, int b);
    void buildCell(int cell);

    std::vector<PaletteColor> palette_;
    std::vector<std::int32_t> cellStart_;  // -1 until built
    std::vector<std::uint16_t> cellCount_;
    std::vector<Candidate> candidates_;
    struct Answer {
        std::uint32_t key = 0;  // the colour plus one; 0: none yet
        std::uint32_t index = 0;
    };
    static constexpr int kAnswerBits = 12;
    std::vector<Answer> answers_ = std::vector<Answer>(std::size_t{1} << kAnswerBits);
    std::uint32_t lastKey_ = 0xFFFFFFFFu;
    int lastIndex_ = 0;
};

// The picture's own colours when it has at most 256 of them (in order of first
// appearance); empty when it has more.
std::optional<std::vector<PaletteColor>> ExactPalette(const QImage& block);

// From this many pixels up the GIF coder runs on a second thread beside the dithering.
inline constexpr qint64 kSecondThreadFromPixels = qint64{1} << 20;
// From this many pixels up the colours are counted in two halves at once. The second
// half's table costs up to a megabyte and a half, a small share only of a picture this
// large.
inline constexpr qint64 kCountInHalvesFromPixels = qint64{1} << 22;

// A colour of the picture (0x00RRGGBB) and how many pixels have it.
struct ColourCount {
    std::uint32_t rgb = 0;
    std::uint32_t count = 0;
};

// Every colour of the picture with its pixel count, in no particular order; empty when
// the picture has more than maxColours colours (the count stops there, so a busy
// photograph costs only its first rows).
std::optional<std::vector<ColourCount>> ColourHistogram(const QImage& block,
                                                        std::size_t maxColours);

// The colours of a picture too busy to count one by one, summed up in the 32 x 32 x 32
// cells of the colour cube: each occupied cell as the rounded mean of its pixels and how
// many there are, looking at every step-th pixel of every step-th row. A small fixed
// table however many colours the picture has.
std::vector<ColourCount> CellMeans(const QImage& block, int step);

// At most `colours` entries for a picture of few distinct colours, by repeatedly
// merging the two groups whose merge adds the least squared error (Ward's method);
// each entry is the rounded mean of its group. Meant for a few thousand colours at
// most: the work grows with the square of their number.
std::vector<PaletteColor> MergeColours(std::span<const ColourCount> histogram, std::size_t colours);

// One round of moving each palette entry to the weighted mean of the colours nearest
// to it: the whole picture's statistics at the cost of its distinct colours.
void RefinePalette(std::span<const ColourCount> histogram, std::vector<PaletteColor>& palette);

// One round of moving each palette entry to the mean of the pixels nearest to it,
// looking at every step-th pixel of every step-th row. Entries that no pixel is
// nearest to stay as they are. Never makes the mapping without diffusion worse.
void RefinePalette(const QImage& block, int step, std::vector<PaletteColor>& palette);

// How DitherToPalette maps: level scales the diffused error, 0 maps each pixel to its
// nearest entry, 1 is full Floyd-Steinberg. runSlack lets a pixel that no entry matches
// exactly keep the entry of the pixel before it when that entry is at most runSlack
// (squared RGB distance) farther than the nearest: where two entries are all but equally
// near, the choice no longer flickers between them, and the longer runs cost LZW far
// fewer codes. Pixels of the palette's own colours always keep their entry.
struct Dithering {
    float level = 1.f;
    int runSlack = 0;
};

// Maps every pixel of block to a palette index with error diffusion in serpentine order.
// Each neighbour's share of an error is truncated toward zero, so errors of a level or
// two die where they arise: flat and smooth areas stay calm instead of filling with
// noise, which is both closer to the picture and far kinder to LZW. out holds width *
// height indices, rows top first. palette holds 1 to 256 entries.
void DitherToPalette(const QImage& block, std::span<const PaletteColor> palette,
                     Dithering dithering, std::uint8_t* out);
// The same, handing each row to rowDone as soon as it is mapped (row y, width indices),
// so the caller need not hold the whole picture's indices; stops when rowDone returns
// false, and returns whether every row was taken.
[[nodiscard]] bool DitherToPalette(
    const QImage& block, std::span<const PaletteColor> palette, Dithering dithering,
    const std::function<bool(int y, const std::uint8_t* row)>& rowDone);

}  // namespace trimlet
