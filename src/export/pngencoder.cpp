#include "export/pngencoder.h"

#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#include <QIODevice>
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "export/encoderio.h"
#include "export/rowdeflate.h"

namespace trimlet {
namespace {

// --- The picture's colours ------------------------------------------------------------

// Up to 256 colours (0x00RRGGBB) and their indices, in a small open-addressed table.
class ColourIndex {
public:
    // The colour's index, adding it when new; -1 when it would be the 257th.
    int add(std::uint32_t rgb) {
        std::size_t slot = Hash(rgb);
        while (keys_[slot] != 0) {
            if (keys_[slot] == rgb + 1) return indices_[slot];
            slot = (slot + 1) & (kSlots - 1);
        }
        if (colours_.size() == 256) return -1;
        keys_[slot] = rgb + 1;
        indices_[slot] = static_cast<std::uint8_t>(colours_.size());
        colours_.push_back(rgb);
        return static_cast<int>(colours_.size() - 1);
    }
    // The index of a colour known to be in the table.
    int find(std::uint32_t rgb) const {
        std::size_t slot = Hash(rgb);
        while (keys_[slot] != rgb + 1) slot = (slot + 1) & (kSlots - 1);
        return indices_[slot];
    }
    const std::vector<std::uint32_t>& colours() const { return colours_; }

private:
    static constexpr std::size_t kSlots = 1024;
    static std::size_t Hash(std::uint32_t rgb) { return (rgb * 2654435761u) >> 22; }
    std::array<std::uint32_t, kSlots> keys_{};  // the colour plus one; 0: free
    std::array<std::uint8_t, kSlots> indices_{};
    std::vector<std::uint32_t> colours_;
};

bool IsGrey(std::uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) == (rgb & 0xFF) && ((rgb >> 8) & 0xFF) == (rgb & 0xFF);
}

int BitsForCount(std::size_t count) {
    return count <= 2 ? 1 : count <= 4 ? 2 : count <= 16 ? 4 : 8;
}

// Packs rows of the block into the layout's bytes: RGB triples, grey levels or
// palette indices, sub-byte samples first in the high bits.
class RowPacker {
public:
    RowPacker(const QImage& block, const PngLayout& layout) : block_(block), layout_(layout) {
        for (const QRgb c : layout.palette) index_.add(c & 0xFFFFFFu);
        const std::size_t bits = static_cast<std::size_t>(block.width()) *
                                 (layout.colour == PngColour::Rgb ? 24 : layout.bitDepth);
        rowBytes_ = (bits + 7) / 8;
    }
    std::size_t rowBytes() const { return rowBytes_; }
    // Bytes per pixel as the filters count them (at least one).
    int filterStep() const { return layout_.colour == PngColour::Rgb ? 3 : 1; }

    void pack(int y, std::uint8_t* out) const {
        const auto* src = reinterpret_cast<const QRgb*>(block_.constScanLine(y));
        const int width = block_.width();
        if (layout_.colour == PngColour::Rgb) {
            for (int x = 0; x < width; ++x, out += 3) {
                const QRgb p = src[x];
                out[0] = static_cast<std::uint8_t>(p >> 16);
                out[1] = static_cast<std::uint8_t>(p >> 8);
                out[2] = static_cast<std::uint8_t>(p);
            }
            return;
        }
        const int depth = layout_.bitDepth;
        const bool grey = layout_.colour == PngColour::Grey;
        const unsigned greyStep = 255u / ((1u << depth) - 1u);
        std::uint32_t lastRgb = 0xFFFFFFFFu;
        unsigned lastValue = 0;
        const auto value = [&](QRgb p) {
            const std::uint32_t rgb = p & 0xFFFFFFu;
            if (rgb != lastRgb) {  // runs of one colour are the rule
                lastRgb = rgb;
                lastValue =
                    grey ? (rgb & 0xFFu) / greyStep : static_cast<unsigned>(index_.find(rgb));
            }
            return lastValue;
        };
        if (depth == 8) {
            for (int x = 0; x < width; ++x) out[x] = static_cast<std::uint8_t>(value(src[x]));
            return;
        }
        const int perByte = 8 / depth;
        for (int x = 0; x < width; x += perByte) {
            unsigned byte = 0;
            for (int k = 0; k < perByte; ++k)
                byte = (byte << depth) | (x + k < width ? value(src[x + k]) : 0u);
            *out++ = static_cast<std::uint8_t>(byte);
        }
    }

private:
    const QImage& block_;
    const PngLayout& layout_;
    ColourIndex index_;
    std::size_t rowBytes_ = 0;
};

// --- Filters --------------------------------------------------------------------------

// Row cur filtered with filter type into out (n bytes); prev is the row above. Step is
// the bytes of a pixel (1 or 3), fixed at compile time so the loops vectorise.
template <std::size_t Step>
void ApplyFilterStep(int type, const std::uint8_t* __restrict cur,
                     const std::uint8_t* __restrict prev, std::size_t n,
                     std::uint8_t* __restrict out) {
    const std::size_t lead = std::min(Step, n);
    switch (type) {
        case 0:
            std::memcpy(out, cur, n);
            break;
        case 1:
            std::memcpy(out, cur, lead);
            for (std::size_t i = Step; i < n; ++i)
                out[i] = static_cast<std::uint8_t>(cur[i] - cur[i - Step]);
            break;
        case 2:
            for (std::size_t i = 0; i < n; ++i)
                out[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
            break;
        case 3:
            for (std::size_t i = 0; i < lead; ++i)
                out[i] = static_cast<std::uint8_t>(cur[i] - (prev[i] >> 1));
            for (std::size_t i = Step; i < n; ++i)
                out[i] = static_cast<std::uint8_t>(cur[i] - ((cur[i - Step] + prev[i]) >> 1));
            break;
        default:
            for (std::size_t i = 0; i < lead; ++i)
                out[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
            // Paeth's predictor without branches: every input is known when encoding.
            for (std::size_t i = Step; i < n; ++i) {
                const int a = cur[i - Step], b = prev[i], c = prev[i - Step];
                const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                const int predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                out[i] = static_cast<std::uint8_t>(cur[i] - predicted);
            }
            break;
    }
}

void ApplyFilter(int type, const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n,
                 std::size_t step, std::uint8_t* out) {
    if (step == 3)
        ApplyFilterStep<3>(type, cur, prev, n, out);
    else
        ApplyFilterStep<1>(type, cur, prev, n, out);
}

// How many bits the row's bytes would take coded by their own frequencies (its order-0
// entropy, in 1/16 bits): the guess at which filter's row compresses best. It picks
// better than the usual sum of the bytes read as signed: a smooth gradient 3 % smaller,
// and palette rows choose well between none and up.
class RowEntropy {
public:
    std::uint32_t operator()(const std::uint8_t* p, std::size_t n) const {
        // Four tables, so that runs of one byte do not wait on their own increments.
        std::array<std::array<std::uint32_t, 256>, 4> counts{};
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            ++counts[0][p[i]];
            ++counts[1][p[i + 1]];
            ++counts[2][p[i + 2]];
            ++counts[3][p[i + 3]];
        }
        for (; i < n; ++i) ++counts[0][p[i]];
        float sum = 0;
        for (std::size_t b = 0; b < 256; ++b)
            sum += CLogC(counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b]);
        return static_cast<std::uint32_t>((CLogC(static_cast<std::uint32_t>(n)) - sum) * 16.0f);
    }

private:
    static constexpr std::uint32_t kTable = 1u << 14;
    static float CLogC(std::uint32_t c) {
        static const std::array<float, kTable> table = [] {
            std::array<float, kTable> t{};
            for (std::uint32_t i = 1; i < kTable; ++i)
                t[i] = static_cast<float>(i * std::log2(static_cast<double>(i)));
            return t;
        }();
        return c < kTable ? table[c]
                          : static_cast<float>(c * std::log2(static_cast<double>(c)));
    }
};

// --- Settings -------------------------------------------------------------------------

// The filters and libdeflate's level per colour type, measured with bench_png's sweep on
// its photo- and screenshot-like pictures and eight screenshots of Debian programs, and
// checked by bench_encoders against ImageMagick and optipng -o2.
// - RGB and grey: screenshots compress best unfiltered (and faster), photographs and
//   gradients want each row's best filter; a trial on a sample of each chunk decides.
//   Unfiltered chunks go through RowDeflater: 3-8 % smaller than libdeflate's level 7
//   on screenshots (0.97-1.04 x optipng -o2) at about its speed. Filtered ones go
//   through libdeflate at level 7 (level 8 makes a gradient 5 % smaller for 3 times the
//   time, level 10 15 % smaller for 5 times), but for smooth gradients, whose chunks
//   the trial gives to RowDeflater's Rows::Residuals: 6-8 % smaller than level 7 at
//   its speed (1.053 x optipng -o2 became 0.965 at 1080 lines, 1.079 became 1.046 at
//   2160).
// - Palette: each row unfiltered or "up", whichever has the smaller entropy (what
//   optipng's best trial does too; the other filters only mix up the indices), through
//   RowDeflater: 0.98-1.02 x optipng -o2, where libdeflate's level 10 was 1.06 x,
//   and 3 times faster.
struct PngSetting {
    int level;  // libdeflate's, for the chunks a trial leaves filtered
    unsigned filters;
    bool chunkTrial;  // "none" against the others per chunk rather than per row
};
constexpr PngSetting kPaletteSetting{7, kPngFilterNone | kPngFilterUp, false};
constexpr PngSetting kGreySetting{7, kPngFilterAll, true};
constexpr PngSetting kRgbSetting{7, kPngFilterAll, true};

PngSetting SettingFor(PngColour colour) {
    switch (colour) {
        case PngColour::Palette:
            return kPaletteSetting;
        case PngColour::Grey:
            return kGreySetting;
        case PngColour::Rgb:
            break;
    }
    return kRgbSetting;
}

// --- Chunks ---------------------------------------------------------------------------

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using CompressorPtr = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

// --- Where a deflate stream's last block lies ------------------------------------------

// Reads a raw deflate stream's blocks and codes without making its bytes: where its last
// block starts and where it ends, in bits. libdeflate says nothing of where its blocks
// lie, and inflating the stream only to learn it costs as much as a fifth of the
// compression itself.
class BlockWalker {
public:
    BlockWalker(const std::uint8_t* data, std::size_t size)
        : data_(data), size_(size), bitsTotal_(std::uint64_t{size} * 8) {}

    bool walk(std::uint64_t& lastBlock, std::uint64_t& end) {
        for (;;) {
            const std::uint64_t start = pos_;
            const std::uint32_t final = bits(1);
            const std::uint32_t type = bits(2);
            if (type == 0) {
                pos_ = (pos_ + 7) & ~std::uint64_t{7};
                const std::uint32_t len = bits(16), nlen = bits(16);
                if ((len ^ nlen) != 0xFFFFu) return false;
                pos_ += std::uint64_t{len} * 8;
            } else if (type == 1) {
                if (!fixedLitlen_.ready) BuildFixed();
                if (!codes(fixedLitlen_, fixedDistance_)) return false;
            } else if (type == 2) {
                if (!dynamicTables() || !codes(litlen_, distance_)) return false;
            } else {
                return false;
            }
            if (pos_ > bitsTotal_) return false;
            if (final) {
                lastBlock = start;
                end = pos_;
                return true;
            }
        }
    }

private:
    static constexpr int kFastBits = 10;

    // A canonical Huffman code: a table for codes of up to kFastBits bits, read in the
    // stream's bit order, and the counts and sorted symbols for the longer ones.
    struct Code {
        std::array<std::uint16_t, 16> count{};
        std::array<std::uint16_t, 320> symbols{};
        std::array<std::uint16_t, 1u << kFastBits> fast{};  // symbol << 4 | length; 0: longer
        bool ready = false;

        bool build(const std::uint8_t* lengths, int n) {
            count.fill(0);
            for (int i = 0; i < n; ++i) ++count[lengths[i]];
            count[0] = 0;
            int left = 1;
            for (int len = 1; len < 16; ++len) {
                left = 2 * left - count[len];
                if (left < 0) return false;  // over-subscribed
            }
            std::array<std::uint16_t, 16> offset{};
            for (int len = 1; len < 15; ++len) offset[len + 1] = offset[len] + count[len];
            for (int i = 0; i < n; ++i)
                if (lengths[i]) symbols[offset[lengths[i]]++] = static_cast<std::uint16_t>(i);
            fast.fill(0);
            unsigned code = 0, index = 0;
            for (unsigned len = 1; len <= kFastBits; ++len) {
                for (unsigned k = 0; k < count[len]; ++k, ++code, ++index) {
                    unsigned reversed = 0;
                    for (unsigned b = 0; b < len; ++b) reversed |= ((code >> b) & 1u) << (len - 1 - b);
                    for (unsigned at = reversed; at < (1u << kFastBits); at += 1u << len)
                        fast[at] = static_cast<std::uint16_t>(symbols[index] << 4 | len);
                }
                code <<= 1;
            }
            ready = true;
            return true;
        }
    };

    std::uint32_t peek(int n) const {  // n <= 32; bits past the end read as zeros
        const std::size_t byte = static_cast<std::size_t>(pos_ / 8);
        std::uint64_t word = 0;
        if (byte + 8 <= size_) {
            std::memcpy(&word, data_ + byte, 8);
            if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
        } else {
            for (std::size_t i = byte; i < size_; ++i)
                word |= std::uint64_t{data_[i]} << (8 * (i - byte));
        }
        return static_cast<std::uint32_t>((word >> (pos_ % 8)) & ((std::uint64_t{1} << n) - 1));
    }
    std::uint32_t bits(int n) {
        const std::uint32_t v = peek(n);
        pos_ += static_cast<std::uint64_t>(n);
        return v;
    }

    int decode(const Code& c) {
        if (pos_ > bitsTotal_) return -1;
        if (const std::uint16_t e = c.fast[peek(kFastBits)]) {
            pos_ += e & 15u;
            return e >> 4;
        }
        int code = 0, first = 0, index = 0;
        for (int len = 1; len < 16; ++len) {
            code |= static_cast<int>(bits(1));
            const int count = c.count[static_cast<std::size_t>(len)];
            if (code - first < count) return c.symbols[static_cast<std::size_t>(index + code - first)];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

    bool codes(const Code& litlen, const Code& distance) {
        static constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1,
                                                          1, 1, 2, 2, 2, 2, 3, 3, 3, 3,
                                                          4, 4, 4, 4, 5, 5, 5, 5, 0};
        for (;;) {
            const int symbol = decode(litlen);
            if (symbol < 0 || pos_ > bitsTotal_) return false;
            if (symbol < 256) continue;
            if (symbol == 256) return true;
            if (symbol > 285) return false;
            pos_ += kLengthExtra[symbol - 257];
            const int d = decode(distance);
            if (d < 0 || d > 29) return false;
            pos_ += static_cast<std::uint64_t>(d < 4 ? 0 : d / 2 - 1);
        }
    }

    bool dynamicTables() {
        static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                    11, 4,  12, 3, 13, 2, 14, 1, 15};
        const int nlen = static_cast<int>(bits(5)) + 257, ndist = static_cast<int>(bits(5)) + 1;
        const int ncode = static_cast<int>(bits(4)) + 4;
        if (nlen > 286 || ndist > 30) return false;
        std::array<std::uint8_t, 320> lengths{};
        for (int i = 0; i < ncode; ++i) lengths[kOrder[i]] = static_cast<std::uint8_t>(bits(3));
        Code& lengthCode = distance_;  // free until the distance code is built
        if (!lengthCode.build(lengths.data(), 19)) return false;
        lengths.fill(0);
        for (int i = 0; i < nlen + ndist;) {
            const int symbol = decode(lengthCode);
            if (symbol < 0 || pos_ > bitsTotal_) return false;
            if (symbol < 16) {
                lengths[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t value = 0;
            int repeat = 0;
            if (symbol == 16) {
                if (i == 0) return false;
                value = lengths[static_cast<std::size_t>(i - 1)];
                repeat = 3 + static_cast<int>(bits(2));
            } else if (symbol == 17) {
                repeat = 3 + static_cast<int>(bits(3));
            } else {
                repeat = 11 + static_cast<int>(bits(7));
            }
            if (i + repeat > nlen + ndist) return false;
            while (repeat--) lengths[static_cast<std::size_t>(i++)] = value;
        }
        if (lengths[256] == 0) return false;
        return litlen_.build(lengths.data(), nlen) &&
               distance_.build(lengths.data() + nlen, ndist);
    }

    void BuildFixed() {
        std::array<std::uint8_t, 288> lengths{};
        std::fill_n(lengths.begin(), 144, 8);
        std::fill_n(lengths.begin() + 144, 112, 9);
        std::fill_n(lengths.begin() + 256, 24, 7);
        std::fill_n(lengths.begin() + 280, 8, 8);
        fixedLitlen_.build(lengths.data(), 288);
        lengths.fill(5);
        fixedDistance_.build(lengths.data(), 30);
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::uint64_t bitsTotal_;
    std::uint64_t pos_ = 0;
    Code litlen_, distance_, fixedLitlen_, fixedDistance_;
};

// A raw deflate stream made to be followed by another: its last block loses the final
// mark, and an empty stored block after it brings the stream to a byte boundary (what
// zlib's sync flush writes). data has room for the four bytes more.
bool EndWithoutFinal(std::uint8_t* data, std::size_t& size) {
    std::uint64_t lastBlock = 0, end = 0;
    if (!BlockWalker(data, size).walk(lastBlock, end) || end > std::uint64_t{size} * 8)
        return false;
    data[lastBlock / 8] &= static_cast<std::uint8_t>(~(1u << (lastBlock % 8)));
    // Three zero bits (not final, stored), zeros to the byte's end, LEN 0 and NLEN.
    const std::size_t endByte = static_cast<std::size_t>(end / 8);
    if (end % 8) data[endByte] &= static_cast<std::uint8_t>((1u << (end % 8)) - 1);
    const std::size_t padded = static_cast<std::size_t>((end + 3 + 7) / 8);
    for (std::size_t i = static_cast<std::size_t>((end + 7) / 8); i < padded; ++i) data[i] = 0;
    const std::uint8_t emptyStored[4] = {0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(data + padded, emptyStored, 4);
    size = padded + 4;
    return true;
}

// The same rows compressed by zlib instead, ended to be continued (a sync flush) unless
// last: for a stream that could not be walked.
bool CompressWithZlib(const std::uint8_t* data, std::size_t size, bool last, int level,
                      std::vector<std::uint8_t>& stream, std::size_t& streamBytes) {
    z_stream s{};
    if (deflateInit2(&s, std::min(level, 9), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    const std::size_t bound = deflateBound(&s, static_cast<uLong>(size)) + 16;
    if (stream.size() < bound) stream.resize(bound);
    s.next_in = const_cast<Bytef*>(data);
    s.avail_in = static_cast<uInt>(size);
    s.next_out = stream.data();
    s.avail_out = static_cast<uInt>(stream.size());
    const int r = deflate(&s, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool done = last ? r == Z_STREAM_END : r == Z_OK && s.avail_in == 0;
    streamBytes = s.total_out;
    deflateEnd(&s);
    return done;
}

// A chunk's plan: its filters, and whether RowDeflater codes it (else libdeflate) and
// how. kUndecided: no trial has chosen yet.
constexpr unsigned kOwnCoder = 1u << 8;
constexpr unsigned kResiduals = 1u << 9;
constexpr unsigned kUndecided = ~0u;

// One thread's tools: filters rows into a chunk and compresses it.
class ChunkCoder {
public:
    // RowDeflater takes the chunks a plan gives it (see trial) and every chunk of a
    // picture without trial, libdeflate at level the others, or every chunk with
    // libdeflateOnly; chunkTrial: see PngSetting. Chunks are chunkRows rows but the last.
    // decisions: the trial's choice per chunk, shared by the threads (kUndecided until
    // made; both would make the same).
    ChunkCoder(const RowPacker& packer, unsigned filters, bool chunkTrial, int level,
               bool libdeflateOnly, std::size_t chunkRows, std::atomic<unsigned>* decisions)
        : packer_(packer),
          decisions_(decisions),
          filters_(filters),
          chunkTrial_(chunkTrial),
          libdeflateOnly_(libdeflateOnly),
          level_(level),
          chunkRows_(static_cast<int>(chunkRows)),
          historyRows_(static_cast<int>(std::min<std::size_t>(
              chunkRows, (kHistoryBytes + packer.rowBytes()) / (packer.rowBytes() + 1)))),
          rowDeflater_(packer.filterStep(), packer.rowBytes() + 1) {
        const std::size_t n = packer.rowBytes();
        rows_.assign(2 * n, 0);
        filtered_.resize((chunkRows + static_cast<std::size_t>(historyRows_)) * (n + 1));
        if (std::popcount(filters) > 1) trial_.resize(2 * n);
    }

    // Filters and compresses rows [first, first + count); the stream is made to be
    // continued unless last. False when compressing failed.
    bool code(int first, int count, bool last) {
        const unsigned plan = planFor(first, count);
        const unsigned filters = plan & kPngFilterAll;
        if (!libdeflateOnly_ && (plan & kOwnCoder)) {
            // The rows before, filtered as their chunk was, are the history the decoder
            // holds: matches may reach back into them.
            const int before = std::min(first, historyRows_);
            std::uint8_t* const rows =
                before > 0 ? filter(first - before, before,
                                    planFor(first - chunkRows_, chunkRows_) & kPngFilterAll,
                                    filtered_.data())
                           : filtered_.data();
            rawBytes_ = static_cast<std::size_t>(filter(first, count, filters, rows) - rows);
            adler_ = libdeflate_adler32(1, rows, rawBytes_);
            stream_.clear();
            rowDeflater_.compress(rows, rawBytes_,
                                  static_cast<std::size_t>(rows - filtered_.data()), last, stream_,
                                  plan & kResiduals ? RowDeflater::Rows::Residuals
                                                    : RowDeflater::Rows::Screen);
            streamBytes_ = stream_.size();
            return true;
        }
        const std::uint8_t* end = filter(first, count, filters, filtered_.data());
        rawBytes_ = static_cast<std::size_t>(end - filtered_.data());
        adler_ = libdeflate_adler32(1, filtered_.data(), rawBytes_);
        // libdeflate's tables only once a chunk wants them.
        if (!compressor_) compressor_.reset(libdeflate_alloc_compressor(level_));
        streamBytes_ = 0;
        if (compressor_) {
            const std::size_t bound =
                libdeflate_deflate_compress_bound(compressor_.get(), rawBytes_);
            if (stream_.size() < bound + 8) stream_.resize(bound + 8);
            streamBytes_ = libdeflate_deflate_compress(compressor_.get(), filtered_.data(),
                                                       rawBytes_, stream_.data(), bound);
        }
        if (streamBytes_ > 0 && last) return true;
        if (streamBytes_ > 0 && EndWithoutFinal(stream_.data(), streamBytes_)) return true;
        return CompressWithZlib(filtered_.data(), rawBytes_, last, level_, stream_, streamBytes_);
    }

    // How the chunk of rows [first, first + count) is coded: its filters, and kOwnCoder
    // and kResiduals for RowDeflater's way of coding them. Screenshots mostly want
    // unfiltered rows, photographs and gradients each row with its best-looking other
    // filter, and no guess row by row can tell (it all but never picks "none"); a fast
    // trial on a sample decides, once per chunk: the next chunk's history is filtered
    // the same way.
    unsigned planFor(int first, int count) {
        if (!chunkTrial_ || !(filters_ & kPngFilterNone) || std::popcount(filters_) == 1)
            return filters_ | (filters_ == kPngFilterNone || !chunkTrial_ ? kOwnCoder : 0);
        std::atomic<unsigned>& slot = decisions_[first / chunkRows_];
        if (const unsigned known = slot.load(std::memory_order_relaxed); known != kUndecided)
            return known;
        const unsigned decided = trial(first, count, filters_ & ~kPngFilterNone);
        slot.store(decided, std::memory_order_relaxed);
        return decided;
    }

    // Rows [first, first + count) filtered into out (a filter byte and the row each);
    // where the filtered rows end.
    std::uint8_t* filter(int first, int count, unsigned filters, std::uint8_t* out) {
        const std::size_t n = packer_.rowBytes();
        const std::size_t step = static_cast<std::size_t>(packer_.filterStep());
        std::uint8_t* prev = rows_.data();
        std::uint8_t* cur = rows_.data() + n;
        if (first > 0)
            packer_.pack(first - 1, prev);
        else
            std::fill_n(prev, n, 0);
        for (int y = first; y < first + count; ++y) {
            packer_.pack(y, cur);
            if (std::popcount(filters) == 1) {
                const int type = std::countr_zero(filters);
                *out = static_cast<std::uint8_t>(type);
                ApplyFilter(type, cur, prev, n, step, out + 1);
            } else {
                std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
                std::uint8_t* candidate = trial_.data();
                std::uint8_t* kept = trial_.data() + n;
                for (int type = 0; type < 5; ++type) {
                    if (!(filters & (1u << type))) continue;
                    ApplyFilter(type, cur, prev, n, step, candidate);
                    const std::uint32_t bits = entropy_(candidate, n);
                    if (bits < best) {
                        best = bits;
                        *out = static_cast<std::uint8_t>(type);
                        std::swap(candidate, kept);
                    }
                }
                std::memcpy(out + 1, kept, n);
            }
            out += n + 1;
            std::swap(prev, cur);
        }
        return out;
    }

    // The plan for a chunk, from a sample of its rows (runs of 16 every 128 rows, so one
    // run in a chunk of fewer; runs of 8 saved 15-25 % of the time but made a table 3-7 %
    // larger):
    // - Unfiltered if the sample comes out no larger so, through a RowDeflater with a
    //   short chain, than filtered with others, through libdeflate's level 4. Each
    //   stands in for what the chunk would get: closer than libdeflate's level 1 for
    //   both, which let screenshots' gradients and panels go filtered (RowDeflater finds
    //   the row above in unfiltered rows) and cost them 3-5 %.
    // - Else filtered, through RowDeflater's Rows::Residuals if that codes the filtered
    //   sample smaller than its Rows::Screen does, through libdeflate otherwise. Smooth
    //   gradients are 10-18 % smaller the first way; screenshots' filtered panels and
    //   text 3-7 % larger (the short matches from far back are lost), photographs 1-2 %
    //   larger and slower. Only a sample that takes from a quarter of a bit to 3 bits a
    //   byte filtered through level 4 is tried: gradients take 0.4-1.6, photographs
    //   over 5, screenshots' filtered rows under a quarter (Residuals never won those
    //   by more than 1 %, and the two passes made a 4K window 10 % slower).
    unsigned trial(int first, int count, unsigned others) {
        if (!trialCompressor_) trialCompressor_.reset(libdeflate_alloc_compressor(4));
        if (!trialCompressor_) return others;
        constexpr int kRun = 16, kEvery = 128;
        const std::size_t rowBytes = packer_.rowBytes() + 1;
        const int runs = (count + kEvery - 1) / kEvery;
        sample_.resize(2 * static_cast<std::size_t>(runs) * kRun * rowBytes);
        std::uint8_t* filtered = sample_.data();
        std::uint8_t* plain = sample_.data() + sample_.size() / 2;
        std::uint8_t* plainEnd = plain;
        for (int y = first; y < first + count; y += kEvery) {
            const int rows = std::min(kRun, first + count - y);
            filtered = filter(y, rows, others, filtered);
            plainEnd = filter(y, rows, kPngFilterNone, plainEnd);
        }
        const std::size_t filteredBytes = static_cast<std::size_t>(filtered - sample_.data());
        const std::size_t plainBytes = static_cast<std::size_t>(plainEnd - plain);
        const std::size_t bound =
            libdeflate_deflate_compress_bound(trialCompressor_.get(), filteredBytes);
        if (trialStream_.size() < bound) trialStream_.resize(bound);
        const std::size_t n = libdeflate_deflate_compress(
            trialCompressor_.get(), sample_.data(), filteredBytes, trialStream_.data(), bound);
        const std::size_t filteredSize = n ? n : filteredBytes;
        trialStream_.clear();  // RowDeflater appends
        rowDeflater_.compress(plain, plainBytes, 0, true, trialStream_, RowDeflater::Rows::Screen,
                              kTrialChain);
        if (trialStream_.size() <= filteredSize) return kPngFilterNone | kOwnCoder;
        if (libdeflateOnly_ || 32 * filteredSize < filteredBytes ||
            8 * filteredSize > 3 * filteredBytes)
            return others;
        trialStream_.clear();
        rowDeflater_.compress(sample_.data(), filteredBytes, 0, true, trialStream_,
                              RowDeflater::Rows::Residuals, kFilteredTrialChain);
        const std::size_t residuals = trialStream_.size();
        if (residuals >= filteredSize) return others;
        trialStream_.clear();
        rowDeflater_.compress(sample_.data(), filteredBytes, 0, true, trialStream_,
                              RowDeflater::Rows::Screen, kFilteredTrialChain);
        return residuals < trialStream_.size() ? others | kOwnCoder | kResiduals : others;
    }

    const std::uint8_t* stream() const { return stream_.data(); }
    std::size_t streamBytes() const { return streamBytes_; }
    std::size_t rawBytes() const { return rawBytes_; }
    std::uint32_t adler() const { return adler_; }

private:
    static constexpr std::size_t kHistoryBytes = 32768;  // deflate's window
    static constexpr int kTrialChain = 16;
    // Rows::Residuals against Rows::Screen on the filtered sample: 16 chose the same.
    static constexpr int kFilteredTrialChain = 4;

    const RowPacker& packer_;
    std::atomic<unsigned>* const decisions_;
    const unsigned filters_;
    const bool chunkTrial_, libdeflateOnly_;
    const int level_;
    const int chunkRows_, historyRows_;
    RowDeflater rowDeflater_;
    RowEntropy entropy_;
    CompressorPtr compressor_, trialCompressor_;
    std::vector<std::uint8_t> rows_, filtered_, trial_, stream_, sample_, trialStream_;
    std::size_t rawBytes_ = 0, streamBytes_ = 0;
    std::uint32_t adler_ = 1;
};

// --- The file -------------------------------------------------------------------------

void PutU32Be(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// One chunk of the file, its data given in up to three pieces.
ExportResult WriteChunk(QIODevice& out, const char* type,
                        std::initializer_list<std::pair<const void*, std::size_t>> pieces) {
    std::size_t length = 0;
    for (const auto& [data, size] : pieces) length += size;
    if (length > 0x7FFFFFFFu) return ExportResult::Failure("PNG: a chunk is too large");
    std::uint8_t head[8];
    PutU32Be(head, static_cast<std::uint32_t>(length));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    if (ExportResult r = WriteAll(out, head, 8); !r) return r;
    for (const auto& [data, size] : pieces) {
        crc = libdeflate_crc32(crc, data, size);
        if (ExportResult r = WriteAll(out, data, size); !r) return r;
    }
    std::uint8_t tail[4];
    PutU32Be(tail, crc);
    return WriteAll(out, tail, 4);
}

int ColourTypeCode(PngColour colour) {
    return colour == PngColour::Palette ? 3 : colour == PngColour::Grey ? 0 : 2;
}

std::vector<std::uint8_t> PaletteBytes(const PngLayout& layout) {
    std::vector<std::uint8_t> bytes;
    for (const QRgb c : layout.palette) {
        bytes.push_back(static_cast<std::uint8_t>(qRed(c)));
        bytes.push_back(static_cast<std::uint8_t>(qGreen(c)));
        bytes.push_back(static_cast<std::uint8_t>(qBlue(c)));
    }
    return bytes;
}

ExportResult WriteHeader(QIODevice& out, const QImage& block, const PngLayout& layout) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (ExportResult r = WriteAll(out, kSignature, 8); !r) return r;
    std::uint8_t ihdr[13] = {};
    PutU32Be(ihdr, static_cast<std::uint32_t>(block.width()));
    PutU32Be(ihdr + 4, static_cast<std::uint32_t>(block.height()));
    ihdr[8] = static_cast<std::uint8_t>(layout.bitDepth);
    ihdr[9] = static_cast<std::uint8_t>(ColourTypeCode(layout.colour));
    if (ExportResult r = WriteChunk(out, "IHDR", {{ihdr, 13}}); !r) return r;
    if (layout.colour == PngColour::Palette) {
        const std::vector<std::uint8_t> plte = PaletteBytes(layout);
        if (ExportResult r = WriteChunk(out, "PLTE", {{plte.data(), plte.size()}}); !r) return r;
    }
    std::uint8_t phys[9] = {};
    PutU32Be(phys, 3780);  // 96 dots per inch in pixels per metre
    PutU32Be(phys + 4, 3780);
    phys[8] = 1;
    return WriteChunk(out, "pHYs", {{phys, 9}});
}

// Which chunk is ready in the second thread's coder, and whether its slot is free.
struct Handoff {
    std::mutex mutex;
    std::condition_variable changed;
    int ready = -1;
    bool slotFree = true;
    bool stop = false;
    bool failed = false;
};

constexpr qint64 kSecondThreadFromPixels = qint64{1} << 22;

// The file a chunk at a time, on one or two threads.
ExportResult EncodeInChunks(const QImage& block, const PngLayout& layout, int level,
                            unsigned filters, bool chunkTrial, const PngOptions& options,
                            QIODevice& out) {
    const RowPacker packer(block, layout);
    const std::size_t filteredRow = packer.rowBytes() + 1;
    const bool libdeflateOnly = options.level != 0;
    const std::size_t pictureBytes = std::size_t{4} * static_cast<std::size_t>(block.width()) *
                                     static_cast<std::size_t>(block.height());
    // A second thread pays from about four million pixels; below, its tables would cost
    // more than a third of the picture's memory.
    const bool large = qint64{block.width()} * block.height() >= kSecondThreadFromPixels ||
                       options.chunkBytes != 0;
    // Chunks of a 24th of the picture's own memory on two threads, of a 32nd on one (at
    // least 128 KiB): the chunks in flight with their streams and the compressors' tables
    // (1.6 MB a thread: libdeflate's lazy level and the trial's, RowDeflater's) stay
    // within a third of it. RowDeflater carries the last 32 KiB of rows over from chunk
    // to chunk; libdeflate starts each afresh. (On two threads a 32nd made the 4K
    // desktop 45 % slower, by worse shares of the work, and screenshots up to 2 %
    // larger; on one, a 24th took 0.35 of a 1080p photograph.)
    // Palette pictures through libdeflate's near-optimal levels take a chunk of an 128th
    // (at least 96 KiB): its tables grow with the chunk, to 0.44 of the picture at a 24th.
    const bool smallChunks = layout.colour == PngColour::Palette && libdeflateOnly;
    const std::size_t share = large && options.secondThread ? 24 : 32;
    const std::size_t target =
        options.chunkBytes ? options.chunkBytes
        : smallChunks      ? std::max(pictureBytes / 128, std::size_t{96} << 10)
                           : std::max(pictureBytes / share, std::size_t{128} << 10);
    int chunkRows =
        static_cast<int>(std::clamp<std::size_t>(target / filteredRow, 1, block.height()));
    int chunks = (block.height() + chunkRows - 1) / chunkRows;
    const bool twoThreads = options.secondThread && chunks >= 2 && large;
    if (twoThreads && chunks % 2 == 1) {  // an even count keeps both threads busy to the end
        chunkRows = (block.height() + chunks) / (chunks + 1);
        chunks = (block.height() + chunkRows - 1) / chunkRows;
    }
    const auto rowsOf = [&](int i) { return std::min(chunkRows, block.height() - i * chunkRows); };

    if (ExportResult r = WriteHeader(out, block, layout); !r) return r;
    std::uint32_t adler = 1;
    const auto writeChunk = [&](const ChunkCoder& coder, int i) {
        adler = static_cast<std::uint32_t>(
            adler32_combine64(adler, coder.adler(), static_cast<z_off64_t>(coder.rawBytes())));
        static const std::uint8_t kZlibHeader[2] = {0x78, 0xDA};
        std::uint8_t sum[4];
        PutU32Be(sum, adler);
        const bool first = i == 0, last = i == chunks - 1;
        return WriteChunk(out, "IDAT",
                          {{kZlibHeader, first ? 2u : 0u},
                           {coder.stream(), coder.streamBytes()},
                           {sum, last ? 4u : 0u}});
    };

    const auto decisions =
        std::make_unique<std::atomic<unsigned>[]>(static_cast<std::size_t>(chunks));
    for (int i = 0; i < chunks; ++i) decisions[static_cast<std::size_t>(i)] = kUndecided;
    ChunkCoder mine(packer, filters, chunkTrial, level, libdeflateOnly,
                    static_cast<std::size_t>(chunkRows), decisions.get());
    std::unique_ptr<ChunkCoder> theirs;
    Handoff handoff;
    std::thread second;
    if (twoThreads) {
        theirs = std::make_unique<ChunkCoder>(packer, filters, chunkTrial, level, libdeflateOnly,
                                              static_cast<std::size_t>(chunkRows),
                                              decisions.get());
        try {
            second = std::thread([&] {
                for (int i = 1; i < chunks; i += 2) {
                    {
                        std::unique_lock lock(handoff.mutex);
                        handoff.changed.wait(lock,
                                             [&] { return handoff.slotFree || handoff.stop; });
                        if (handoff.stop) return;
                        handoff.slotFree = false;
                    }
                    bool ok = false;
                    try {
                        ok = theirs->code(i * chunkRows, rowsOf(i), i == chunks - 1);
                    } catch (...) {  // out of memory: the calling thread hears of it
                    }
                    const std::lock_guard lock(handoff.mutex);
                    handoff.failed = !ok;
                    handoff.ready = i;
                    handoff.changed.notify_all();
                    if (!ok) return;
                }
            });
        } catch (const std::system_error&) {
            theirs.reset();  // no second thread to be had: every chunk here
        }
    }
    // However this ends, the second thread is told and waited for.
    struct Join {
        Handoff& handoff;
        std::thread& thread;
        ~Join() {
            if (!thread.joinable()) return;
            {
                const std::lock_guard lock(handoff.mutex);
                handoff.stop = true;
            }
            handoff.changed.notify_all();
            thread.join();
        }
    } join{handoff, second};

    for (int i = 0; i < chunks; ++i) {
        if (!theirs || i % 2 == 0) {
            if (!mine.code(i * chunkRows, rowsOf(i), i == chunks - 1))
                return ExportResult::Failure("PNG: compression failed");
            if (ExportResult r = writeChunk(mine, i); !r) return r;
            continue;
        }
        {
            std::unique_lock lock(handoff.mutex);
            handoff.changed.wait(lock, [&] { return handoff.ready == i; });
            if (handoff.failed) return ExportResult::Failure("PNG: compression failed");
        }
        if (ExportResult r = writeChunk(*theirs, i); !r) return r;
        {
            const std::lock_guard lock(handoff.mutex);
            handoff.slotFree = true;
        }
        handoff.changed.notify_all();
    }
    return WriteChunk(out, "IEND", {});
}

// --- libpng ---------------------------------------------------------------------------

struct PngWrite {
    QIODevice* out = nullptr;
    std::string error;  // the first failure, set before libpng jumps back
};

void PngWriteData(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<PngWrite*>(png_get_io_ptr(png));
    if (ExportResult r = WriteAll(*state->out, data, length); !r) {
        state->error = r.error();
        png_error(png, "write failed");
    }
}

void PngFlush(png_structp) {}

void PngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngWrite*>(png_get_error_ptr(png));
    if (state->error.empty()) state->error = std::string("PNG: ") + (message ? message : "error");
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// The libpng calls, between a setjmp and the error handler's longjmp: nothing here owns
// anything that needs a destructor (row and palette are the caller's).
bool WriteWithLibpng(png_structp png, png_infop info, const QImage& block, const PngLayout& layout,
                     const RowPacker& packer, png_bytep row, png_colorp palette) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(block.width()),
                 static_cast<png_uint_32>(block.height()), layout.bitDepth,
                 ColourTypeCode(layout.colour), PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (layout.colour == PngColour::Palette)
        png_set_PLTE(png, info, palette, static_cast<int>(layout.palette.size()));
    png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < block.height(); ++y) {
        packer.pack(y, row);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

PngLayout ChoosePngLayout(const QImage& block) {
    PngLayout layout;
    ColourIndex index;
    std::uint32_t last = 0xFFFFFFFFu;
    for (int y = 0; y < block.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(block.constScanLine(y));
        for (int x = 0; x < block.width(); ++x) {
            const std::uint32_t rgb = line[x] & 0xFFFFFFu;
            if (rgb == last) continue;
            last = rgb;
            if (index.add(rgb) < 0) return layout;  // more than 256 colours: RGB
        }
    }
    const std::vector<std::uint32_t>& colours = index.colours();
    const int paletteBits = BitsForCount(colours.size());
    if (std::all_of(colours.begin(), colours.end(), IsGrey)) {
        int greyBits = 8;
        for (int bits : {4, 2, 1}) {
            const std::uint32_t step = 255u / ((1u << bits) - 1u);
            if (std::all_of(colours.begin(), colours.end(),
                            [&](std::uint32_t c) { return (c & 0xFF) % step == 0; }))
                greyBits = bits;
        }
        if (greyBits <= paletteBits) {
            layout.colour = PngColour::Grey;
            layout.bitDepth = greyBits;
            return layout;
        }
    }
    layout.colour = PngColour::Palette;
    layout.bitDepth = paletteBits;
    layout.palette.assign(colours.begin(), colours.end());
    for (QRgb& c : layout.palette) c |= 0xFF000000u;
    return layout;
}

ExportResult EncodePng(const QImage& block, QIODevice& out, const PngOptions& options) {
    if (ExportResult r = CheckBlock(block, std::numeric_limits<std::int32_t>::max()); !r) return r;
    const PngLayout layout = ChoosePngLayout(block);
    const PngSetting setting = SettingFor(layout.colour);
    const int level = options.level ? options.level : setting.level;
    const unsigned filters = options.filters ? options.filters : setting.filters;
    const bool chunkTrial = options.filters ? true : setting.chunkTrial;
    if (level < 1 || level > 12)
        return ExportResult::Failure("PNG: compression level out of 1..12");
    if (filters > kPngFilterAll) return ExportResult::Failure("PNG: unknown row filter");
    // No memory for libdeflate's tables: libpng's smaller ones may still do. (Should a
    // later chunk find none, zlib compresses that chunk.)
    if (!CompressorPtr(libdeflate_alloc_compressor(level)))
        return EncodePngWithLibpng(block, out);
    return EncodeInChunks(block, layout, level, filters, chunkTrial, options, out);
}

ExportResult EncodePngWithLibpng(const QImage& block, QIODevice& out) {
    if (ExportResult r = CheckBlock(block, std::numeric_limits<std::int32_t>::max()); !r) return r;
    const PngLayout layout = ChoosePngLayout(block);
    const RowPacker packer(block, layout);
    std::vector<png_byte> row(packer.rowBytes());
    std::vector<png_color> palette;
    for (const QRgb c : layout.palette)
        palette.push_back({static_cast<png_byte>(qRed(c)), static_cast<png_byte>(qGreen(c)),
                           static_cast<png_byte>(qBlue(c))});
    PngWrite state{&out, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
    if (!png) return ExportResult::Failure("PNG: cannot start the encoder");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return ExportResult::Failure("PNG: cannot start the encoder");
    }
    // No limits of libpng's own on the width: the block's size was checked before.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_set_write_fn(png, &state, PngWriteData, PngFlush);
    const bool written =
        WriteWithLibpng(png, info, block, layout, packer, row.data(), palette.data());
    png_destroy_write_struct(&png, &info);
    if (!written)
        return ExportResult::Failure(state.error.empty() ? "PNG: encoding failed" : state.error);
    return ExportResult::Ok();
}

}  // namespace trimlet
