#include "export/rowdeflate.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>

namespace trimlet {

namespace {

constexpr int kMaxMatch = 258;
constexpr int kMinMatch = 3;
// A quarter of the chain is searched once a match of kGoodMatch is in hand (zlib's
// good_length).
constexpr int kGoodMatch = 32;
// A match of three bytes from farther back costs more than its literals (zlib's TOO_FAR).
constexpr int kTooFar = 4096;
// A position whose next kRun bytes repeat the pixel before lies inside a run.
constexpr int kRun = 16;
// Rows::Residuals: the bytes a hash covers, and the length from which a match is taken
// without pricing it.
constexpr int kResidualHash = 8;
constexpr int kPricedBelow = 16;

constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

// The length code (0..28) of a match length 3..258.
int LengthCode(int length) {
    const int x = length - kMinMatch;
    if (x < 8) return x;
    if (x == 255) return 28;
    const int k = std::bit_width(static_cast<unsigned>(x)) - 1;
    return 4 * (k - 1) + ((x >> (k - 2)) & 3);
}

// The distance code (0..29) of a distance 1..32768.
int DistanceCode(int distance) {
    const int x = distance - 1;
    if (x < 4) return x;
    const int k = std::bit_width(static_cast<unsigned>(x)) - 1;
    return 2 * k + ((x >> (k - 1)) & 1);
}

// Code lengths for the frequencies (0: the symbol is not used), none longer than limit;
// at least two symbols get a code, so that every decoder takes the code as complete.
void HuffmanLengths(const std::uint32_t* freq, int n, int limit, std::uint8_t* lengths) {
    std::fill_n(lengths, n, 0);
    std::vector<std::pair<std::uint32_t, int>> leaves;  // frequency, symbol
    for (int i = 0; i < n; ++i)
        if (freq[i]) leaves.emplace_back(freq[i], i);
    if (leaves.size() < 2) {
        const int used = leaves.empty() ? 0 : leaves[0].second;
        lengths[used] = 1;
        lengths[used == 0 ? 1 : 0] = 1;
        return;
    }
    std::sort(leaves.begin(), leaves.end());
    // The tree from two queues: the sorted leaves, and the inner nodes as made (their
    // weights rise too). Node k's parent is always made after it.
    const int m = static_cast<int>(leaves.size());
    std::vector<std::uint64_t> weight(2 * m - 1);
    std::vector<int> parent(2 * m - 1, 0), depth(2 * m - 1, 0);
    for (int i = 0; i < m; ++i) weight[i] = leaves[i].first;
    int leaf = 0, inner = m;
    for (int k = m; k < 2 * m - 1; ++k) {
        const auto take = [&] {
            return leaf < m && (inner >= k || weight[leaf] <= weight[inner]) ? leaf++ : inner++;
        };
        const int a = take(), b = take();
        weight[k] = weight[a] + weight[b];
        parent[a] = parent[b] = k;
    }
    std::vector<int> count(static_cast<std::size_t>(std::max(2 * m, limit + 2)), 0);
    for (int k = 2 * m - 3; k >= 0; --k) depth[k] = depth[parent[k]] + 1;
    for (int i = 0; i < m; ++i) ++count[std::min(depth[i], limit)];
    // Too long codes were cut to limit above; while the code is over-full, a longest
    // code goes and a shorter one splits in two.
    std::uint64_t kraft = 0;
    for (int len = 1; len <= limit; ++len)
        kraft += static_cast<std::uint64_t>(count[len]) << (limit - len);
    while (kraft > (std::uint64_t{1} << limit)) {
        --count[limit];
        for (int len = limit - 1; len > 0; --len)
            if (count[len]) {
                --count[len];
                count[len + 1] += 2;
                break;
            }
        --kraft;
    }
    // The rarest symbols take the longest codes.
    int next = 0;
    for (int len = limit; len > 0; --len)
        for (int c = 0; c < count[len]; ++c)
            lengths[leaves[next++].second] = static_cast<std::uint8_t>(len);
}

// Canonical codes for the lengths, bit-reversed for the stream's order.
void CanonicalCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes) {
    std::array<std::uint16_t, 16> count{}, next{};
    for (int i = 0; i < n; ++i) ++count[lengths[i]];
    count[0] = 0;
    std::uint16_t code = 0;
    for (int len = 1; len < 16; ++len) {
        code = static_cast<std::uint16_t>((code + count[len - 1]) << 1);
        next[len] = code;
    }
    for (int i = 0; i < n; ++i) {
        const int len = lengths[i];
        if (!len) continue;
        const unsigned c = next[len]++;
        unsigned reversed = 0;
        for (int b = 0; b < len; ++b) reversed |= ((c >> b) & 1u) << (len - 1 - b);
        codes[i] = static_cast<std::uint16_t>(reversed);
    }
}

// The code lengths of one code as code-length symbols: runs of zeros as 17 and 18, runs
// of a length as the length and 16. Each entry: symbol | extra value << 8.
void CodeLengthSymbols(const std::uint8_t* lengths, int n, std::vector<std::uint16_t>& out) {
    for (int i = 0; i < n;) {
        const std::uint8_t len = lengths[i];
        int run = 1;
        while (i + run < n && lengths[i + run] == len) ++run;
        i += run;
        if (len == 0) {
            while (run >= 11) {
                const int r = std::min(run, 138);
                out.push_back(static_cast<std::uint16_t>(18 | (r - 11) << 8));
                run -= r;
            }
            if (run >= 3) {
                out.push_back(static_cast<std::uint16_t>(17 | (run - 3) << 8));
                run = 0;
            }
        } else {
            out.push_back(len);
            --run;
            while (run >= 3) {
                const int r = std::min(run, 6);
                out.push_back(static_cast<std::uint16_t>(16 | (r - 3) << 8));
                run -= r;
            }
        }
        while (run-- > 0) out.push_back(len);
    }
}

}  // namespace

// Bits in the stream's order, least significant first.
class RowDeflater::BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void put(std::uint32_t value, int n) {  // n <= 32, value < 2^n
        acc_ |= static_cast<std::uint64_t>(value) << count_;
        count_ += n;
        if (count_ >= 32) {
            const std::uint8_t bytes[4] = {
                static_cast<std::uint8_t>(acc_), static_cast<std::uint8_t>(acc_ >> 8),
                static_cast<std::uint8_t>(acc_ >> 16), static_cast<std::uint8_t>(acc_ >> 24)};
            out_.insert(out_.end(), bytes, bytes + 4);
            acc_ >>= 32;
            count_ -= 32;
        }
    }
    // Zeros to the byte's end.
    void align() {
        for (; count_ > 0; count_ -= 8) {
            out_.push_back(static_cast<std::uint8_t>(acc_));
            acc_ >>= 8;
        }
        count_ = 0;
        acc_ = 0;
    }
    void bytes(const std::uint8_t* data, std::size_t n) { out_.insert(out_.end(), data, data + n); }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    int count_ = 0;
};

RowDeflater::RowDeflater(int pixelBytes, std::size_t rowBytes)
    : pixel_(std::max(1, pixelBytes)),
      row_(static_cast<std::int32_t>(std::min<std::size_t>(rowBytes, kWindow + 1))),
      head_(std::size_t{1} << kHashBits),
      prev_(kWindow) {
    symbols_.reserve(kBlockSymbols);
}

std::int32_t RowDeflater::insert(std::int32_t p) {
    if (p + (residuals_ ? kResidualHash : kMinMatch) > end_) return -1;
    const std::uint8_t* s = base_ + p;
    std::uint32_t h;
    if (residuals_) {
        std::uint64_t v;
        std::memcpy(&v, s, 8);
        h = static_cast<std::uint32_t>((v * 0x9E3779B97F4A7C15u) >> (64 - kHashBits));
    } else {
        const std::uint32_t v = s[0] | static_cast<std::uint32_t>(s[1]) << 8 |
                                static_cast<std::uint32_t>(s[2]) << 16;
        h = (v * 0x9E3779B1u) >> (32 - kHashBits);
    }
    const std::int32_t candidate = head_[h];
    if (p >= pixel_ && p + kRun <= end_ && std::memcmp(s, s - pixel_, kRun) == 0)
        return candidate;  // inside a run: the pixel before finds its match
    prev_[static_cast<std::size_t>(p) & (kWindow - 1)] = candidate;
    head_[h] = p;
    return candidate;
}

int RowDeflater::longest(std::int32_t p, std::int32_t candidate, int best,
                         std::int32_t& start) const {
    const int max = std::min(kMaxMatch, end_ - p);
    if (max < kMinMatch || best >= max) return best;
    const std::uint8_t* s = base_ + p;
    const auto length = [&](std::int32_t from) {
        const std::uint8_t* t = base_ + from;
        int n = 0;
        for (; n + 8 <= max; n += 8) {
            std::uint64_t a, b;
            std::memcpy(&a, s + n, 8);
            std::memcpy(&b, t + n, 8);
            if (a != b) {
                if constexpr (std::endian::native == std::endian::little)
                    return n + (std::countr_zero(a ^ b) >> 3);
                else
                    return n + (std::countl_zero(a ^ b) >> 3);
            }
        }
        while (n < max && s[n] == t[n]) ++n;
        return n;
    };
    // A longer match, or one as long from nearer (its distance costs fewer bits): the
    // rows above are tried before the chain, which runs from near to far.
    bool found = false;
    const auto consider = [&](std::int32_t from) {
        const bool nearer = found && from > start;
        const int at = nearer ? best - 1 : best;  // a byte that must match
        if (s[at] != base_[from + at]) return false;
        const int n = length(from);
        if (n < best || (n == best && !nearer)) return false;
        best = n;
        start = from;
        found = true;
        return best >= max;
    };
    const std::int32_t distances[4] = {pixel_, pixel_ == 1 ? 0 : 1, row_, 2 * row_};
    for (const std::int32_t d : distances)
        if (d > 0 && d <= p && d <= static_cast<std::int32_t>(kWindow) && consider(p - d))
            return best;
    int chain = best >= kGoodMatch ? std::max(1, chain_ / 4) : chain_;
    const std::int32_t limit = p - static_cast<std::int32_t>(kWindow);
    for (std::int32_t cur = candidate; cur > limit && cur >= 0 && chain-- > 0;) {
        if (consider(cur)) break;
        const std::int32_t next = prev_[static_cast<std::size_t>(cur) & (kWindow - 1)];
        if (next >= cur) break;
        cur = next;
    }
    return best;
}

// Whether the match of length at p costs fewer bits than its literals, by the prices of
// the block before.
bool RowDeflater::cheaperThanLiterals(std::int32_t p, int length, int distance) const {
    const int lc = LengthCode(length), dc = DistanceCode(distance);
    const unsigned matchCost = lengthCost_[lc] + 16u * kLengthExtra[lc] + distanceCost_[dc] +
                               16u * kDistanceExtra[dc];
    unsigned literals = 0;
    for (const std::uint8_t* s = base_ + p; length-- > 0; ++s) literals += literalCost_[*s];
    return matchCost < literals;
}

void RowDeflater::literal(std::uint8_t c) {
    symbols_.push_back({c, 0});
    ++litFreq_[c];
}

void RowDeflater::match(int length, int distance) {
    symbols_.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance)});
    ++litFreq_[257 + static_cast<std::size_t>(LengthCode(length))];
    ++distFreq_[static_cast<std::size_t>(DistanceCode(distance))];
}

void RowDeflater::writeBlock(BitWriter& bits, bool final) {
    // Where the block's bytes end: after its symbols.
    std::int32_t blockEnd = blockStart_;
    for (const Symbol& sym : symbols_) blockEnd += sym.distance ? sym.length : 1;

    ++litFreq_[256];
    std::array<std::uint8_t, 286> litLen;
    std::array<std::uint8_t, 30> distLen;
    HuffmanLengths(litFreq_.data(), 286, 15, litLen.data());
    HuffmanLengths(distFreq_.data(), 30, 15, distLen.data());
    int hlit = 286, hdist = 30;
    while (hlit > 257 && litLen[static_cast<std::size_t>(hlit - 1)] == 0) --hlit;
    while (hdist > 1 && distLen[static_cast<std::size_t>(hdist - 1)] == 0) --hdist;
    std::vector<std::uint16_t> clSymbols;
    CodeLengthSymbols(litLen.data(), hlit, clSymbols);
    CodeLengthSymbols(distLen.data(), hdist, clSymbols);
    std::array<std::uint32_t, 19> clFreq{};
    for (const std::uint16_t c : clSymbols) ++clFreq[c & 0xFFu];
    std::array<std::uint8_t, 19> clLen;
    HuffmanLengths(clFreq.data(), 19, 7, clLen.data());
    int hclen = 19;
    while (hclen > 4 && clLen[kCodeLengthOrder[hclen - 1]] == 0) --hclen;

    static constexpr std::uint8_t kClExtra[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  0, 0, 0, 0, 0, 0, 2, 3, 7};
    std::uint64_t dynamicBits = 3 + 14 + 3 * static_cast<std::uint64_t>(hclen);
    for (int i = 0; i < 19; ++i) dynamicBits += std::uint64_t{clFreq[i]} * (clLen[i] + kClExtra[i]);
    for (int i = 0; i < 286; ++i)
        dynamicBits +=
            std::uint64_t{litFreq_[i]} * (litLen[i] + (i > 256 ? kLengthExtra[i - 257] : 0));
    for (int i = 0; i < 30; ++i)
        dynamicBits += std::uint64_t{distFreq_[i]} * (distLen[i] + kDistanceExtra[i]);
    const std::size_t raw = static_cast<std::size_t>(blockEnd - blockStart_);
    const std::size_t pieces = std::max<std::size_t>(1, (raw + 65534) / 65535);
    const std::uint64_t storedBits = (raw + 5 * pieces) * 8 + 7;

    // The next block is priced by this one's codes (0.6 % smaller than by the guesses);
    // a symbol it did not use keeps its price.
    if (residuals_) {
        const auto price = [](const std::uint8_t* lengths, std::uint16_t* costs, int n) {
            for (int i = 0; i < n; ++i)
                if (lengths[i]) costs[i] = static_cast<std::uint16_t>(16 * lengths[i]);
        };
        price(litLen.data(), literalCost_.data(), 256);
        price(litLen.data() + 257, lengthCost_.data(), 29);
        price(distLen.data(), distanceCost_.data(), 30);
    }
    if (storedBits < dynamicBits) {
        const std::uint8_t* p = base_ + blockStart_;
        std::size_t left = raw;
        for (std::size_t i = 0; i < pieces; ++i) {
            const std::size_t n = std::min<std::size_t>(left, 65535);
            bits.put(final && i + 1 == pieces ? 1 : 0, 3);
            bits.align();
            bits.put(static_cast<std::uint32_t>(n), 16);
            bits.put(static_cast<std::uint32_t>(n ^ 0xFFFFu), 16);
            bits.bytes(p, n);
            p += n;
            left -= n;
        }
    } else {
        std::array<std::uint16_t, 286> litCode{};
        std::array<std::uint16_t, 30> distCode{};
        std::array<std::uint16_t, 19> clCode{};
        CanonicalCodes(litLen.data(), 286, litCode.data());
        CanonicalCodes(distLen.data(), 30, distCode.data());
        CanonicalCodes(clLen.data(), 19, clCode.data());
        bits.put(final ? 1 : 0, 1);
        bits.put(2, 2);
        bits.put(static_cast<std::uint32_t>(hlit - 257), 5);
        bits.put(static_cast<std::uint32_t>(hdist - 1), 5);
        bits.put(static_cast<std::uint32_t>(hclen - 4), 4);
        for (int i = 0; i < hclen; ++i) bits.put(clLen[kCodeLengthOrder[i]], 3);
        for (const std::uint16_t c : clSymbols) {
            const int sym = c & 0xFF;
            bits.put(clCode[static_cast<std::size_t>(sym)], clLen[static_cast<std::size_t>(sym)]);
            if (kClExtra[sym]) bits.put(c >> 8, kClExtra[sym]);
        }
        for (const Symbol& sym : symbols_) {
            if (!sym.distance) {
                bits.put(litCode[sym.length], litLen[sym.length]);
                continue;
            }
            const int lc = LengthCode(sym.length);
            bits.put(litCode[static_cast<std::size_t>(257 + lc)],
                     litLen[static_cast<std::size_t>(257 + lc)]);
            if (kLengthExtra[lc])
                bits.put(static_cast<std::uint32_t>(sym.length - kLengthBase[lc]),
                         kLengthExtra[lc]);
            const int dc = DistanceCode(sym.distance);
            bits.put(distCode[static_cast<std::size_t>(dc)], distLen[static_cast<std::size_t>(dc)]);
            if (kDistanceExtra[dc])
                bits.put(static_cast<std::uint32_t>(sym.distance - kDistanceBase[dc]),
                         kDistanceExtra[dc]);
        }
        bits.put(litCode[256], litLen[256]);
    }
    symbols_.clear();
    litFreq_.fill(0);
    distFreq_.fill(0);
    blockStart_ = blockEnd;
}

void RowDeflater::compress(const std::uint8_t* data, std::size_t size, std::size_t history,
                           bool last, std::vector<std::uint8_t>& out, Rows rows, int chain) {
    // Positions are 32-bit: larger inputs go in pieces, each the next one's history.
    constexpr std::size_t kPiece = std::size_t{1} << 30;
    if (size > kPiece) {
        compress(data, kPiece, history, false, out, rows, chain);
        compress(data + kPiece, size - kPiece, kPiece, last, out, rows, chain);
        return;
    }
    residuals_ = rows == Rows::Residuals;
    chain_ = chain > 0 ? chain : residuals_ ? kResidualChain : kScreenChain;
    if (residuals_) {
        // The first block's prices: a length code guessed at 6 bits, a distance code at
        // 5, a literal at what its frequency in the data is worth.
        lengthCost_.fill(6 * 16);
        distanceCost_.fill(5 * 16);
        std::array<std::uint32_t, 256> counts{};
        for (std::size_t i = 0; i < size; ++i) ++counts[data[i]];
        for (std::size_t b = 0; b < 256; ++b)
            literalCost_[b] = static_cast<std::uint16_t>(std::lround(
                16 * std::min(15.0, std::log2(static_cast<double>(std::max<std::size_t>(size, 1)) /
                                                  std::max(counts[b], 1u)))));
    }
    const std::size_t kept = std::min(history, kWindow);
    base_ = data - kept;
    const std::int32_t start = static_cast<std::int32_t>(kept);
    end_ = static_cast<std::int32_t>(kept + size);
    std::fill(head_.begin(), head_.end(), -1);
    for (std::int32_t p = 0; p < start; ++p) insert(p);
    symbols_.clear();
    litFreq_.fill(0);
    distFreq_.fill(0);
    blockStart_ = start;
    BitWriter bits(out);
    const auto flushFull = [&] {
        if (symbols_.size() >= kBlockSymbols) writeBlock(bits, false);
    };

    // zlib's lazy parse: a match is taken only if the next position has no longer one.
    int matchLength = kMinMatch - 1;
    std::int32_t matchStart = 0;
    bool pending = false;  // the byte before p is not yet coded
    for (std::int32_t p = start; p < end_;) {
        const std::int32_t candidate = insert(p);
        const int prevLength = matchLength;
        const std::int32_t prevStart = matchStart;
        matchLength = longest(p, candidate, std::max(prevLength, kMinMatch - 1), matchStart);
        if (matchLength <= prevLength) matchLength = kMinMatch - 1;
        if (matchLength == kMinMatch && p - matchStart > kTooFar) matchLength = kMinMatch - 1;
        if (residuals_ && matchLength >= kMinMatch && matchLength < kPricedBelow &&
            !cheaperThanLiterals(p, matchLength, p - matchStart))
            matchLength = kMinMatch - 1;
        if (prevLength >= kMinMatch && matchLength <= prevLength) {
            const int distance = p - 1 - prevStart;
            match(prevLength, distance);
            const std::int32_t next = p - 1 + prevLength;
            // Inside a run all but the last kRun positions would be left out anyway.
            std::int32_t from = p + 1;
            if (distance == pixel_) from = std::max(from, next - kRun);
            for (std::int32_t q = from; q < next; ++q) insert(q);
            p = next;
            pending = false;
            matchLength = kMinMatch - 1;
            flushFull();
        } else if (pending) {
            literal(base_[p - 1]);
            ++p;
            flushFull();
        } else {
            pending = true;
            ++p;
        }
    }
    if (pending) literal(base_[end_ - 1]);
    writeBlock(bits, last);
    if (!last) {
        bits.put(0, 3);  // an empty stored block: a byte boundary for the next stream
        bits.align();
        static constexpr std::uint8_t kEmptyStored[4] = {0x00, 0x00, 0xFF, 0xFF};
        bits.bytes(kEmptyStored, 4);
    }
    bits.align();
}

}  // namespace trimlet
