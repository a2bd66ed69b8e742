#pragma once

#include <QString>

namespace trimlet {

// File-to-file conversions: read an image file (BMP or any format Qt reads) and write
// it as JPEG at quality 1..100, or as a GIF of at most 256 colours. True when the
// target was written; on failure the target is left as it was. flag is accepted for
// the callers that pass one and has no effect.
[[nodiscard]] bool ConvertBmpToJpeg(const QString& target, const QString& source, int quality,
                                    int flag);
[[nodiscard]] bool ConvertBmpToGif(const QString& target, const QString& source, int flag);

}  // namespace trimlet
