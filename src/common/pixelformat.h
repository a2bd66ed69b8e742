#pragma once

#include <QImage>

// The two pixel forms the program works in.
namespace trimlet {

// Pictures as the view holds them: opaque 32-bit RGB. Converted in place where the
// depth allows (ARGB32 to RGB32), so no second copy is made; null when memory runs out.
void ToViewPixels(QImage& picture);

// Pixels as the encoders and the cut-out read them, 32 bits 0xAARRGGBB: a picture in
// Format_RGB32 or Format_ARGB32 is shared as it stands (no copy), any other is
// converted once to Format_RGB32.
[[nodiscard]] QImage As32BitPixels(const QImage& picture);

// Whether picture is already in that form.
[[nodiscard]] inline bool Is32BitPixels(const QImage& picture) {
    return picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32;
}

}  // namespace trimlet
