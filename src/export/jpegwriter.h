#pragma once

#include <QImage>
#include <cstdint>

#include "export/exportresult.h"

class QIODevice;

namespace trimlet {

// How the two colour-difference channels are sampled.
enum class JpegChroma {
    Half,  // 4:2:0, one chroma sample per 2 x 2 pixels
    Full,  // 4:4:4, every pixel
};

// From quality 90 up the file is meant to keep detail, and the chroma of coloured text
// and thin lines is worth its bytes; below that half-resolution chroma costs far less.
constexpr int kFullChromaFromQuality = 90;
constexpr JpegChroma ChromaForQuality(int quality) {
    return quality >= kFullChromaFromQuality ? JpegChroma::Full : JpegChroma::Half;
}

// Baseline JPEG with Huffman tables made for the picture, quality 1..100; full chroma
// from quality 90 up, half (4:2:0) below. block in 32-bit pixels (alpha ignored).
ExportResult EncodeJpeg(const QImage& block, int quality, QIODevice& out);

// What a JPEG save did besides writing the file; for tests and the benchmark.
struct JpegStats {
    bool optimisedTables = false;  // false: the standard tables (the picture was too busy)
    std::uint64_t symbols = 0;     // Huffman symbols held between the two passes
};

// Baseline JPEG with Huffman tables made for this picture, in one pass over the pixels:
// libjpeg does the colour conversion, sampling, DCT and quantisation, and hands each
// block to us; we keep its Huffman symbols (a byte each, their value bits packed),
// count them, build the optimal tables and write the scan ourselves. The symbols of a
// typical picture take a few bits per pixel; when they would pass a third of the
// picture's own memory, the picture is encoded again with the standard tables.
// block is Format_RGB32; quality 1..100.
ExportResult WriteJpeg(const QImage& block, int quality, JpegChroma chroma, QIODevice& out,
                       JpegStats* stats = nullptr);

}  // namespace trimlet
