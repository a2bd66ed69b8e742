#pragma once

#include <QImage>

#include "export/exportresult.h"

class QIODevice;

namespace trimlet {

// How the GIF colours are chosen: libimagequant's speed (1 slowest and best .. 10
// fastest), the rounds of moving each palette entry to the mean of its colours, the
// dithering level (0 none .. 1 full) and the run slack (see Dithering). Measured on
// photographs, gradients and desktop and text screenshots against ffmpeg, ImageMagick
// and pngquant: the fastest palette with six rounds of means and half-strength
// diffusion is both the closest to the picture and the smallest file; a slack of 2
// makes screenshots 7 % and gradients 20 % smaller for 0.2 dB. Three rounds left
// screenshots of Qt Designer and a GTK text page 0.36 and 0.57 dB below pngquant;
// six bring them within 0.2 dB for a tenth more time (eight add no more).
struct GifOptions {
    int speed = 10;
    int refineRounds = 6;
    float dithering = 0.5f;
    int runSlack = 2;
    // From a million pixels the LZW coder runs on a second thread beside the dithering;
    // false keeps everything on the calling thread (the plain path, and the fast path's
    // oracle: both write the same bytes).
    bool secondThread = true;
};

// One frame, at most 256 colours, dithered. block in 32-bit pixels (alpha ignored).
// When no second thread can be had, the coder runs after each row on this one.
ExportResult EncodeGif(const QImage& block, QIODevice& out, const GifOptions& options = {});

}  // namespace trimlet
