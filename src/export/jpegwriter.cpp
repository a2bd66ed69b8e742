#include "export/jpegwriter.h"

#include <QIODevice>
#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

// jpeglib.h wants the standard types declared first.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
extern "C" {
#include <jpegint.h>  // the entropy encoder's interface, which the recorder replaces
}
// clang-format on

// Exported by libjpeg (and used there for its own two-pass optimisation), but declared
// only in a header that is not installed.
extern "C" void jpeg_gen_optimal_table(j_compress_ptr cinfo, JHUFF_TBL* htbl, long freq[]);

namespace trimlet {
namespace {

// Four Huffman tables at most: DC and AC for luma (table 0) and for chroma (table 1).
// A table's slot is 2 * table number + (1 for AC).
constexpr int kSlots = 4;
// A symbol word: slot in bits 24-25, the Huffman symbol in bits 16-23, the extra bits
// that follow its code in bits 0-15 (as many as the symbol's low four bits say).
constexpr int kSlotShift = 24;
constexpr int kSymbolShift = 16;

// What the saves keep between them, so a later save of the same size touches no new
// memory: the symbol store, the header bytes, the output chunk and the row pointers.
struct JpegScratch {
    std::unique_ptr<std::uint32_t[]> symbols;
    std::size_t capacity = 0;
    std::vector<unsigned char> header;
    std::vector<unsigned char> chunk;
    std::vector<JSAMPROW> rows;
};

JpegScratch& Scratch() {
    thread_local JpegScratch scratch;
    return scratch;
}

// libjpeg's error exit must not return; it jumps back to the caller's setjmp.
struct ErrorManager {
    jpeg_error_mgr pub;  // first: libjpeg sees only this
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings are not shown anywhere

// Stands in for libjpeg's Huffman encoder during the one pass over the pixels.
struct Recorder {
    jpeg_entropy_encoder pub;  // first: libjpeg calls through cinfo->entropy
    JpegScratch* scratch = nullptr;
    std::size_t used = 0;
    std::size_t limit = 0;  // most symbols allowed
    bool overflow = false;
    int lastDc[MAX_COMPS_IN_SCAN] = {};
    long counts[kSlots][257] = {};  // 257: the optimiser's reserved entry

    bool reserve(std::size_t need) {
        if (need <= scratch->capacity) return true;
        if (need > limit) return false;
        const std::size_t grown = std::min(limit, std::max(need, scratch->capacity * 2));
        std::unique_ptr<std::uint32_t[]> bigger(new (std::nothrow) std::uint32_t[grown]);
        if (!bigger) return false;
        if (used > 0)
            std::memcpy(bigger.get(), scratch->symbols.get(), used * sizeof(std::uint32_t));
        scratch->symbols = std::move(bigger);
        scratch->capacity = grown;
        return true;
    }

    // A value after `run` zeros (run 0 for DC): the symbol is run and bit length, the
    // extra bits are the value, or for a negative one its ones' complement.
    std::uint32_t* put(std::uint32_t* out, unsigned slot, int run, int value) {
        const unsigned magnitude = static_cast<unsigned>(value < 0 ? -value : value);
        const int bits = magnitude == 0 ? 0 : 32 - __builtin_clz(magnitude);
        const unsigned extra =
            static_cast<unsigned>(value < 0 ? value - 1 : value) & ((1u << bits) - 1u);
        const unsigned symbol = (static_cast<unsigned>(run) << 4) | static_cast<unsigned>(bits);
        ++counts[slot][symbol];
        *out = (slot << kSlotShift) | (symbol << kSymbolShift) | extra;
        return out + 1;
    }
};

void StartNothing(j_compress_ptr, boolean) {}
void FinishNothing(j_compress_ptr) {}

boolean RecordMcu(j_compress_ptr cinfo, JBLOCKROW* mcu) {
    auto* r = reinterpret_cast<Recorder*>(cinfo->entropy);
    if (r->overflow) return TRUE;
    // A block gives at most 64 symbols.
    if (!r->reserve(r->used + static_cast<std::size_t>(cinfo->blocks_in_MCU) * 64)) {
        r->overflow = true;
        return TRUE;
    }
    std::uint32_t* out = r->scratch->symbols.get() + r->used;
    for (int b = 0; b < cinfo->blocks_in_MCU; ++b) {
        const int ci = cinfo->MCU_membership[b];
        const jpeg_component_info* comp = cinfo->cur_comp_info[ci];
        const JCOEF* block = mcu[b][0];
        const unsigned dcSlot = static_cast<unsigned>(comp->dc_tbl_no) * 2;
        const unsigned acSlot = static_cast<unsigned>(comp->ac_tbl_no) * 2 + 1;
        out = r->put(out, dcSlot, 0, block[0] - r->lastDc[ci]);
        r->lastDc[ci] = block[0];
        int run = 0;
        for (int k = 1; k < DCTSIZE2; ++k) {
            const int v = block[jpeg_natural_order[k]];
            if (v == 0) {
                ++run;
                continue;
            }
            for (; run > 15; run -= 16) {  // sixteen zeros
                ++r->counts[acSlot][0xF0];
                *out++ = (acSlot << kSlotShift) | (0xF0u << kSymbolShift);
            }
            out = r->put(out, acSlot, run, v);
            run = 0;
        }
        if (run > 0) {  // end of block
            ++r->counts[acSlot][0];
            *out++ = acSlot << kSlotShift;
        }
    }
    r->used = static_cast<std::size_t>(out - r->scratch->symbols.get());
    return TRUE;
}

// Writes bytes to the device through the kept chunk, with the 0xFF stuffing of
// entropy-coded data when asked.
class ChunkWriter {
public:
    ChunkWriter(QIODevice& out, std::vector<unsigned char>& chunk) : out_(out), chunk_(chunk) {
        if (chunk_.size() < kChunk) chunk_.resize(kChunk);
    }
    void bytes(const unsigned char* p, std::size_t n) {
        while (n > 0) {
            const std::size_t room = chunk_.size() - used_;
            const std::size_t take = std::min(room, n);
            std::memcpy(chunk_.data() + used_, p, take);
            used_ += take;
            p += take;
            n -= take;
            if (used_ == chunk_.size()) flush();
        }
    }
    // Huffman bits, most significant first; len at most 32.
    void bits(std::uint32_t value, int len) {
        acc_ = (acc_ << len) | value;
        pending_ += len;
        if (pending_ >= 32) drain(32);
    }
    // Pads the last byte with ones, as the format asks.
    void endBits() {
        const int pad = (8 - pending_ % 8) % 8;
        if (pad) bits((1u << pad) - 1u, pad);
        drain(pending_);
    }
    bool finish() {
        flush();
        return ok_;
    }
    const std::string& error() const { return error_; }

private:
    static constexpr std::size_t kChunk = std::size_t{256} << 10;
    void drain(int count) {
        if (chunk_.size() - used_ < 16) flush();
        unsigned char* d = chunk_.data() + used_;
        for (; count >= 8; count -= 8) {
            pending_ -= 8;
            const auto byte = static_cast<unsigned char>(acc_ >> pending_);
            *d++ = byte;
            if (byte == 0xFF) *d++ = 0;
        }
        used_ = static_cast<std::size_t>(d - chunk_.data());
    }
    void flush() {
        if (used_ == 0) return;
        if (ok_) {
            const unsigned char* p = chunk_.data();
            std::size_t n = used_;
            while (n > 0) {
                const qint64 w =
                    out_.write(reinterpret_cast<const char*>(p), static_cast<qint64>(n));
                if (w <= 0) {
                    ok_ = false;
                    error_ = out_.errorString().toStdString();
                    break;
                }
                p += w;
                n -= static_cast<std::size_t>(w);
            }
        }
        used_ = 0;
    }

    QIODevice& out_;
    std::vector<unsigned char>& chunk_;
    std::size_t used_ = 0;
    std::uint64_t acc_ = 0;
    int pending_ = 0;
    bool ok_ = true;
    std::string error_;
};

// libjpeg writes here: the headers, small and kept whole in bytes, or (with the
// standard tables) the whole file, straight to the writer.
struct HeaderDestination {
    jpeg_destination_mgr pub;  // first
    std::vector<unsigned char>* bytes = nullptr;
    ChunkWriter* writer = nullptr;
    std::array<unsigned char, 4096> buffer;
    void take(const unsigned char* p, std::size_t n) {
        if (writer)
            writer->bytes(p, n);
        else
            bytes->insert(bytes->end(), p, p + n);
    }
};

void HeaderInit(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<HeaderDestination*>(cinfo->dest);
    d->pub.next_output_byte = d->buffer.data();
    d->pub.free_in_buffer = d->buffer.size();
}

boolean HeaderFull(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<HeaderDestination*>(cinfo->dest);
    d->take(d->buffer.data(), d->buffer.size());
    HeaderInit(cinfo);
    return TRUE;
}

void HeaderTerm(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<HeaderDestination*>(cinfo->dest);
    d->take(d->buffer.data(), static_cast<std::size_t>(d->pub.next_output_byte - d->buffer.data()));
}

struct HuffmanTable {
    std::array<UINT8, 17> bits{};
    std::array<UINT8, 256> values{};
    bool used = false;
};

// Everything the pass over the pixels touches lives here, outside the function that
// calls setjmp, so nothing with a destructor is skipped by the jump.
struct JpegJob {
    jpeg_compress_struct cinfo{};
    ErrorManager error{};
    HeaderDestination destination{};
    Recorder recorder{};
    std::array<HuffmanTable, kSlots> tables{};
};

// recordSymbols: our recorder takes the blocks; otherwise libjpeg writes the whole file
// with its standard tables.
bool RunLibjpeg(JpegJob& job, const QImage& block, int quality, JpegChroma chroma,
                bool recordSymbols) {
    jpeg_compress_struct& cinfo = job.cinfo;
    cinfo.err = jpeg_std_error(&job.error.pub);
    job.error.pub.error_exit = OnError;
    job.error.pub.output_message = OnMessage;
    if (setjmp(job.error.jump)) return false;
    jpeg_create_compress(&cinfo);
    cinfo.dest = &job.destination.pub;
    job.destination.pub.init_destination = HeaderInit;
    job.destination.pub.empty_output_buffer = HeaderFull;
    job.destination.pub.term_destination = HeaderTerm;

    cinfo.image_width = static_cast<JDIMENSION>(block.width());
    cinfo.image_height = static_cast<JDIMENSION>(block.height());
    cinfo.input_components = 4;
    // 0xAARRGGBB words are B, G, R, A bytes on a little-endian machine.
    cinfo.in_color_space = (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    const int factor = chroma == JpegChroma::Full ? 1 : 2;
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = factor;
    for (int c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = 1;
    for (int c = 1; c < 3; ++c) cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW* rows = job.recorder.scratch->rows.data();
    if (!recordSymbols) {
        while (cinfo.next_scanline < cinfo.image_height)
            jpeg_write_scanlines(&cinfo, rows + cinfo.next_scanline,
                                 cinfo.image_height - cinfo.next_scanline);
        jpeg_finish_compress(&cinfo);
        return true;
    }

    // Our recorder takes the blocks; the headers go out without Huffman tables, which
    // are known only at the end.
    job.recorder.pub.start_pass = StartNothing;
    job.recorder.pub.encode_mcu = RecordMcu;
    job.recorder.pub.finish_pass = FinishNothing;
    cinfo.entropy = &job.recorder.pub;
    for (int i = 0; i < NUM_HUFF_TBLS; ++i) {
        if (cinfo.dc_huff_tbl_ptrs[i]) cinfo.dc_huff_tbl_ptrs[i]->sent_table = TRUE;
        if (cinfo.ac_huff_tbl_ptrs[i]) cinfo.ac_huff_tbl_ptrs[i]->sent_table = TRUE;
    }

    while (cinfo.next_scanline < cinfo.image_height)
        jpeg_write_scanlines(&cinfo, rows + cinfo.next_scanline,
                             cinfo.image_height - cinfo.next_scanline);
    jpeg_finish_compress(&cinfo);
    if (job.recorder.overflow) return true;

    for (int slot = 0; slot < kSlots; ++slot) {
        long* freq = job.recorder.counts[slot];
        if (std::none_of(freq, freq + 256, [](long n) { return n > 0; })) continue;
        JHUFF_TBL* t = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(&cinfo));
        jpeg_gen_optimal_table(&cinfo, t, freq);
        HuffmanTable& out = job.tables[static_cast<std::size_t>(slot)];
        std::copy(std::begin(t->bits), std::end(t->bits), out.bits.begin());
        std::copy(std::begin(t->huffval), std::end(t->huffval), out.values.begin());
        out.used = true;
    }
    return true;
}

// The canonical codes of a table (the order of the format's code assignment).
void MakeCodes(const HuffmanTable& t, std::uint16_t* code, std::uint8_t* length) {
    unsigned next = 0;
    int p = 0;
    for (int len = 1; len <= 16; ++len, next <<= 1) {
        for (int i = 0; i < t.bits[static_cast<std::size_t>(len)]; ++i, ++p, ++next) {
            const UINT8 symbol = t.values[static_cast<std::size_t>(p)];
            code[symbol] = static_cast<std::uint16_t>(next);
            length[symbol] = static_cast<std::uint8_t>(len);
        }
    }
}

}  // namespace

ExportResult WriteJpeg(const QImage& block, int quality, JpegChroma chroma, QIODevice& out,
                       JpegStats* stats) {
    JpegScratch& scratch = Scratch();
    scratch.header.clear();
    scratch.rows.resize(static_cast<std::size_t>(block.height()));
    for (int y = 0; y < block.height(); ++y)
        scratch.rows[static_cast<std::size_t>(y)] = const_cast<JSAMPROW>(block.constScanLine(y));

    auto job = std::make_unique<JpegJob>();
    job->destination.bytes = &scratch.header;
    job->recorder.scratch = &scratch;
    // A third of the picture's memory, in 4-byte symbols.
    job->recorder.limit = std::max<std::size_t>(
        std::size_t{1} << 16,
        static_cast<std::size_t>(block.width()) * static_cast<std::size_t>(block.height()) / 3);
    const bool ran = RunLibjpeg(*job, block, quality, chroma, true);
    jpeg_destroy_compress(&job->cinfo);
    if (!ran) return ExportResult::Failure(std::string("JPEG: ") + job->error.message);
    if (stats) {
        stats->optimisedTables = !job->recorder.overflow;
        stats->symbols = job->recorder.used;
    }
    if (job->recorder.overflow) {
        // Too many symbols to keep: the standard tables, written as they come.
        auto plain = std::make_unique<JpegJob>();
        plain->recorder.scratch = &scratch;
        ChunkWriter w(out, scratch.chunk);
        plain->destination.writer = &w;
        const bool plainRan = RunLibjpeg(*plain, block, quality, chroma, false);
        jpeg_destroy_compress(&plain->cinfo);
        if (!plainRan) return ExportResult::Failure(std::string("JPEG: ") + plain->error.message);
        if (!w.finish()) return ExportResult::Failure(w.error());
        return ExportResult::Ok();
    }

    // The headers as libjpeg wrote them, up to the start of scan.
    const std::vector<unsigned char>& h = scratch.header;
    std::size_t sos = 2;
    while (sos + 4 <= h.size() && !(h[sos] == 0xFF && h[sos + 1] == 0xDA))
        sos += 2 + ((std::size_t{h[sos + 2]} << 8) | h[sos + 3]);
    if (sos + 4 > h.size()) return ExportResult::Failure("JPEG: no start of scan");
    const std::size_t sosEnd = sos + 2 + ((std::size_t{h[sos + 2]} << 8) | h[sos + 3]);
    if (sosEnd > h.size()) return ExportResult::Failure("JPEG: short start of scan");

    ChunkWriter w(out, scratch.chunk);
    w.bytes(h.data(), sos);
    // One DHT segment with every table the scan uses.
    std::vector<unsigned char> dht = {0xFF, 0xC4, 0, 0};
    std::array<std::array<std::uint16_t, 256>, kSlots> codes{};
    std::array<std::array<std::uint8_t, 256>, kSlots> lengths{};
    for (int slot = 0; slot < kSlots; ++slot) {
        const HuffmanTable& t = job->tables[static_cast<std::size_t>(slot)];
        if (!t.used) continue;
        dht.push_back(static_cast<unsigned char>(((slot & 1) << 4) | (slot >> 1)));
        int count = 0;
        for (int len = 1; len <= 16; ++len) {
            dht.push_back(t.bits[static_cast<std::size_t>(len)]);
            count += t.bits[static_cast<std::size_t>(len)];
        }
        dht.insert(dht.end(), t.values.begin(), t.values.begin() + count);
        MakeCodes(t, codes[static_cast<std::size_t>(slot)].data(),
                  lengths[static_cast<std::size_t>(slot)].data());
    }
    dht[2] = static_cast<unsigned char>((dht.size() - 2) >> 8);
    dht[3] = static_cast<unsigned char>(dht.size() - 2);
    w.bytes(dht.data(), dht.size());
    w.bytes(h.data() + sos, sosEnd - sos);

    const std::uint32_t* s = scratch.symbols.get();
    const std::uint32_t* end = s + job->recorder.used;
    for (; s != end; ++s) {
        const std::uint32_t word = *s;
        const std::size_t slot = word >> kSlotShift;
        const std::uint32_t symbol = (word >> kSymbolShift) & 0xFF;
        const int extraBits = static_cast<int>(symbol & 15);
        w.bits((static_cast<std::uint32_t>(codes[slot][symbol]) << extraBits) | (word & 0xFFFF),
               lengths[slot][symbol] + extraBits);
    }
    w.endBits();
    static constexpr unsigned char kEnd[] = {0xFF, 0xD9};
    w.bytes(kEnd, sizeof kEnd);
    if (!w.finish()) return ExportResult::Failure(w.error());
    return ExportResult::Ok();
}

}  // namespace trimlet
