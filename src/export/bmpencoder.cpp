#include "export/bmpencoder.h"

#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "export/encoderio.h"

namespace trimlet {
namespace {

void PutU16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void PutU32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

ExportResult EncodeBmp(const QImage& block, QIODevice& out) {
    if (ExportResult r = CheckBlock(block, std::numeric_limits<std::int32_t>::max()); !r) return r;
    const std::uint64_t width = static_cast<std::uint64_t>(block.width());
    const std::uint64_t height = static_cast<std::uint64_t>(block.height());
    const std::uint64_t rowBytes = (width * 3 + 3) & ~std::uint64_t{3};
    constexpr std::uint64_t kHeaderBytes = 14 + 40;
    const std::uint64_t imageBytes = rowBytes * height;  // both below 2^33: no overflow
    if (kHeaderBytes + imageBytes > std::numeric_limits<std::uint32_t>::max())
        return ExportResult::Failure("the block is too large for a BMP file");

    std::array<unsigned char, kHeaderBytes> header{};
    header[0] = 'B';
    header[1] = 'M';
    PutU32(&header[2], static_cast<std::uint32_t>(kHeaderBytes + imageBytes));
    PutU32(&header[10], kHeaderBytes);
    PutU32(&header[14], 40);
    PutU32(&header[18], static_cast<std::uint32_t>(width));
    PutU32(&header[22], static_cast<std::uint32_t>(height));  // positive: bottom-up
    PutU16(&header[26], 1);                                   // planes
    PutU16(&header[28], 24);                                  // bits per pixel
    PutU32(&header[30], 0);                                   // BI_RGB
    PutU32(&header[34], static_cast<std::uint32_t>(imageBytes));
    PutU32(&header[38], 3780);  // 96 dots per inch in pixels per metre
    PutU32(&header[42], 3780);
    if (ExportResult r = WriteAll(out, header.data(), header.size()); !r) return r;

    // Rows go out bottom first, gathered into chunks of about 256 KiB, which stay in
    // the cache while the system copies them. The chunk is kept for the next save,
    // which then touches no fresh memory.
    thread_local std::vector<unsigned char> chunk;
    constexpr std::size_t target = std::size_t{256} << 10;
    const std::size_t rowsPerChunk =
        std::max<std::size_t>(1, target / static_cast<std::size_t>(rowBytes));
    // One spare byte: each pixel is stored as four bytes, the fourth overwritten next.
    const std::size_t chunkBytes = rowsPerChunk * static_cast<std::size_t>(rowBytes) + 1;
    if (chunk.size() < chunkBytes) chunk.assign(chunkBytes, 0);
    std::size_t filled = 0;
    const int pixelsPerRow = block.width();  // out of the loops: not inlined
    for (int y = block.height() - 1; y >= 0; --y) {
        const auto* src = reinterpret_cast<const QRgb*>(block.constScanLine(y));
        unsigned char* row = chunk.data() + filled * static_cast<std::size_t>(rowBytes);
        unsigned char* dst = row;
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            // 0xAARRGGBB is stored B, G, R, A: the file's order, less the last byte.
            for (int x = 0; x < pixelsPerRow; ++x, dst += 3) std::memcpy(dst, src + x, 4);
        } else {
            for (int x = 0; x < pixelsPerRow; ++x, dst += 3) {
                const QRgb p = src[x];
                dst[0] = static_cast<unsigned char>(qBlue(p));
                dst[1] = static_cast<unsigned char>(qGreen(p));
                dst[2] = static_cast<unsigned char>(qRed(p));
            }
        }
        std::fill(row + width * 3, row + rowBytes, 0);  // the padding, after the spill
        if (++filled == rowsPerChunk || y == 0) {
            if (ExportResult r = WriteAll(out, chunk.data(), filled * rowBytes); !r) return r;
            filled = 0;
        }
    }
    return ExportResult::Ok();
}
}  // namespace trimlet
