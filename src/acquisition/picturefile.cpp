#include "acquisition/picturefile.h"

#include <QFileInfo>
#include <QImageReader>

#include "platform/clipboard.h"

namespace trimlet {

std::optional<QImage> LoadPictureFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) return std::nullopt;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // The limit is process-wide in Qt; set it before every read so nothing else can
    // have loosened it.
    QImageReader::setAllocationLimit(kPictureAllocationLimitMB);
    const QSize declared = reader.size();
    if (declared.isValid() && static_cast<qint64>(declared.width()) * declared.height() * 4 >
                                  static_cast<qint64>(kPictureAllocationLimitMB) * 1024 * 1024)
        return std::nullopt;
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) return std::nullopt;
    return picture;
}

bool PutFileOnClipboard(const QString& path, Clipboard& clipboard) {
    const std::optional<QImage> picture = LoadPictureFile(path);
    return picture && clipboard.writeImage(*picture);
}

}  // namespace trimlet
