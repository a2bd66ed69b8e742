#pragma once
// The save formats' encoders, one file pair each, and the one way a save writes a file.

#include <QImage>
#include <QString>

#include "export/bmpencoder.h"
#include "export/exportresult.h"
#include "export/gifencoder.h"
#include "export/jpegwriter.h"
#include "export/pngencoder.h"

namespace trimlet {

enum class ImageFormat { Bmp, Gif, Jpeg, Png };

// Writes block to path in the given format through an AtomicFile: the file appears
// only complete; on any failure (a full disk included) the target is left as it was,
// absent or the previous file, and the result says why. quality is used only for JPEG.
// The pixels are brought into the encoders' 32-bit form here, once (a picture already
// in it is shared, not copied).
ExportResult SaveImage(const QString& path, ImageFormat format, const QImage& block, int quality,
                       const GifOptions& gif = {});

}  // namespace trimlet
