#include "export/encoderio.h"

#include <QIODevice>
#include <algorithm>

#include "common/pixelformat.h"

namespace trimlet {

ExportResult CheckBlock(const QImage& block, int maxSide) {
    if (block.isNull() || block.width() < 1 || block.height() < 1)
        return ExportResult::Failure("the block to save is empty");
    if (block.width() > maxSide || block.height() > maxSide)
        return ExportResult::Failure("the block is too large for the format");
    if (!Is32BitPixels(block)) return ExportResult::Failure("the block is not in 32-bit pixels");
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

}  // namespace trimlet
