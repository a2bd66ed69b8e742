#pragma once

#include <QImage>
#include <QString>
#include <optional>

namespace trimlet {

class Clipboard;

// The most memory one picture file may ask for when it is decoded. A file declaring a
// larger picture is refused before anything is allocated.
inline constexpr int kPictureAllocationLimitMB = 1024;

// Loads an image file in any format the image reader knows. Empty when the file is
// missing, unreadable, no picture, or declares a picture beyond the allocation limit.
[[nodiscard]] std::optional<QImage> LoadPictureFile(const QString& path);

// Loads a file's picture and puts it on the clipboard. False, with the clipboard
// untouched, when the file cannot be loaded.
bool PutFileOnClipboard(const QString& path, Clipboard& clipboard);

}  // namespace trimlet
