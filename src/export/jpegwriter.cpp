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

#include "export/encoderio.h"

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

// What the saves keep between them, so a later save of the same size touches no new
// memory: the recorded scan, the header bytes, the output chunk and the row pointers.
struct JpegScratch {
    std::unique_ptr<std::uint64_t[]> scan;
    std::size_t capacity = 0;  // words
    std::vector<unsigned char> header;
    std::vector<unsigned char> chunk;
    std::vector<JSAMPROW> rows;

    // Room for the whole budget at once: the system gives the pages only as the scan
    // reaches them, so the store never grows by copying (which would hold the scan
    // twice). False when the room cannot be had.
    bool reserveScan(std::size_t words) {
        if (words <= capacity) return true;
        scan.reset();
        capacity = 0;
        scan.reset(new (std::nothrow) std::uint64_t[words]);
        if (!scan) return false;
        capacity = words;
        return true;
    }
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

struct HuffmanTable {
    std::array<UINT8, 17> bits{};
    std::array<UINT8, 256> values{};
    bool used = false;
};

// A table's canonical codes by symbol (the order of the format's code assignment).
struct Codes {
    std::array<std::uint16_t, 256> code{};
    std::array<std::uint8_t, 256> length{};
    explicit Codes(const HuffmanTable& t) {
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
    Codes() = default;
};

// Reads a table's codes back: codes of up to kFastBits bits by one look-up, longer ones
// by the smallest and largest code of each length.
class Decoder {
public:
    static constexpr int kFastBits = 10;
    explicit Decoder(const HuffmanTable& t) : values_(t.values) {
        fast_.fill(0);
        int code = 0, p = 0;
        for (int len = 1; len <= 16; ++len) {
            const int n = t.bits[static_cast<std::size_t>(len)];
            first_[len] = p;
            min_[len] = code;
            for (int i = 0; i < n; ++i, ++p, ++code) {
                if (len <= kFastBits) {
                    const int shift = kFastBits - len;
                    for (int k = 0; k < (1 << shift); ++k)
                        fast_[static_cast<std::size_t>((code << shift) | k)] =
                            static_cast<std::uint16_t>((len << 8) |
                                                       values_[static_cast<std::size_t>(p)]);
                }
            }
            max_[len] = n ? code - 1 : -1;
            code <<= 1;
        }
    }
    // window: the next bits, most significant first. Gives symbol and code length.
    void decode(std::uint64_t window, unsigned& symbol, int& length) const {
        const std::uint16_t e = fast_[static_cast<std::size_t>(window >> (64 - kFastBits))];
        if (e) {
            symbol = e & 0xFF;
            length = e >> 8;
            return;
        }
        for (int len = kFastBits + 1; len <= 16; ++len) {
            const int code = static_cast<int>(window >> (64 - len));
            if (code <= max_[len]) {
                symbol = values_[static_cast<std::size_t>(first_[len] + code - min_[len])];
                length = len;
                return;
            }
        }
        symbol = 0;  // not reached for a stream we wrote ourselves
        length = 16;
    }

private:
    std::array<UINT8, 256> values_;
    std::array<std::uint16_t, 1 << kFastBits> fast_{};
    std::array<int, 17> first_{}, min_{}, max_{};
};

// Stands in for libjpeg's Huffman encoder during the one pass over the pixels: counts
// the symbols for the optimal tables, and keeps the scan coded with the standard
// tables (a compact form: a few bits a symbol, no byte stuffing) to code it again.
struct Recorder {
    jpeg_entropy_encoder pub;  // first: libjpeg calls through cinfo->entropy
    JpegScratch* scratch = nullptr;
    bool overflow = false;
    std::size_t symbols = 0;
    std::size_t words = 0;
    std::uint64_t acc = 0;
    int accBits = 0;
    std::size_t mcus = 0;
    int blocksInMcu = 0;
    std::array<unsigned, C_MAX_BLOCKS_IN_MCU> dcSlot{}, acSlot{};
    std::array<Codes, kSlots> standard{};
    int lastDc[MAX_COMPS_IN_SCAN] = {};
    long counts[kSlots][257] = {};  // 257: the optimiser's reserved entry

    // Room for one more MCU: a block takes at most 64 symbols of 16 + 11 bits.
    bool reserve() const {
        return words + static_cast<std::size_t>(blocksInMcu) * 27 + 2 <= scratch->capacity;
    }
    // Most significant bit first; n at most 32.
    void putBits(std::uint64_t value, int n) {
        if (accBits + n < 64) {
            acc = (acc << n) | value;
            accBits += n;
            return;
        }
        const int first = 64 - accBits;  // 1..n
        scratch->scan[words++] = (first == 64 ? 0 : acc << first) | (value >> (n - first));
        accBits = n - first;
        acc = accBits ? value & ((std::uint64_t{1} << accBits) - 1) : 0;
    }
    void putSymbol(unsigned slot, unsigned symbol, std::uint32_t extra, int extraBits) {
        ++counts[slot][symbol];
        ++symbols;
        const Codes& c = standard[slot];
        putBits((std::uint64_t{c.code[symbol]} << extraBits) | extra, c.length[symbol] + extraBits);
    }
    // A value after `run` zeros (run 0 for DC): the symbol is run and bit length, the
    // value bits are the value, or for a negative one its ones' complement.
    void put(unsigned slot, int run, int value) {
        const unsigned magnitude = static_cast<unsigned>(value < 0 ? -value : value);
        const int bits = magnitude == 0 ? 0 : 32 - __builtin_clz(magnitude);
        const unsigned symbol = (static_cast<unsigned>(run) << 4) | static_cast<unsigned>(bits);
        putSymbol(slot, symbol,
                  static_cast<unsigned>(value < 0 ? value - 1 : value) & ((1u << bits) - 1u), bits);
    }
};

void StartNothing(j_compress_ptr, boolean) {}

void FinishRecording(j_compress_ptr cinfo) {
    auto* r = reinterpret_cast<Recorder*>(cinfo->entropy);
    if (r->overflow) return;
    // The last bits, and a zero word so the reader may always look one word ahead.
    if (r->accBits > 0) r->scratch->scan[r->words++] = r->acc << (64 - r->accBits);
    r->scratch->scan[r->words] = 0;
}

boolean RecordMcu(j_compress_ptr cinfo, JBLOCKROW* mcu) {
    auto* r = reinterpret_cast<Recorder*>(cinfo->entropy);
    if (r->overflow) return TRUE;
    if (r->mcus == 0) {
        r->blocksInMcu = cinfo->blocks_in_MCU;
        for (int b = 0; b < cinfo->blocks_in_MCU; ++b) {
            const jpeg_component_info* comp = cinfo->cur_comp_info[cinfo->MCU_membership[b]];
            r->dcSlot[static_cast<std::size_t>(b)] = static_cast<unsigned>(comp->dc_tbl_no) * 2;
            r->acSlot[static_cast<std::size_t>(b)] = static_cast<unsigned>(comp->ac_tbl_no) * 2 + 1;
        }
    }
    if (!r->reserve()) {
        r->overflow = true;
        return TRUE;
    }
    for (int b = 0; b < cinfo->blocks_in_MCU; ++b) {
        const int ci = cinfo->MCU_membership[b];
        const JCOEF* block = mcu[b][0];
        const unsigned acSlot = r->acSlot[static_cast<std::size_t>(b)];
        r->put(r->dcSlot[static_cast<std::size_t>(b)], 0, block[0] - r->lastDc[ci]);
        r->lastDc[ci] = block[0];
        int run = 0;
        for (int k = 1; k < DCTSIZE2; ++k) {
            const int v = block[jpeg_natural_order[k]];
            if (v == 0) {
                ++run;
                continue;
            }
            for (; run > 15; run -= 16) r->putSymbol(acSlot, 0xF0, 0, 0);  // sixteen zeros
            r->put(acSlot, run, v);
            run = 0;
        }
        if (run > 0) r->putSymbol(acSlot, 0x00, 0, 0);  // end of block
    }
    ++r->mcus;
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

// Everything the pass over the pixels touches lives here, outside the function that
// calls setjmp, so nothing with a destructor is skipped by the jump.
struct JpegJob {
    jpeg_compress_struct cinfo{};
    ErrorManager error{};
    HeaderDestination destination{};
    Recorder recorder{};
    std::array<HuffmanTable, kSlots> standard{};  // libjpeg's, which the recorder uses
    std::array<HuffmanTable, kSlots> optimal{};
};

void CopyTable(const JHUFF_TBL* from, HuffmanTable& to) {
    if (!from) return;
    std::copy(std::begin(from->bits), std::end(from->bits), to.bits.begin());
    std::copy(std::begin(from->huffval), std::end(from->huffval), to.values.begin());
    to.used = true;
}

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
    // The floating-point DCT: measured on photos, gradients and screenshots, its files
    // are a little smaller at a PSNR as good as the integer one's.
    cinfo.dct_method = JDCT_FLOAT;
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
    for (int i = 0; i < 2; ++i) {
        CopyTable(cinfo.dc_huff_tbl_ptrs[i], job.standard[static_cast<std::size_t>(2 * i)]);
        CopyTable(cinfo.ac_huff_tbl_ptrs[i], job.standard[static_cast<std::size_t>(2 * i + 1)]);
    }
    for (std::size_t slot = 0; slot < kSlots; ++slot)
        if (job.standard[slot].used) job.recorder.standard[slot] = Codes(job.standard[slot]);
    job.recorder.pub.start_pass = StartNothing;
    job.recorder.pub.encode_mcu = RecordMcu;
    job.recorder.pub.finish_pass = FinishRecording;
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
        CopyTable(t, job.optimal[static_cast<std::size_t>(slot)]);
    }
    return true;
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
    // At most a third of the picture's own memory. Without that room the picture goes
    // out with the standard tables.
    const std::size_t budget = std::max<std::size_t>(
        std::size_t{1} << 18, static_cast<std::size_t>(block.sizeInBytes()) / 3);
    if (scratch.reserveScan(budget / sizeof(std::uint64_t))) {
        const bool ran = RunLibjpeg(*job, block, quality, chroma, true);
        jpeg_destroy_compress(&job->cinfo);
        if (!ran) return ExportResult::Failure(std::string("JPEG: ") + job->error.message);
    } else {
        job->recorder.overflow = true;
    }
    if (stats) {
        stats->optimisedTables = !job->recorder.overflow;
        stats->symbols = job->recorder.symbols;
    }
    if (job->recorder.overflow) {
        // Too much to keep: the standard tables, written as they come.
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
    std::array<Codes, kSlots> codes{};
    std::vector<Decoder> decoders;
    decoders.reserve(kSlots);
    for (int slot = 0; slot < kSlots; ++slot) {
        const HuffmanTable& t = job->optimal[static_cast<std::size_t>(slot)];
        decoders.emplace_back(job->standard[static_cast<std::size_t>(slot)]);
        if (!t.used) continue;
        dht.push_back(static_cast<unsigned char>(((slot & 1) << 4) | (slot >> 1)));
        int count = 0;
        for (int len = 1; len <= 16; ++len) {
            dht.push_back(t.bits[static_cast<std::size_t>(len)]);
            count += t.bits[static_cast<std::size_t>(len)];
        }
        dht.insert(dht.end(), t.values.begin(), t.values.begin() + count);
        codes[static_cast<std::size_t>(slot)] = Codes(t);
    }
    dht[2] = static_cast<unsigned char>((dht.size() - 2) >> 8);
    dht[3] = static_cast<unsigned char>(dht.size() - 2);
    w.bytes(dht.data(), dht.size());
    w.bytes(h.data() + sos, sosEnd - sos);

    // The recorded scan read back in the order of the blocks, each symbol written again
    // with its new code.
    const Recorder& r = job->recorder;
    const std::uint64_t* scan = scratch.scan.get();
    std::size_t pos = 0;  // in bits
    const auto recode = [&](std::size_t slot) {
        const std::size_t i = pos >> 6;
        const int off = static_cast<int>(pos & 63);
        const std::uint64_t window = off ? (scan[i] << off) | (scan[i + 1] >> (64 - off)) : scan[i];
        unsigned symbol = 0;
        int length = 0;
        decoders[slot].decode(window, symbol, length);
        const int n = static_cast<int>(symbol & 15);
        const std::uint32_t extra =
            n ? static_cast<std::uint32_t>((window << length) >> (64 - n)) : 0;
        pos += static_cast<std::size_t>(length + n);
        const Codes& c = codes[slot];
        w.bits((static_cast<std::uint32_t>(c.code[symbol]) << n) | extra, c.length[symbol] + n);
        return symbol;
    };
    for (std::size_t m = 0; m < r.mcus; ++m) {
        for (std::size_t b = 0; b < static_cast<std::size_t>(r.blocksInMcu); ++b) {
            recode(r.dcSlot[b]);
            const std::size_t ac = r.acSlot[b];
            for (int k = 1; k < DCTSIZE2;) {
                const unsigned symbol = recode(ac);
                if (symbol == 0) break;  // end of block
                k += static_cast<int>(symbol >> 4) + 1;
            }
        }
    }
    w.endBits();
    static constexpr unsigned char kEnd[] = {0xFF, 0xD9};
    w.bytes(kEnd, sizeof kEnd);
    if (!w.finish()) return ExportResult::Failure(w.error());
    return ExportResult::Ok();
}

ExportResult EncodeJpeg(const QImage& block, int quality, QIODevice& out) {
    if (ExportResult r = CheckBlock(block, 65500); !r) return r;
    if (quality < 1 || quality > 100) return ExportResult::Failure("JPEG quality out of 1..100");
    return WriteJpeg(block, quality, ChromaForQuality(quality), out);
}

}  // namespace trimlet
