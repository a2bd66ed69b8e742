#include "export/dither.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace trimlet {
namespace {

constexpr int kCellBits = 3;  // cells of 8 levels per channel
constexpr int kCellsPerAxis = 256 >> kCellBits;
constexpr int kCellSize = 1 << kCellBits;

int CellOf(int r, int g, int b) {
    return ((r >> kCellBits) * kCellsPerAxis + (g >> kCellBits)) * kCellsPerAxis + (b >> kCellBits);
}

std::uint32_t Square(int v) { return static_cast<std::uint32_t>(v * v); }

// Squared distance from c to the nearest and to the farthest level of [lo, hi].
std::uint32_t Near(int c, int lo, int hi) {
    return c < lo ? Square(lo - c) : c > hi ? Square(c - hi) : 0;
}
std::uint32_t Far(int c, int lo, int hi) {
    return Square(std::max(std::abs(c - lo), std::abs(c - hi)));
}

}  // namespace

NearestColor::NearestColor(std::span<const PaletteColor> palette)
    : palette_(palette.begin(), palette.end()),
      cellStart_(static_cast<std::size_t>(kCellsPerAxis) * kCellsPerAxis * kCellsPerAxis, -1),
      cellCount_(cellStart_.size(), 0) {}

void NearestColor::buildCell(int cell) {
    const int r0 = (cell / (kCellsPerAxis * kCellsPerAxis)) * kCellSize;
    const int g0 = (cell / kCellsPerAxis % kCellsPerAxis) * kCellSize;
    const int b0 = (cell % kCellsPerAxis) * kCellSize;
    const int r1 = r0 + kCellSize - 1, g1 = g0 + kCellSize - 1, b1 = b0 + kCellSize - 1;
    // Every colour of the cell is at most `bound` from some entry; an entry farther
    // than that from the whole cell is never the nearest.
    std::uint32_t bound = std::numeric_limits<std::uint32_t>::max();
    for (const PaletteColor& p : palette_)
        bound = std::min(bound, Far(p.r, r0, r1) + Far(p.g, g0, g1) + Far(p.b, b0, b1));
    const std::size_t start = candidates_.size();
    for (std::size_t i = 0; i < palette_.size(); ++i) {
        const PaletteColor& p = palette_[i];
        const std::uint32_t d = Near(p.r, r0, r1) + Near(p.g, g0, g1) + Near(p.b, b0, b1);
        if (d <= bound) candidates_.push_back({p.r, p.g, p.b, static_cast<std::uint8_t>(i), d});
    }
    std::stable_sort(
        candidates_.begin() + static_cast<std::ptrdiff_t>(start), candidates_.end(),
        [](const Candidate& a, const Candidate& b) { return a.cellDistance < b.cellDistance; });
    cellStart_[static_cast<std::size_t>(cell)] = static_cast<std::int32_t>(start);
    cellCount_[static_cast<std::size_t>(cell)] =
        static_cast<std::uint16_t>(candidates_.size() - start);
}

int NearestColor::search(int r, int g, int b) {
    const int cell = CellOf(r, g, b);
    if (cellStart_[static_cast<std::size_t>(cell)] < 0) buildCell(cell);
    const Candidate* c = candidates_.data() + cellStart_[static_cast<std::size_t>(cell)];
    const Candidate* end = c + cellCount_[static_cast<std::size_t>(cell)];
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    int bestIndex = 0;
    for (; c != end && c->cellDistance < best; ++c) {
        const std::uint32_t d = Square(c->r - r) + Square(c->g - g) + Square(c->b - b);
        if (d < best || (d == best && c->index < bestIndex)) {
            best = d;
            bestIndex = c->index;
        }
    }
    return bestIndex;
}

std::optional<std::vector<PaletteColor>> ExactPalette(const QImage& block) {
    std::vector<PaletteColor> colours;
    std::unordered_map<QRgb, int> seen;
    seen.reserve(512);
    QRgb last = 0;
    bool any = false;
    for (int y = 0; y < block.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(block.constScanLine(y));
        for (int x = 0; x < block.width(); ++x) {
            const QRgb p = src[x] & 0x00FFFFFFu;
            if (any && p == last) continue;  // runs of one colour are common
            any = true;
            last = p;
            if (seen.emplace(p, 0).second) {
                if (colours.size() == 256) return std::nullopt;
                colours.push_back({static_cast<std::uint8_t>(qRed(p)),
                                   static_cast<std::uint8_t>(qGreen(p)),
                                   static_cast<std::uint8_t>(qBlue(p))});
            }
        }
    }
    return colours;
}

namespace {

// The colour sums of the pixels each palette entry stands for.
struct Sum {
    std::uint64_t r = 0, g = 0, b = 0, n = 0;
};

// The mean of n levels adding up to total, rounded; n > 0.
std::uint8_t RoundedMean(std::uint64_t total, std::uint64_t n) {
    return static_cast<std::uint8_t>((total + n / 2) / n);
}

// Moves each palette entry that stands for some pixels to their mean colour.
void MoveToMeans(const std::vector<Sum>& sums, std::span<PaletteColor> palette) {
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const Sum& s = sums[i];
        if (s.n == 0) continue;
        palette[i] = {RoundedMean(s.r, s.n), RoundedMean(s.g, s.n), RoundedMean(s.b, s.n)};
    }
}

}  // namespace

void RefinePalette(const QImage& block, int step, std::vector<PaletteColor>& palette) {
    if (palette.empty() || step < 1) return;
    NearestColor nearest(palette);
    std::vector<Sum> sums(palette.size());
    for (int y = 0; y < block.height(); y += step) {
        const auto* src = reinterpret_cast<const QRgb*>(block.constScanLine(y));
        for (int x = 0; x < block.width(); x += step) {
            const QRgb p = src[x];
            Sum& s = sums[static_cast<std::size_t>(nearest.find(qRed(p), qGreen(p), qBlue(p)))];
            s.r += static_cast<std::uint64_t>(qRed(p));
            s.g += static_cast<std::uint64_t>(qGreen(p));
            s.b += static_cast<std::uint64_t>(qBlue(p));
            ++s.n;
        }
    }
    MoveToMeans(sums, palette);
}

namespace {

// Colours and their counts by open addressing in a table at most half full: one probe
// for most pixels, and no allocation per colour. The table starts small and doubles as
// colours come, so a picture of few colours costs a few kilobytes.
class ColourTable {
public:
    explicit ColourTable(std::size_t maxColours) : maxColours_(maxColours) {
        slots_.resize(std::size_t{1} << bits_);
    }
    // False once the table would hold more than maxColours colours.
    bool add(std::uint32_t rgb, std::uint32_t count) {
        Slot& s = find(rgb);
        if (s.key == kEmpty) {
            if (used_ == maxColours_) return false;
            ++used_;
            s = {rgb + 1, count};
            if (used_ * 2 > slots_.size()) grow();
            return true;
        }
        s.count += count;
        return true;
    }
    // Rows [first, end) of the block; false when they hold too many colours.
    bool addRows(const QImage& block, int first, int end) {
        const int width = block.width();
        for (int y = first; y < end; ++y) {
            const auto* src = reinterpret_cast<const QRgb*>(block.constScanLine(y));
            for (int x = 0; x < width;) {
                const std::uint32_t rgb = src[x] & 0x00FFFFFFu;
                int run = 1;  // runs of one colour are common
                while (x + run < width && (src[x + run] & 0x00FFFFFFu) == rgb) ++run;
                x += run;
                if (!add(rgb, static_cast<std::uint32_t>(run))) return false;
            }
        }
        return true;
    }
    std::vector<ColourCount> list() const {
        std::vector<ColourCount> out;
        out.reserve(used_);
        for (const Slot& s : slots_)
            if (s.key != kEmpty) out.push_back({s.key - 1, s.count});
        return out;
    }

private:
    static constexpr std::uint32_t kEmpty = 0;
    struct Slot {
        std::uint32_t key = kEmpty;  // the colour plus one
        std::uint32_t count = 0;
    };

    Slot& find(std::uint32_t rgb) {
        const std::size_t mask = slots_.size() - 1;
        // The product's top bits depend on every bit of the colour.
        std::size_t i = (rgb * 2654435761u) >> (32 - bits_);
        while (slots_[i].key != rgb + 1 && slots_[i].key != kEmpty) i = (i + 1) & mask;
        return slots_[i];
    }
    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        ++bits_;
        for (const Slot& s : old)
            if (s.key != kEmpty) find(s.key - 1) = s;
    }

    std::size_t maxColours_;
    int bits_ = 10;
    std::vector<Slot> slots_;  // 2^bits_
    std::size_t used_ = 0;
};

}  // namespace

std::optional<std::vector<ColourCount>> ColourHistogram(const QImage& block,
                                                        std::size_t maxColours) {
    const int height = block.height();
    ColourTable top(maxColours);
    if (qint64{block.width()} * height >= kCountInHalvesFromPixels && height >= 2) {
        // The lower half is counted on a second thread, then added to the upper half's.
        ColourTable bottom(maxColours);
        bool bottomFits = true;
        std::thread second;
        try {
            second = std::thread([&] { bottomFits = bottom.addRows(block, height / 2, height); });
        } catch (const std::system_error&) {
            bottomFits = bottom.addRows(block, height / 2, height);
        }
        const bool topFits = top.addRows(block, 0, height / 2);
        if (second.joinable()) second.join();
        if (!topFits || !bottomFits) return std::nullopt;
        for (const ColourCount& c : bottom.list())
            if (!top.add(c.rgb, c.count)) return std::nullopt;
    } else if (!top.addRows(block, 0, height)) {
        return std::nullopt;
    }
    return top.list();
}

std::vector<ColourCount> CellMeans(const QImage& block, int step) {
    struct Cell {
        std::uint32_t r = 0, g = 0, b = 0, n = 0;
    };
    // Sums of up to 2^24 pixels of at most 255 fit in 32 bits: a larger picture is sampled
    // more sparsely.
    const auto sampled = [&](int s) {
        return qint64{(block.width() + s - 1) / s} * ((block.height() + s - 1) / s);
    };
    step = std::max(step, 1);
    while (sampled(step) > (qint64{1} << 24)) ++step;
    std::vector<Cell> cells(std::size_t{1} << 15);
    const int width = block.width();
    for (int y = 0; y < block.height(); y += step) {
        const auto* src = reinterpret_cast<const QRgb*>(block.constScanLine(y));
        for (int x = 0; x < width; x += step) {
            const QRgb p = src[x];
            const unsigned r = qRed(p), g = qGreen(p), b = qBlue(p);
            Cell& c = cells[((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)];
            c.r += r;
            c.g += g;
            c.b += b;
            ++c.n;
        }
    }
    std::vector<ColourCount> out;
    for (const Cell& c : cells) {
        if (c.n == 0) continue;
        const auto mean = [&](std::uint32_t sum) -> std::uint32_t { return RoundedMean(sum, c.n); };
        out.push_back({(mean(c.r) << 16) | (mean(c.g) << 8) | mean(c.b), c.n});
    }
    return out;
}

std::vector<PaletteColor> MergeColours(std::span<const ColourCount> histogram,
                                       std::size_t colours) {
    struct Group {
        double r, g, b, n;
        bool alive;
        std::size_t nearest;  // the group whose merge with this one costs least
        double cost;
    };
    std::vector<Group> groups;
    groups.reserve(histogram.size());
    for (const ColourCount& c : histogram)
        groups.push_back(
            {static_cast<double>(c.rgb >> 16), static_cast<double>((c.rgb >> 8) & 0xFF),
             static_cast<double>(c.rgb & 0xFF), static_cast<double>(c.count), true, 0, 0});
    const auto mergeCost = [&](const Group& a, const Group& b) {
        const double dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
        return a.n * b.n / (a.n + b.n) * (dr * dr + dg * dg + db * db);
    };
    const auto findNearest = [&](std::size_t i) {
        Group& a = groups[i];
        a.cost = std::numeric_limits<double>::infinity();
        for (std::size_t j = 0; j < groups.size(); ++j) {
            if (j == i || !groups[j].alive) continue;
            const double c = mergeCost(a, groups[j]);
            if (c < a.cost) {
                a.cost = c;
                a.nearest = j;
            }
        }
    };
    for (std::size_t i = 0; i < groups.size(); ++i) findNearest(i);
    for (std::size_t alive = groups.size(); alive > colours; --alive) {
        std::size_t best = 0;
        double bestCost = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < groups.size(); ++i)
            if (groups[i].alive && groups[i].cost < bestCost) {
                bestCost = groups[i].cost;
                best = i;
            }
        Group& a = groups[best];
        Group& b = groups[a.nearest];
        const double n = a.n + b.n;
        a.r = (a.r * a.n + b.r * b.n) / n;
        a.g = (a.g * a.n + b.g * b.n) / n;
        a.b = (a.b * a.n + b.b * b.n) / n;
        a.n = n;
        b.alive = false;
        const std::size_t gone = a.nearest;
        // Merging only raises costs, so only the groups that looked at either of the two
        // need a new search.
        for (std::size_t i = 0; i < groups.size(); ++i)
            if (groups[i].alive &&
                (i == best || groups[i].nearest == best || groups[i].nearest == gone))
                findNearest(i);
    }
    std::vector<PaletteColor> out;
    for (const Group& g : groups)
        if (g.alive)
            out.push_back({static_cast<std::uint8_t>(std::lround(g.r)),
                           static_cast<std::uint8_t>(std::lround(g.g)),
                           static_cast<std::uint8_t>(std::lround(g.b))});
    return out;
}

void RefinePalette(std::span<const ColourCount> histogram, std::vector<PaletteColor>& palette) {
    if (palette.empty()) return;
    NearestColor nearest(palette);
    std::vector<Sum> sums(palette.size());
    for (const ColourCount& c : histogram) {
        const int r = static_cast<int>(c.rgb >> 16), g = static_cast<int>((c.rgb >> 8) & 0xFF),
                  b = static_cast<int>(c.rgb & 0xFF);
        Sum& s = sums[static_cast<std::size_t>(nearest.find(r, g, b))];
        s.r += std::uint64_t{c.count} * static_cast<std::uint64_t>(r);
        s.g += std::uint64_t{c.count} * static_cast<std::uint64_t>(g);
        s.b += std::uint64_t{c.count} * static_cast<std::uint64_t>(b);
        s.n += c.count;
    }
    MoveToMeans(sums, palette);
}

void DitherToPalette(const QImage& block, std::span<const PaletteColor> palette,
                     Dithering dithering, std::uint8_t* out) {
    const int width = block.width();
    // The row sink never refuses a row, so the dithering cannot stop early.
    (void)DitherToPalette(block, palette, dithering, [&](int y, const std::uint8_t* row) {
        std::copy(row, row + width, out + static_cast<std::size_t>(y) * width);
        return true;
    });
}

bool DitherToPalette(const QImage& block, std::span<const PaletteColor> palette,
                     Dithering dithering,
                     const std::function<bool(int y, const std::uint8_t* row)>& rowDone) {
    const int width = block.width(), height = block.height();
    if (width < 1 || height < 1 || palette.empty()) return true;
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
    std::uint8_t* const dst = indices.data();
    NearestColor nearest(palette);
    // Errors for the row being mapped and the next one, with a spare column on either
    // side so the edges need no tests.
    const int scale = static_cast<int>(std::lround(std::clamp(dithering.level, 0.f, 1.f) * 256.f));
    const auto distance = [&](const int v[3], int index) {
        const PaletteColor& c = palette[static_cast<std::size_t>(index)];
        return Square(v[0] - c.r) + Square(v[1] - c.g) + Square(v[2] - c.b);
    };
    const std::uint32_t slack = static_cast<std::uint32_t>(std::max(dithering.runSlack, 0));
    const std::size_t rowLength = (static_cast<std::size_t>(width) + 2) * 3;
    std::vector<int> errorsA(rowLength, 0), errorsB(rowLength, 0);
    int* current = errorsA.data();
    int* next = errorsB.data();
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(block.constScanLine(y));
        const bool leftToRight = (y % 2) == 0;
        const int step = leftToRight ? 1 : -1;
        int x = leftToRight ? 0 : width - 1;
        std::fill(next, next + rowLength, 0);
        int before = -1;  // the entry of the pixel mapped just before, in this row
        for (int i = 0; i < width; ++i, x += step) {
            const QRgb p = src[x];
            int* e = current + (x + 1) * 3;
            const int v[3] = {std::clamp(qRed(p) + e[0], 0, 255),
                              std::clamp(qGreen(p) + e[1], 0, 255),
                              std::clamp(qBlue(p) + e[2], 0, 255)};
            int index = nearest.find(v[0], v[1], v[2]);
            if (slack > 0 && before >= 0 && index != before) {
                const std::uint32_t d = distance(v, index);
                if (d > 0 && distance(v, before) <= d + slack) index = before;
            }
            before = index;
            dst[x] = static_cast<std::uint8_t>(index);
            const PaletteColor& c = palette[static_cast<std::size_t>(index)];
            const int chosen[3] = {c.r, c.g, c.b};
            const int err[3] = {(v[0] - chosen[0]) * scale / 256, (v[1] - chosen[1]) * scale / 256,
                                (v[2] - chosen[2]) * scale / 256};
            if ((err[0] | err[1] | err[2]) == 0) continue;  // most pixels of flat areas
            int* ahead = e + 3 * step;
            int* below = next + (x + 1) * 3;
            for (int k = 0; k < 3; ++k) {
                // 7, 3, 5 and 1 sixteenths, each truncated toward zero.
                ahead[k] += err[k] * 7 / 16;
                below[k - 3 * step] += err[k] * 3 / 16;
                below[k] += err[k] * 5 / 16;
                below[k + 3 * step] += err[k] / 16;
            }
        }
        std::swap(current, next);
        if (!rowDone(y, dst)) return false;
    }
    return true;
}

}  // namespace trimlet
