// The picture reader on any bytes. Oracles: a picture comes back opaque 32-bit and
// within the budget; the run's allocation limit (-malloc_limit_mb) catches any single
// allocation beyond it.
#include <cstdint>
#include <cstdlib>

#include "common/picturereader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trimlet;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const PictureRead read = ReadPictureData(bytes);
    if (read.picture) {
        const QImage& p = *read.picture;
        if (p.format() != QImage::Format_RGB32) std::abort();
        if (qint64(p.width()) * p.height() * 4 > kPictureBudgetBytes) std::abort();
    } else if (read.refusal == PictureRefusal::None) {
        std::abort();
    }
    (void)CountJpegScans(data, qint64(size));
    return 0;
}
