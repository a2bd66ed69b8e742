#include "export/encoders.h"

#include "common/atomicfile.h"
#include "common/pixelformat.h"

#include <new>

namespace trimlet {

namespace {

ExportResult Save(const QString& path, ImageFormat format, const QImage& input, int quality,
                  const GifOptions& gif) {
    const QImage block = As32BitPixels(input);
    if (!input.isNull() && block.isNull()) return ExportResult::Failure("out of memory");
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

}  // namespace

ExportResult SaveImage(const QString& path, ImageFormat format, const QImage& input, int quality,
                       const GifOptions& gif) {
    // Memory that runs out in an encoder's buffers fails this save, not the program: the
    // unfinished file goes with the AtomicFile, the target stays as it was.
    try {
        return Save(path, format, input, quality, gif);
    } catch (const std::bad_alloc&) {
        return ExportResult::Failure("out of memory");
    }
}

}  // namespace trimlet
