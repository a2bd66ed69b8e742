#include "acquisition/picturefile.h"

#include "common/picturereader.h"
#include "platform/clipboard.h"

namespace trimlet {

std::optional<QImage> LoadPictureFile(const QString& path) { return ReadPictureFile(path).picture; }

bool PutFileOnClipboard(const QString& path, Clipboard& clipboard) {
    // The picture goes onto the clipboard already in the view's form, so the load that
    // follows shares it instead of converting a second copy.
    const std::optional<QImage> picture = LoadPictureFile(path);
    return picture && clipboard.writeImage(*picture);
}

}  // namespace trimlet
