#include "common/picturereader.h"

#include <avif/avif.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <functional>
#include <memory>

#include "common/pixelformat.h"

namespace trimlet {
namespace {

bool IsRestart(uchar m) { return m >= 0xD0 && m <= 0xD7; }

PictureRead Refused(PictureRefusal why) { return PictureRead{std::nullopt, why}; }

bool StartsWith(const QByteArray& head, const char* magic, qsizetype at = 0) {
    return head.mid(at, qstrlen(magic)) == magic;
}

quint32 Read32(const uchar* p, bool bigEndian) {
    return bigEndian ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
}

// Reads exactly n bytes at offset; false at the end of the data or on a read error.
bool ReadAt(QIODevice& device, qint64 offset, char* out, qint64 n) {
    return offset >= 0 && device.seek(offset) && device.read(out, n) == n;
}

struct TiffLayout {
    int pages = 0;          // counted up to the limit + 1
    qint64 pieceBytes = 0;  // the largest strip or tile of the first page, decoded
};

// A TIFF's pages, counted along the chain of its directories up to limit + 1 (a chain
// that loops counts as endless), and what one strip or tile of its first page takes
// decoded: the reader decodes a whole one at a time beside the picture.
TiffLayout ReadTiffLayout(QIODevice& device, int limit) {
    TiffLayout layout;
    uchar header[8];
    if (!ReadAt(device, 0, reinterpret_cast<char*>(header), 8)) return layout;
    const bool big = header[0] == 'M';
    const auto read16 = [big](const uchar* p) {
        return big ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
    };
    qint64 offset = Read32(header + 4, big);
    while (offset != 0 && layout.pages <= limit) {
        uchar count[2];
        if (!ReadAt(device, offset, reinterpret_cast<char*>(count), 2)) break;
        const int entries = read16(count);
        if (layout.pages++ == 0) {
            QByteArray ifd(12 * entries, Qt::Uninitialized);
            if (!ReadAt(device, offset + 2, ifd.data(), ifd.size())) break;
            qint64 width = 0, height = 0, rows = 0, tileWidth = 0, tileHeight = 0;
            qint64 samples = 1, sampleBytes = 1;
            for (int i = 0; i < entries; ++i) {
                const uchar* e = reinterpret_cast<const uchar*>(ifd.constData()) + 12 * i;
                const int tag = read16(e), type = read16(e + 2);
                const quint32 n = Read32(e + 4, big);
                // A value held in the entry itself, or -1.
                const qint64 value = n == 1 && type == 3   ? read16(e + 8)
                                     : n == 1 && type == 4 ? qint64(Read32(e + 8, big))
                                                           : -1;
                switch (tag) {
                    case 256:
                        width = value;
                        break;
                    case 257:
                        height = value;
                        break;
                    case 258:
                        sampleBytes = value > 0 && value <= 8 ? 1 : 2;
                        break;
                    case 277:
                        samples = value < 0 ? 0xFFFF : value;
                        break;
                    case 278:
                        rows = value;
                        break;
                    case 322:
                        tileWidth = value;
                        break;
                    case 323:
                        tileHeight = value;
                        break;
                    default:
                        break;
                }
            }
            const qint64 across = tileWidth > 0 ? tileWidth : width;
            const qint64 down = tileHeight > 0 ? tileHeight
                                : rows > 0     ? qMin(rows, height)
                                               : height;
            // In floating point: the factors are up to 32 bits each.
            const double bytes = double(qMax<qint64>(across, 0)) * double(qMax<qint64>(down, 0)) *
                                 double(samples) * double(sampleBytes);
            layout.pieceBytes =
                bytes > double(kPictureBudgetBytes) ? kPictureBudgetBytes + 1 : qint64(bytes);
        }
        uchar next[4];
        if (!ReadAt(device, offset + 2 + 12 * qint64(entries), reinterpret_cast<char*>(next), 4))
            break;
        offset = Read32(next, big);
    }
    return layout;
}

struct WebpLayout {
    int chunks = 0;  // counted up to the limit + 1: an animation has one per frame
    bool lossless = false;
    bool animated = false;
};

WebpLayout ReadWebpLayout(QIODevice& device, int limit) {
    WebpLayout layout;
    uchar riff[12];
    if (!ReadAt(device, 0, reinterpret_cast<char*>(riff), 12)) return layout;
    const qint64 end = qMin(device.size(), 8 + qint64(qFromLittleEndian<quint32>(riff + 4)));
    qint64 at = 12;
    while (at + 8 <= end && layout.chunks <= limit) {
        char chunk[8];
        if (!ReadAt(device, at, chunk, 8)) break;
        const qint64 size = qFromLittleEndian<quint32>(chunk + 4);
        ++layout.chunks;
        layout.lossless |= QByteArrayView(chunk, 4) == "VP8L";
        layout.animated |= QByteArrayView(chunk, 4) == "ANMF";
        at += 8 + size + (size & 1);
    }
    return layout;
}

using AvifDecoder = std::unique_ptr<avifDecoder, decltype(&avifDecoderDestroy)>;

// AVIF through libavif: the container's declared size and image count are checked after
// parsing, before anything is decoded, and the AV1 decoder is held to the declared size.
PictureRead DecodeAvif(const QByteArray& data) {
    if (data.isEmpty()) return Refused(PictureRefusal::NotAPicture);
    AvifDecoder decoder(avifDecoderCreate(), &avifDecoderDestroy);
    if (!decoder) return Refused(PictureRefusal::NotAPicture);
    decoder->maxThreads = 1;
    decoder->imageSizeLimit = quint32(kPictureBudgetBytes / 4);
    decoder->imageCountLimit = kMaxPictureFrames;
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    // Files from other programs are read as leniently as a browser reads them.
    decoder->strictFlags = AVIF_STRICT_DISABLED;
    // dav1d honours the size limit inside the AV1 stream; the other decoders do not.
    if (avifCodecName(AVIF_CODEC_CHOICE_DAV1D, AVIF_CODEC_FLAG_CAN_DECODE))
        decoder->codecChoice = AVIF_CODEC_CHOICE_DAV1D;
    if (avifDecoderSetIOMemory(decoder.get(), reinterpret_cast<const uint8_t*>(data.constData()),
                               size_t(data.size())) != AVIF_RESULT_OK ||
        avifDecoderParse(decoder.get()) != AVIF_RESULT_OK)
        return Refused(PictureRefusal::NotAPicture);
    const avifImage* declared = decoder->image;
    const qint64 pixels = qint64(declared->width) * declared->height;
    if (pixels <= 0) return Refused(PictureRefusal::NotAPicture);
    // The decoded planes stay until the picture is made from them: the budget holds both.
    const int sample = declared->depth > 8 ? 2 : 1;
    const double chroma = declared->yuvFormat == AVIF_PIXEL_FORMAT_YUV444   ? 2
                          : declared->yuvFormat == AVIF_PIXEL_FORMAT_YUV422 ? 1
                          : declared->yuvFormat == AVIF_PIXEL_FORMAT_YUV420 ? 0.5
                                                                            : 0;
    const double planes = sample * (1 + chroma + (decoder->alphaPresent ? 1 : 0));
    if (double(pixels) * (4 + planes) > double(kPictureBudgetBytes))
        return Refused(PictureRefusal::OverBudget);
    if (decoder->imageCount > kMaxPictureFrames) return Refused(PictureRefusal::TooManyFrames);
    // The AV1 stream may claim a larger frame than its container: decode no more than
    // the container declared.
    decoder->imageSizeLimit = quint32(pixels);
    if (avifDecoderNextImage(decoder.get()) != AVIF_RESULT_OK)
        return Refused(PictureRefusal::NotAPicture);
    const avifImage* image = decoder->image;
    if (qint64(image->width) * image->height != pixels) return Refused(PictureRefusal::NotAPicture);
    QImage picture(int(image->width), int(image->height), QImage::Format_ARGB32);
    if (picture.isNull()) return Refused(PictureRefusal::OverBudget);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.depth = 8;
    // Format_ARGB32 holds 0xAARRGGBB words: B, G, R, A in memory on a little-endian machine.
    rgb.format =
        QSysInfo::ByteOrder == QSysInfo::LittleEndian ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_ARGB;
    rgb.alphaPremultiplied = AVIF_FALSE;
    rgb.pixels = picture.bits();
    rgb.rowBytes = quint32(picture.bytesPerLine());
    if (avifImageYUVToRGB(image, &rgb) != AVIF_RESULT_OK)
        return Refused(PictureRefusal::NotAPicture);
    decoder.reset();  // the decoded planes go before the picture is converted
    ToViewPixels(picture);
    if (picture.isNull()) return Refused(PictureRefusal::OverBudget);
    return PictureRead{std::move(picture), PictureRefusal::None};
}

// Decodes from device; wholeData gives the whole encoded data where a check or the
// decoder needs it at once (JPEG scans, AVIF), read only then.
PictureRead Decode(QIODevice& device, const std::function<QByteArray()>& wholeData) {
    const QByteArray format = PictureFormatOf(device.peek(32));
    if (format.isEmpty()) return Refused(PictureRefusal::NotAPicture);
    if (format == "avif") {
        if (device.size() > kMaxWholeFileBytes) return Refused(PictureRefusal::OverBudget);
        return DecodeAvif(wholeData());
    }
    // What the decoder holds beside our picture while it reads: bytes per pixel, and bytes.
    qint64 decoderBytesPerPixel = 0, decoderBytes = 0;
    if (format == "webp") {
        // Qt's reader takes the whole file, and lists every frame before the first.
        if (device.size() > kMaxWholeFileBytes) return Refused(PictureRefusal::OverBudget);
        const WebpLayout webp = ReadWebpLayout(device, kMaxPictureFrames);
        if (webp.chunks > kMaxPictureFrames) return Refused(PictureRefusal::TooManyFrames);
        // A lossless picture is decoded whole into libwebp's own buffer first (its copies
        // refer back to it); an animation's frame is laid onto a canvas.
        decoderBytesPerPixel = webp.animated ? 8 : webp.lossless ? 4 : 0;
    }
    if (format == "tiff") {
        const TiffLayout tiff = ReadTiffLayout(device, kMaxPictureFrames);
        if (tiff.pages > kMaxPictureFrames) return Refused(PictureRefusal::TooManyFrames);
        decoderBytes = tiff.pieceBytes;
    }
    if (!device.seek(0)) return Refused(PictureRefusal::NotAPicture);

    // The format is given, so only its own reader runs: no other plugin is asked.
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    // The limit is process-wide in Qt; set before every read so nothing else can have
    // loosened it.
    QImageReader::setAllocationLimit(int(kPictureBudgetBytes / (1024 * 1024)));
    const QSize declared = reader.size();
    const qint64 pixels =
        declared.isValid() ? qint64(declared.width()) * qint64(declared.height()) : 0;
    if (pixels * 4 > kPictureBudgetBytes) return Refused(PictureRefusal::OverBudget);
    if (format == "tiff") {
        // Qt reads a TIFF into a picture of its own form (grey, 64-bit...) which, unless it
        // has 32 bits, is then converted into a second one.
        const QImage::Format form = reader.imageFormat();
        const int bits =
            form == QImage::Format_Invalid ? 64 : QImage::toPixelFormat(form).bitsPerPixel();
        decoderBytesPerPixel = bits == 32 ? 0 : bits / 8;
    }
    if (decoderBytes > kPictureBudgetBytes ||
        pixels * (4 + decoderBytesPerPixel) + decoderBytes > kPictureBudgetBytes)
        return Refused(PictureRefusal::OverBudget);
    if (format == "jpeg") {
        const QByteArray data = wholeData();
        const int scans =
            CountJpegScans(reinterpret_cast<const uchar*>(data.constData()), data.size());
        if (scans > kJpegMaxScans || qint64(scans) * pixels > kJpegMaxScanPixels)
            return Refused(PictureRefusal::TooManyScans);
    }
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        // The reader says "too large" only through its error text; the declared size
        // check above catches nearly all of those first.
        return Refused(PictureRefusal::NotAPicture);
    }
    if (qint64(picture.width()) * picture.height() * 4 > kPictureBudgetBytes)
        return Refused(PictureRefusal::OverBudget);
    ToViewPixels(picture);
    if (picture.isNull()) return Refused(PictureRefusal::OverBudget);
    return PictureRead{std::move(picture), PictureRefusal::None};
}

}  // namespace

QByteArray PictureFormatOf(const QByteArray& head) {
    if (StartsWith(head, "\x89PNG\r\n\x1a\n")) return "png";
    if (StartsWith(head, "\xff\xd8\xff")) return "jpeg";
    if (StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a")) return "gif";
    if (StartsWith(head, "BM")) return "bmp";
    if (StartsWith(head, "RIFF") && StartsWith(head, "WEBP", 8)) return "webp";
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)))
        return "tiff";
    // An ISO media file whose first box names AVIF (a still picture or a sequence) among
    // its brands.
    if (StartsWith(head, "ftyp", 4)) {
        const qsizetype box =
            qMin<qsizetype>(head.size(), qFromBigEndian<quint32>(head.constData()));
        for (qsizetype at = 8; at + 4 <= box; at += 4)
            if (at != 12 && (StartsWith(head, "avif", at) || StartsWith(head, "avis", at)))
                return "avif";
        return {};
    }
    if (head.size() >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' &&
        QByteArrayView(" \t\r\n").contains(head[2]))
        return head[1] == '1' || head[1] == '4'   ? "pbm"
               : head[1] == '2' || head[1] == '5' ? "pgm"
                                                  : "ppm";
    if (StartsWith(head, "/* XPM")) return "xpm";
    if (head.trimmed().startsWith("#define")) return "xbm";
    return {};
}

int CountJpegScans(const uchar* d, qint64 n) {
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return -1;
    int scans = 0;
    qint64 i = 2;
    while (i + 1 < n) {
        if (d[i] != 0xFF) {
            ++i;  // stray byte between segments
            continue;
        }
        const uchar m = d[i + 1];
        if (m == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (m == 0xD9) break;  // end of image
        if (m == 0x01 || m == 0xD8 || IsRestart(m)) {
            i += 2;
            continue;
        }
        if (i + 3 >= n) break;
        const qint64 length = (qint64(d[i + 2]) << 8) | d[i + 3];
        i += 2 + length;
        if (m != 0xDA) continue;
        ++scans;
        // Entropy-coded data up to the next marker that is not a stuffed byte or a restart.
        while (i + 1 < n &&
               !(d[i] == 0xFF && d[i + 1] != 0x00 && d[i + 1] != 0xFF && !IsRestart(d[i + 1])))
            ++i;
    }
    return scans;
}

PictureRead ReadPictureData(const QByteArray& data) {
    if (data.isEmpty()) return Refused(PictureRefusal::NotAPicture);
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly)) return Refused(PictureRefusal::NotAPicture);
    return Decode(buffer, [&] { return data; });
}

PictureRead ReadPictureFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) return Refused(PictureRefusal::NotAPicture);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return Refused(PictureRefusal::NotAPicture);
    // The reader streams from the file; only a JPEG (to count its scans) and an AVIF are
    // read whole.
    return Decode(file, [&] {
        QFile again(path);
        return again.open(QIODevice::ReadOnly) && again.size() <= kPictureBudgetBytes
                   ? again.readAll()
                   : QByteArray();
    });
}

}  // namespace trimlet
