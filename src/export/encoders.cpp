#include "export/encoders.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <png.h>
#include <zlib.h>

#include <QBuffer>
#include <QIODevice>
#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "common/atomicfile.h"
#include "common/pixelformat.h"
#include "export/dither.h"
#include "export/jpegwriter.h"

namespace trimlet {
namespace {

ExportResult CheckBlock(const QImage& block, int maxSide) {
    if (block.isNull() || block.width() < 1 || block.height() < 1)
        return ExportResult::Failure("the block to save is empty");
    if (block.width() > maxSide || block.height() > maxSide)
        return ExportResult::Failure("the block is too large for the format");
    return ExportResult::Ok();
}

ExportResult WriteAll(QIODevice& out, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const qint64 chunk = static_cast<qint64>(std::min<std::size_t>(size, std::size_t{1} << 30));
        const qint64 written = out.write(p, chunk);
        if (written <= 0) return ExportResult::Failure(out.errorString().toStdString());
        p += written;
        size -= static_cast<std::size_t>(written);
    }
    return ExportResult::Ok();
}

// --- BMP ------------------------------------------------------------------------------

void PutU16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void PutU32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// --- PNG ------------------------------------------------------------------------------

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

// How far behind the file's end a flushed stream may still sit in libpng's buffer.
constexpr qsizetype kPngFlushWindow = 4096;

// Which rows one libpng run writes, and how. A band after another starts its zlib
// stream afresh and its first row may only use a filter that does not look at the row
// above (libpng takes that row as all zero). A band before another flushes its stream
// after its rows (where the next band's stream goes on) and then ends it with one
// all-zero row, unfiltered, which the joining takes out again.
struct PngBand {
    int first = 0;
    int count = 0;
    bool firstRowSub = false;  // a band after another: its first row uses sub
    bool flushAtEnd = false;   // a band before another
    qint64 flushedAt = -1;     // file bytes written when the flush returned
    const PngOptions* options = nullptr;
};

// The filters of a band's rows: sub alone for a later band's first row, none for the
// zero row after a flush, else the chosen set. Runs inside png_write_row, after libpng
// has made its row buffers for the full set.
void PngBandFilters(png_structp png, png_row_infop, png_bytep) {
    const auto* band = static_cast<const PngBand*>(png_get_user_transform_ptr(png));
    const png_uint_32 row = png_get_current_row_number(png);
    int filters = band->options->filters;
    if (band->firstRowSub && row == 0) filters = PNG_FILTER_SUB;
    if (band->flushAtEnd && row == static_cast<png_uint_32>(band->count)) filters = PNG_FILTER_NONE;
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
}

void PngSetHeader(png_structp png, png_infop info, int width, int height) {
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);  // 96 dots per inch
}

// The libpng calls, between a setjmp and the error handler's longjmp: nothing here
// owns anything that needs a destructor. rows are the picture's own scan lines.
bool WritePngBand(png_structp png, png_infop info, int width, const PngOptions& o, png_bytepp rows,
                  png_bytep zeroRow, PngBand& band, QIODevice& out) {
    if (setjmp(png_jmpbuf(png))) return false;
    PngSetHeader(png, info, width, band.count + (band.flushAtEnd ? 1 : 0));
    png_set_compression_level(png, o.level);
    png_set_compression_strategy(png, o.strategy);
    // A flushed band's stream is found again within one buffer of where the file stood
    // when the flush returned: a small buffer there.
    png_set_compression_buffer_size(png, band.flushAtEnd ? kPngFlushWindow : 1 << 18);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, o.filters);
    png_write_info(png, info);
    if (band.firstRowSub || band.flushAtEnd) {
        png_set_write_user_transform_fn(png, PngBandFilters);
        png_set_user_transform_info(png, const_cast<PngBand*>(&band), 8, 4);
    }
    // 0xAARRGGBB words: B, G, R, X bytes on a little-endian machine, X, R, G, B on a
    // big-endian one. libpng drops the X byte and puts the rest in R, G, B order.
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else {
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < band.count; ++y) png_write_row(png, rows[band.first + y]);
    if (band.flushAtEnd) {
        png_write_flush(png);
        band.flushedAt = out.pos();
        png_write_row(png, zeroRow);
    }
    png_write_end(png, nullptr);
    return true;
}

// The file around a zlib stream made elsewhere: the header chunks, the stream in IDAT
// chunks, the end; every chunk written by libpng.
bool WritePngAround(png_structp png, png_infop info, int width, int height,
                    const QByteArray& stream) {
    if (setjmp(png_jmpbuf(png))) return false;
    PngSetHeader(png, info, width, height);
    png_write_info(png, info);
    constexpr qsizetype kChunk = 1 << 20;
    for (qsizetype at = 0; at < stream.size(); at += kChunk)
        png_write_chunk(png, reinterpret_cast<png_const_bytep>("IDAT"),
                        reinterpret_cast<png_const_bytep>(stream.constData() + at),
                        static_cast<std::size_t>(std::min(kChunk, stream.size() - at)));
    png_write_chunk(png, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
    return true;
}

// Runs one of the two writers above on a fresh libpng handle that writes to out.
template <class Write>
ExportResult WithPngWriter(QIODevice& out, Write write) {
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
    const bool written = write(png, info);
    png_destroy_write_struct(&png, &info);
    if (!written)
        return ExportResult::Failure(state.error.empty() ? "PNG: encoding failed" : state.error);
    return ExportResult::Ok();
}

std::uint32_t GetU32Be(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
}

// The zlib stream in a PNG file that libpng wrote: its IDAT contents in order; and how
// much of it lay in the file's first upTo bytes.
bool IdatStream(const QByteArray& file, qint64 upTo, QByteArray& stream, qint64& streamAtUpTo) {
    qint64 at = 8;  // after the signature
    while (at + 12 <= file.size()) {
        const qint64 length = GetU32Be(file.constData() + at);
        if (at + 12 + length > file.size()) return false;
        if (std::memcmp(file.constData() + at + 4, "IDAT", 4) == 0)
            stream.append(file.constData() + at + 8, length);
        at += 12 + length;
        if (at == upTo) streamAtUpTo = stream.size();
    }
    return at == file.size();
}

// Pictures from this size on are encoded in two bands at once, one on a second thread
// that ends before the encoder returns: the same pixels, a file a few bytes larger
// (zlib's matching starts afresh in the second band), in little more than half the time.
constexpr qint64 kTwoBandsFromPixels = 1 << 20;

// The two bands' zlib streams joined into one: the top band's up to its flush, the
// bottom band's deflate blocks, and the checksum of both.
ExportResult TwoBands(const QImage& block, png_bytepp rows, const PngOptions& options,
                      QIODevice& out) {
    const int width = block.width(), height = block.height();
    PngBand top{0, height / 2, false, true, -1, &options};
    PngBand bottom{height / 2, height - height / 2, true, false, -1, &options};
    std::vector<png_byte> zeroRow(4 * static_cast<std::size_t>(width), 0);
    QBuffer topFile, bottomFile;
    topFile.open(QIODevice::WriteOnly);
    bottomFile.open(QIODevice::WriteOnly);
    const auto encode = [&](PngBand& band, QBuffer& file) {
        return WithPngWriter(file, [&](png_structp png, png_infop info) {
            return WritePngBand(png, info, width, options, rows, zeroRow.data(), band, file);
        });
    };
    ExportResult bottomResult = ExportResult::Ok();
    std::thread second([&] { bottomResult = encode(bottom, bottomFile); });
    const ExportResult topResult = encode(top, topFile);
    second.join();
    if (!topResult) return topResult;
    if (!bottomResult) return bottomResult;

    // The top stream: its rows up to the flush, which ends with an empty stored block
    // (00 00 FF FF) somewhere in the flush window; then the zero row, the end, the sum.
    QByteArray topStream, bottomStream;
    qint64 written = -1, unused = -1;
    if (!IdatStream(topFile.data(), top.flushedAt, topStream, written) ||
        !IdatStream(bottomFile.data(), -1, bottomStream, unused) || written < 0 ||
        bottomStream.size() < 6 || topStream.size() < 6)
        return ExportResult::Failure("PNG: cannot join the bands");
    const QByteArray marker("\x00\x00\xFF\xFF", 4);
    qsizetype topEnd = -1;
    const qsizetype last = std::min<qsizetype>(written + kPngFlushWindow, topStream.size() - 4);
    for (qsizetype end = std::max<qsizetype>(written, 6); end <= last; ++end) {
        if (topStream.mid(end - 4, 4) != marker) continue;
        if (topEnd >= 0) return ExportResult::Failure("PNG: cannot join the bands");  // unclear
        topEnd = end;
    }
    if (topEnd < 0) return ExportResult::Failure("PNG: cannot join the bands");

    // The top stream's sum covers the zero row too: take that row out of it.
    constexpr uLong kBase = 65521;
    const std::vector<Bytef> zeros(1 + 3 * static_cast<std::size_t>(width), 0);
    const uLong zeroSum =
        adler32(adler32(0, nullptr, 0), zeros.data(), static_cast<uInt>(zeros.size()));
    const uLong full = GetU32Be(topStream.constData() + topStream.size() - 4);
    const uLong rem = zeros.size() % kBase;
    const uLong a1 = ((full & 0xFFFF) + kBase + 1 - (zeroSum & 0xFFFF)) % kBase;
    const uLong b1 = ((full >> 16) + 2 * kBase - (zeroSum >> 16) + kBase * kBase -
                      rem * ((a1 + kBase - 1) % kBase)) %
                     kBase;
    const uLong topSum = (b1 << 16) | a1;
    const uLong bottomSum = GetU32Be(bottomStream.constData() + bottomStream.size() - 4);
    const z_off64_t bottomBytes = z_off64_t{bottom.count} * (1 + 3 * z_off64_t{width});
    const uLong sum = adler32_combine64(topSum, bottomSum, bottomBytes);
    QByteArray joined = topStream.left(topEnd);
    joined.append(bottomStream.constData() + 2, bottomStream.size() - 6);  // no header, no sum
    for (int shift = 24; shift >= 0; shift -= 8) joined.append(static_cast<char>(sum >> shift));
    return WithPngWriter(out, [&](png_structp png, png_infop info) {
        return WritePngAround(png, info, width, height, joined);
    });
}

// --- GIF ------------------------------------------------------------------------------

struct LiqAttrDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
};
struct LiqHistogramDeleter {
    void operator()(liq_histogram* p) const { liq_histogram_destroy(p); }
};
struct LiqResultDeleter {
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
struct GifFileDeleter {
    void operator()(GifFileType* p) const {
        int ignored = 0;
        EGifCloseFile(p, &ignored);
    }
};
struct GifMapDeleter {
    void operator()(ColorMapObject* p) const { GifFreeMapObject(p); }
};

std::string LiqErrorText(liq_error e) {
    switch (e) {
        case LIQ_QUALITY_TOO_LOW:
            return "colour quantisation: quality too low";
        case LIQ_VALUE_OUT_OF_RANGE:
            return "colour quantisation: value out of range";
        case LIQ_OUT_OF_MEMORY:
            return "colour quantisation: out of memory";
        case LIQ_ABORTED:
            return "colour quantisation: aborted";
        case LIQ_BITMAP_NOT_AVAILABLE:
            return "colour quantisation: bitmap not available";
        case LIQ_BUFFER_TOO_SMALL:
            return "colour quantisation: buffer too small";
        case LIQ_INVALID_POINTER:
            return "colour quantisation: invalid pointer";
        case LIQ_UNSUPPORTED:
            return "colour quantisation: unsupported";
        default:
            return "colour quantisation failed";
    }
}

std::string GifErrorText(int code) {
    const char* text = GifErrorString(code);
    return std::string("GIF: ") + (text ? text : "unknown error");
}

// From this many pixels on, the colours of a busy picture are summed up from every
// other pixel of every other row.
constexpr qint64 kSampleAbovePixels = 1 << 20;

// Where the GIF writer's bytes go. giflib does not check every write (the trailer's
// is ignored), so a failed one is remembered here.
struct GifSink {
    QIODevice* out;
    bool failed = false;
};

int WriteToDevice(GifFileType* gif, const GifByteType* data, int length) {
    auto* sink = static_cast<GifSink*>(gif->UserData);
    if (length <= 0) return 0;
    if (WriteAll(*sink->out, data, static_cast<std::size_t>(length))) return length;
    sink->failed = true;
    return 0;
}

}  // namespace

ExportResult EncodeBmp(const QImage& input, QIODevice& out) {
    if (ExportResult r = CheckBlock(input, std::numeric_limits<std::int32_t>::max()); !r) return r;
    const QImage block = As32BitPixels(input);
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

ExportResult EncodeJpeg(const QImage& input, int quality, QIODevice& out) {
    if (ExportResult r = CheckBlock(input, 65500); !r) return r;
    if (quality < 1 || quality > 100) return ExportResult::Failure("JPEG quality out of 1..100");
    const QImage block = As32BitPixels(input);

    return WriteJpeg(block, quality, ChromaForQuality(quality), out);
}

// Pictures with at most this many distinct colours (screenshots, rendered art) get their
// palette from the exact counts of all their pixels; busier ones (photographs) from the
// means of the cells of the colour cube.
constexpr std::size_t kHistogramColours = std::size_t{1} << 16;
// Up to this many distinct colours (text, simple screenshots) the palette comes from
// merging the colours themselves, which keeps the common ones exact.
constexpr std::size_t kMergeColours = 2048;

// Up to 256 colours for the block, chosen by libimagequant, then moved a few rounds
// toward the means of the colours they stand for.
static ExportResult ChoosePalette(const QImage& block, const GifOptions& options,
                                  std::vector<PaletteColor>& colours) {
    const std::unique_ptr<liq_attr, LiqAttrDeleter> attr(liq_attr_create());
    if (!attr) return ExportResult::Failure("colour quantisation: cannot start");
    if (liq_error e = liq_set_max_colors(attr.get(), 256); e != LIQ_OK)
        return ExportResult::Failure(LiqErrorText(e));
    if (liq_error e = liq_set_speed(attr.get(), options.speed); e != LIQ_OK)
        return ExportResult::Failure(LiqErrorText(e));

    const std::optional<std::vector<ColourCount>> histogram =
        ColourHistogram(block, kHistogramColours);
    if (histogram && histogram->size() <= kMergeColours) {
        colours = MergeColours(*histogram, 256);
        for (int round = 0; round < options.refineRounds; ++round)
            RefinePalette(*histogram, colours);
        return ExportResult::Ok();
    }
    // A busier picture is summed up by the means of the cells of the colour cube, over
    // every other pixel of every other row once it is large: a small fixed table instead
    // of libimagequant's own count of a sample, which is several times the memory.
    const qint64 pixels = qint64{block.width()} * block.height();
    const int step = pixels >= kSampleAbovePixels ? 2 : 1;
    const std::vector<ColourCount> counted =
        histogram ? std::vector<ColourCount>{} : CellMeans(block, step);
    const std::span<const ColourCount> summary = histogram ? std::span(*histogram) : counted;

    liq_result* rawResult = nullptr;
    {
        const std::unique_ptr<liq_histogram, LiqHistogramDeleter> h(
            liq_histogram_create(attr.get()));
        if (!h) return ExportResult::Failure("colour quantisation: cannot count colours");
        {
            // Gone before the quantisation: libimagequant keeps its own copy.
            std::vector<liq_histogram_entry> entries;
            entries.reserve(summary.size());
            for (const ColourCount& c : summary)
                entries.push_back({{static_cast<unsigned char>(c.rgb >> 16),
                                    static_cast<unsigned char>(c.rgb >> 8),
                                    static_cast<unsigned char>(c.rgb), 255},
                                   c.count});
            if (liq_error e = liq_histogram_add_colors(h.get(), attr.get(), entries.data(),
                                                       static_cast<int>(entries.size()), 0.0);
                e != LIQ_OK)
                return ExportResult::Failure(LiqErrorText(e));
        }
        if (liq_error e = liq_histogram_quantize(h.get(), attr.get(), &rawResult); e != LIQ_OK)
            return ExportResult::Failure(LiqErrorText(e));
    }
    const std::unique_ptr<liq_result, LiqResultDeleter> result(rawResult);
    if (!result) return ExportResult::Failure("colour quantisation gave no result");
    const liq_palette* palette = liq_get_palette(result.get());
    if (!palette || palette->count < 1 || palette->count > 256)
        return ExportResult::Failure("colour quantisation gave no palette");
    colours.resize(palette->count);
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
    // libimagequant weighs colours by how they look, and its fast settings round them;
    // rounds of moving each entry to the mean of its colours bring the palette closer
    // to the pixels.
    for (int round = 0; round < options.refineRounds; ++round) {
        if (histogram)
            RefinePalette(*histogram, colours);
        else
            RefinePalette(block, step * 2, colours);  // a sparser sample is enough
    }
    return ExportResult::Ok();
}

namespace {

// Rows of colour indices on their way from the dithering to the LZW coder on a second
// thread: a ring of a few rows, so both run at once without a picture of indices.
class RowRing {
public:
    RowRing(int width, int rows)
        : width_(static_cast<std::size_t>(width)), rows_(rows), buffer_(width_ * rows_) {}

    // The dithering's side: copies a row in, waiting for room; false once the coder failed.
    bool put(const std::uint8_t* row) {
        std::unique_lock lock(mutex_);
        while (count_ == rows_ && !failed_) {
            putterWaits_ = true;
            roomFree_.wait(lock);
            putterWaits_ = false;
        }
        if (failed_) return false;
        // The coder reads only the rows already counted, never this slot.
        const std::size_t slot = (head_ + count_) % rows_;
        lock.unlock();
        std::copy(row, row + width_, buffer_.data() + slot * width_);
        lock.lock();
        ++count_;
        // The coder is the faster side and sleeps whenever it catches up: woken for a few
        // rows at once, as one wake-up per row costs more than their coding.
        if (takerWaits_ && count_ >= rows_ / 4) rowReady_.notify_one();
        return true;
    }
    // No more rows come.
    void close() {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        rowReady_.notify_one();
    }
    // The coder's side: the next row (valid until release), or null once closed and empty.
    const std::uint8_t* take() {
        std::unique_lock lock(mutex_);
        while (count_ == 0 && !closed_) {
            takerWaits_ = true;
            rowReady_.wait(lock);
            takerWaits_ = false;
        }
        return count_ > 0 ? buffer_.data() + head_ * width_ : nullptr;
    }
    // The row taken is coded (ok) or the coder failed.
    void release(bool ok) {
        const std::lock_guard lock(mutex_);
        failed_ = failed_ || !ok;
        head_ = (head_ + 1) % rows_;
        --count_;
        if (putterWaits_ || failed_) roomFree_.notify_one();
    }

private:
    const std::size_t width_;
    const std::size_t rows_;
    std::vector<std::uint8_t> buffer_;
    std::mutex mutex_;
    std::condition_variable roomFree_, rowReady_;
    std::size_t head_ = 0, count_ = 0;
    bool closed_ = false, failed_ = false;
    bool putterWaits_ = false, takerWaits_ = false;
};

// Dithers the block and hands each row to putLine, on a second thread once the
// picture is large enough to repay it (the coder then runs beside the dithering);
// false when a row could not be written.
bool DitherAndCode(const QImage& block, std::span<const PaletteColor> colours, Dithering dithering,
                   const std::function<bool(const std::uint8_t* row)>& putLine) {
    const auto inline_ = [&] {
        return DitherToPalette(block, colours, dithering,
                               [&](int, const std::uint8_t* row) { return putLine(row); });
    };
    if (qint64{block.width()} * block.height() < kSecondThreadFromPixels) return inline_();
    RowRing ring(block.width(), 32);
    bool coded = true;
    std::thread coder;
    try {
        coder = std::thread([&] {
            while (const std::uint8_t* row = ring.take()) {
                coded = coded && putLine(row);
                ring.release(coded);
            }
        });
    } catch (const std::system_error&) {
        return inline_();  // no second thread to be had: one after the other
    }
    // However the dithering ends (an exception included), the coder is told and waited for.
    struct Finish {
        RowRing& ring;
        std::thread& coder;
        ~Finish() {
            ring.close();
            coder.join();
        }
    };
    bool dithered = false;
    {
        const Finish finish{ring, coder};
        dithered = DitherToPalette(block, colours, dithering,
                                   [&](int, const std::uint8_t* row) { return ring.put(row); });
    }
    return dithered && coded;
}

}  // namespace

ExportResult EncodeGif(const QImage& input, QIODevice& out, const GifOptions& options) {
    if (ExportResult r = CheckBlock(input, 65535); !r) return r;
    const QImage block = As32BitPixels(input);
    const int width = block.width();
    const int height = block.height();

    std::vector<PaletteColor> colours;
    if (std::optional<std::vector<PaletteColor>> exact = ExactPalette(block)) {
        colours = std::move(*exact);  // few enough colours: kept exactly
    } else if (ExportResult r = ChoosePalette(block, options, colours); !r) {
        return r;
    }

    // A GIF colour table has a power-of-two size of at least 2; unused entries stay black.
    const int tableBits = GifBitSize(std::max(2, static_cast<int>(colours.size())));
    const std::unique_ptr<ColorMapObject, GifMapDeleter> map(
        GifMakeMapObject(1 << tableBits, nullptr));
    if (!map) return ExportResult::Failure("GIF: cannot make the colour table");
    for (int i = 0; i < map->ColorCount; ++i) {
        GifColorType& c = map->Colors[i];
        if (i < static_cast<int>(colours.size())) {
            c.Red = colours[static_cast<std::size_t>(i)].r;
            c.Green = colours[static_cast<std::size_t>(i)].g;
            c.Blue = colours[static_cast<std::size_t>(i)].b;
        } else {
            c.Red = c.Green = c.Blue = 0;
        }
    }

    int error = 0;
    GifSink sink{&out};
    std::unique_ptr<GifFileType, GifFileDeleter> gif(EGifOpen(&sink, WriteToDevice, &error));
    if (!gif) return ExportResult::Failure(GifErrorText(error));
    if (EGifPutScreenDesc(gif.get(), width, height, 8, 0, map.get()) != GIF_OK)
        return ExportResult::Failure(GifErrorText(gif->Error));
    if (EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr) != GIF_OK)
        return ExportResult::Failure(GifErrorText(gif->Error));
    // The mapping with error diffusion is ours rather than libimagequant's: an exact
    // nearest-colour search that is several times faster on large pictures. Each row
    // goes to the LZW coder as soon as it is mapped, so no picture of indices is held.
    const bool allRows = DitherAndCode(
        block, colours, {options.dithering, options.runSlack}, [&](const std::uint8_t* row) {
            return EGifPutLine(gif.get(), const_cast<GifPixelType*>(row), width) == GIF_OK;
        });
    if (!allRows) return ExportResult::Failure(GifErrorText(gif->Error));
    // Closing writes the trailer; the handle is gone whatever it returns.
    if (EGifCloseFile(gif.release(), &error) != GIF_OK)
        return ExportResult::Failure(GifErrorText(error));
    if (sink.failed) return ExportResult::Failure("GIF: the file could not be written whole");
    return ExportResult::Ok();
}

ExportResult EncodePng(const QImage& input, QIODevice& out, const PngOptions& options) {
    if (ExportResult r = CheckBlock(input, std::numeric_limits<std::int32_t>::max()); !r) return r;
    if (options.level < 0 || options.level > 9)
        return ExportResult::Failure("PNG: compression level out of 0..9");
    const QImage block = As32BitPixels(input);

    std::vector<png_bytep> rows(static_cast<std::size_t>(block.height()));
    for (int y = 0; y < block.height(); ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(block.constScanLine(y));
    if (qint64{block.width()} * block.height() >= kTwoBandsFromPixels && block.height() >= 2) {
        QBuffer file;
        file.open(QIODevice::WriteOnly);
        // Should the streams not join (never seen), the one-band file is written.
        if (TwoBands(block, rows.data(), options, file))
            return WriteAll(out, file.data().constData(), static_cast<std::size_t>(file.size()));
    }
    PngBand whole{0, block.height(), false, false, -1, &options};
    return WithPngWriter(out, [&](png_structp png, png_infop info) {
        return WritePngBand(png, info, block.width(), options, rows.data(), nullptr, whole, out);
    });
}

ExportResult EncodePngInTwoBands(const QImage& input, QIODevice& out, const PngOptions& options) {
    if (ExportResult r = CheckBlock(input, std::numeric_limits<std::int32_t>::max()); !r) return r;
    if (input.height() < 2) return ExportResult::Failure("PNG: one row makes no two bands");
    const QImage block = As32BitPixels(input);
    std::vector<png_bytep> rows(static_cast<std::size_t>(block.height()));
    for (int y = 0; y < block.height(); ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(block.constScanLine(y));
    return TwoBands(block, rows.data(), options, out);
}

ExportResult SaveImage(const QString& path, ImageFormat format, const QImage& block, int quality,
                       const GifOptions& gif) {
    AtomicFile file(path);
    if (!file.create()) return ExportResult::Failure(file.error());
    ExportResult r = ExportResult::Ok();
    switch (format) {
        case ImageFormat::Bmp:
            r = EncodeBmp(block, file);
            break;
        case ImageFormat::Jpeg:
            r = EncodeJpeg(block, quality, file);
            break;
        case ImageFormat::Gif:
            r = EncodeGif(block, file, gif);
            break;
        case ImageFormat::Png:
            r = EncodePng(block, file);
            break;
    }
    if (!r) {
        file.cancel();
        // A write the disk refused is what went wrong, not the encoder's echo of it.
        return file.error().empty() ? r : ExportResult::Failure(file.error());
    }
    if (!file.commit()) return ExportResult::Failure(file.error());
    return ExportResult::Ok();
}

}  // namespace trimlet
