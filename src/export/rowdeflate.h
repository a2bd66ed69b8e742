#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace trimlet {

// A deflate compressor for the rows of screenshots, palette pictures and smooth
// gradients, where libdeflate's lazy levels fall 5-10 % behind zlib's level 9 and its
// near-optimal ones are several times slower. In such pictures long runs of one colour fill the hash
// chains, so that the match which goes on past the run is found only by a long search;
// and the longest match is most often the row above. So positions inside a run are not
// entered into the chains (the pixel before gives their match), and the distances of
// the pixel before and of the rows above are tried at every position before a short
// chain. The parse is zlib's lazy one, each block of 16384 symbols gets its own Huffman
// codes (or is stored, should that be smaller).
class RowDeflater {
public:
    // pixelBytes: how far back the pixel before lies (1 for grey and palette rows);
    // rowBytes: a filtered row with its filter byte.
    RowDeflater(int pixelBytes, std::size_t rowBytes);

    // What the rows hold.
    enum class Rows {
        // Unfiltered screen rows: runs, repeats and the row above; every match of three
        // bytes is worth looking for.
        Screen,
        // Filtered rows of smooth gradients: small, skewed differences, each coded in a
        // bit or two, so that a short match costs more than its literals. Positions are
        // hashed on 8 bytes, so that the chains hold only such long matches (the near
        // distances are still tried for shorter ones), and a match shorter than 16 is
        // taken only if it costs fewer bits than its literals, priced by the block
        // before's codes. On a gradient wallpaper that is 6-8 % smaller than
        // libdeflate's level 7, and as fast; on photographs and on screenshots'
        // filtered rows, 1-7 % larger.
        Residuals,
    };

    // Appends raw deflate blocks for data[0, size) to out. The history
    // data[-history, 0) is what the decoder has already read; its last 32 KiB may be
    // referred to. Ends with the final block when last, else with an empty stored block
    // at a byte boundary (zlib's sync flush), so that another stream can follow. chain:
    // the most chain entries looked at per position (fewer: faster, larger), 0 for the
    // rows' own.
    void compress(const std::uint8_t* data, std::size_t size, std::size_t history, bool last,
                  std::vector<std::uint8_t>& out, Rows rows = Rows::Screen, int chain = 0);

private:
    // With runs kept out of the chains, 64 entries find nearly what 4096 find: on
    // screenshots 256 make the file 0.2-0.8 % smaller for 10-25 % more time.
    static constexpr int kScreenChain = 64;
    static constexpr int kResidualChain = 16;
    static constexpr int kHashBits = 15;
    static constexpr std::size_t kWindow = 32768;
    static constexpr std::size_t kBlockSymbols = 16384;

    struct Symbol {
        std::uint16_t length;    // a literal's byte when distance is 0
        std::uint16_t distance;  // 0 for a literal
    };

    class BitWriter;

    std::int32_t insert(std::int32_t p);
    bool cheaperThanLiterals(std::int32_t p, int length, int distance) const;
    int longest(std::int32_t p, std::int32_t candidate, int best, std::int32_t& start) const;
    void literal(std::uint8_t c);
    void match(int length, int distance);
    void writeBlock(BitWriter& bits, bool final);

    const std::int32_t pixel_, row_;
    int chain_ = kScreenChain;
    bool residuals_ = false;  // coding Rows::Residuals
    std::array<std::uint16_t, 256> literalCost_{};  // in 1/16 bits
    std::array<std::uint16_t, 29> lengthCost_{};
    std::array<std::uint16_t, 30> distanceCost_{};
    const std::uint8_t* base_ = nullptr;  // the history's start
    std::int32_t end_ = 0;                // the data's end, from base_
    std::int32_t blockStart_ = 0;         // the current block's first byte, from base_
    std::vector<std::int32_t> head_, prev_;
    std::vector<Symbol> symbols_;
    std::array<std::uint32_t, 286> litFreq_{};
    std::array<std::uint32_t, 30> distFreq_{};
};

}  // namespace trimlet
