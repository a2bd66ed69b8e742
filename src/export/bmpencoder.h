#pragma once

#include <QImage>

#include "export/exportresult.h"

class QIODevice;

namespace trimlet {

// 24 bits per pixel, bottom-up rows, no palette, 96 dots per inch. block in 32-bit
// pixels (Format_RGB32 or Format_ARGB32, alpha ignored).
ExportResult EncodeBmp(const QImage& block, QIODevice& out);

}  // namespace trimlet
