#pragma once

#include <QImage>
#include <QString>
#include <optional>

namespace trimlet {

class Clipboard;

// Loads an image file in any format the image reader knows, as opaque 32-bit pixels.
// Empty when the file is missing, unreadable, no picture, or would cost more than the
// picture limits allow (see common/picturereader.h).
[[nodiscard]] std::optional<QImage> LoadPictureFile(const QString& path);

// Loads a file's picture and puts it on the clipboard. False, with the clipboard
// untouched, when the file cannot be loaded.
[[nodiscard]] bool PutFileOnClipboard(const QString& path, Clipboard& clipboard);

}  // namespace trimlet
