#include "export/gifencoder.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <QIODevice>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "export/dither.h"
#include "export/encoderio.h"
#include "export/rowring.h"

namespace trimlet {
namespace {

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

// Pictures with at most this many distinct colours (screenshots, rendered art) get their
// palette from the exact counts of all their pixels; busier ones (photographs) from the
// means of the cells of the colour cube.
constexpr std::size_t kHistogramColours = std::size_t{1} << 16;
// Up to this many distinct colours (text, simple screenshots) the palette comes from
// merging the colours themselves, which keeps the common ones exact.
constexpr std::size_t kMergeColours = 2048;

// Up to 256 colours for the block, chosen by libimagequant, then moved a few rounds
// toward the means of the colours they stand for.
ExportResult ChoosePalette(const QImage& block, const GifOptions& options,
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

// Dithers the block and hands each row to putLine, on a second thread once the
// picture is large enough to repay it (the coder then runs beside the dithering);
// false when a row could not be written.
bool DitherAndCode(const QImage& block, std::span<const PaletteColor> colours, Dithering dithering,
                   bool secondThread, const std::function<bool(const std::uint8_t* row)>& putLine) {
    const auto inline_ = [&] {
        return DitherToPalette(block, colours, dithering,
                               [&](int, const std::uint8_t* row) { return putLine(row); });
    };
    if (!secondThread || qint64{block.width()} * block.height() < kSecondThreadFromPixels)
        return inline_();
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

ExportResult EncodeGif(const QImage& block, QIODevice& out, const GifOptions& options) {
    if (ExportResult r = CheckBlock(block, 65535); !r) return r;
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
        block, colours, {options.dithering, options.runSlack}, options.secondThread,
        [&](const std::uint8_t* row) {
            return EGifPutLine(gif.get(), const_cast<GifPixelType*>(row), width) == GIF_OK;
        });
    if (!allRows) return ExportResult::Failure(GifErrorText(gif->Error));
    // Closing writes the trailer; the handle is gone whatever it returns.
    if (EGifCloseFile(gif.release(), &error) != GIF_OK)
        return ExportResult::Failure(GifErrorText(error));
    if (sink.failed) return ExportResult::Failure("GIF: the file could not be written whole");
    return ExportResult::Ok();
}
}  // namespace trimlet
