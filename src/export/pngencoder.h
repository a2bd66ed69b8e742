#pragma once

#include <QImage>
#include <cstddef>
#include <vector>

#include "export/exportresult.h"

class QIODevice;

namespace trimlet {

// The smallest PNG colour type that holds a block exactly.
enum class PngColour { Palette, Grey, Rgb };

struct PngLayout {
    PngColour colour = PngColour::Rgb;
    int bitDepth = 8;           // 1, 2, 4 or 8
    std::vector<QRgb> palette;  // Palette only: the block's colours, in order of appearance
};

// Palette when the block has at most 256 colours (1, 2, 4 or 8 bits as their count
// allows), grey when every pixel is grey and grey needs no more bits than the palette
// (1, 2 or 4 bits when every level is one of that depth's evenly spaced ones), RGB
// otherwise. block in 32-bit pixels; alpha is ignored.
PngLayout ChoosePngLayout(const QImage& block);

// Row filters as a set: bit n stands for PNG filter type n (0 none, 1 sub, 2 up,
// 3 average, 4 Paeth). Several filters without "none": each row takes the one whose
// bytes have the least entropy. "none" with others: each chunk is either left
// unfiltered or filtered so, as a trial on a sample of its rows decides.
inline constexpr unsigned kPngFilterNone = 1u << 0;
inline constexpr unsigned kPngFilterSub = 1u << 1;
inline constexpr unsigned kPngFilterUp = 1u << 2;
inline constexpr unsigned kPngFilterAverage = 1u << 3;
inline constexpr unsigned kPngFilterPaeth = 1u << 4;
inline constexpr unsigned kPngFilterAll = 0x1F;

// How EncodePng compresses; every field 0 takes the setting measured for the block's
// colour type (see PngSetting in pngencoder.cpp).
struct PngOptions {
    int level = 0;               // libdeflate's level, 1..12, for every chunk (0: the
                                 // setting's, and RowDeflater for the chunks it suits)
    unsigned filters = 0;        // a set of the filter bits above
    std::size_t chunkBytes = 0;  // filtered bytes compressed at a time (rounded to rows)
    bool secondThread = true;    // two chunks at once from four million pixels (or
                                 // with chunkBytes given) when there are several
};

// Lossless, not interlaced, 96 dots per inch, in the layout ChoosePngLayout gives.
// The filtered rows are compressed a chunk at a time (unfiltered and palette rows and
// smooth gradients by RowDeflater, the others by libdeflate), two chunks at once on two threads from four
// million pixels, and the chunks' streams joined into the one zlib stream of the file.
// Should a join ever fail, zlib compresses that chunk.
ExportResult EncodePng(const QImage& block, QIODevice& out, const PngOptions& options = {});

// The plain path: the same layout written by libpng and zlib in one pass on the calling
// thread. EncodePng's fallback, and the oracle its tests hold the fast path to.
ExportResult EncodePngWithLibpng(const QImage& block, QIODevice& out);

}  // namespace trimlet
