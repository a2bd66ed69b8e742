#pragma once
// What every encoder does the same way: checking the block it is given and writing
// bytes to the device.

#include <QImage>
#include <cstddef>

#include "export/exportresult.h"

class QIODevice;

namespace trimlet {

// The block is not empty, no side is longer than maxSide, and its pixels are in the
// 32-bit form the encoders read (Format_RGB32 or Format_ARGB32; SaveImage converts
// once where a save enters).
ExportResult CheckBlock(const QImage& block, int maxSide);

// All of data, however the device splits its writes; the device's words on failure.
ExportResult WriteAll(QIODevice& out, const void* data, std::size_t size);

}  // namespace trimlet
