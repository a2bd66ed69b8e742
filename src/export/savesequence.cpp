#include "export/savesequence.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "common/pixelformat.h"
#include "export/quality.h"
#include "platform/clipboard.h"
#include "platform/savedialog.h"
#include "platform/sound.h"

namespace trimlet {

namespace {

QString Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

QImage CutOut(const QImage& input, const PixelRect& block) {
    if (block.width < 1 || block.height < 1) return {};
    const QImage picture = As32BitPixels(input);
    const bool converted = picture.format() != input.format();
    const qint64 left = block.left, top = block.top;
    const qint64 right = left + block.width, bottom = top + block.height;  // exclusive
    if (!picture.isNull() && left >= 0 && top >= 0 && right <= picture.width() &&
        bottom <= picture.height()) {
        // A view of the picture's memory; the const constructor never writes to it. A
        // converted picture dies here, so its block is copied out.
        const uchar* origin = picture.constBits() + top * picture.bytesPerLine() + left * 4;
        const QImage view(origin, block.width, block.height, picture.bytesPerLine(),
                          QImage::Format_RGB32);
        return converted ? view.copy() : view;
    }
    QImage out(block.width, block.height, QImage::Format_RGB32);
    if (out.isNull()) return out;  // too large to allocate
    out.fill(kOutsideGrey);
    // The part of the block that lies on the picture.
    const qint64 x0 = std::max<qint64>(left, 0), x1 = std::min<qint64>(right, picture.width());
    const qint64 y0 = std::max<qint64>(top, 0), y1 = std::min<qint64>(bottom, picture.height());
    for (qint64 y = y0; y < y1 && x0 < x1; ++y) {
        const uchar* src = picture.constScanLine(static_cast<int>(y)) + x0 * 4;
        uchar* dst = out.scanLine(static_cast<int>(y - top)) + (x0 - left) * 4;
        std::memcpy(dst, src, static_cast<std::size_t>(x1 - x0) * 4);
    }
    return out;
}

SaveReport SaveSelection(const SaveFormat& format, const PixelRect& block, const QImage& picture,
                         std::string_view qualityText, SaveFileDialog& dialog, SoundPlayer& sound,
                         const QString& folder) {
    SaveReport report;
    // Read before the dialog; the box's text is left alone.
    const int quality = format.usesQuality ? JpegQualityFromText(qualityText) : 0;

    const std::optional<QString> path =
        dialog.askFileName(Text(format.filter), Text(format.initialName), folder);
    if (!path || path->isEmpty()) return report;
    report.path = *path;

    const QImage pixels = CutOut(picture, block);
    const ExportResult written = pixels.isNull()
                                     ? ExportResult::Failure("nothing to save")
                                     : SaveImage(*path, format.encoder, pixels, quality);
    if (written) {
        report.outcome = SaveOutcome::Saved;
        sound.play(SystemSound::Information);
    } else {
        report.outcome = SaveOutcome::Failed;
        report.error = written.error();
        sound.play(SystemSound::Error);
    }
    return report;
}

void SaveFolder::remember(const SaveReport& report) {
    if (report.outcome == SaveOutcome::Saved && !report.path.isEmpty())
        folder_ = QFileInfo(report.path).absolutePath();
}

bool CopySelection(const PixelRect& block, const QImage& picture, Clipboard& clipboard,
                   SoundPlayer& sound) {
    // The cut-out may be a view of the picture's memory; the clipboard outlives both
    // the picture and the selection, so it gets a copy.
    const QImage pixels = CutOut(picture, block).copy();
    const bool copied = !pixels.isNull() && clipboard.writeImage(pixels);
    sound.play(copied ? SystemSound::Information : SystemSound::Error);
    return copied;
}

}  // namespace trimlet
