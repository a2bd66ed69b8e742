#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <string_view>

#include "common/pixelrect.h"
#include "export/encoders.h"
#include "export/saveformats.h"

namespace trimlet {

class Clipboard;
class SaveFileDialog;
class SoundPlayer;

// The grey of the view around the picture; a cut-out shows it where the block
// reaches outside the picture.
inline constexpr QRgb kOutsideGrey = 0xFF808080u;

// The block of the picture that a save writes. When the block lies inside the picture
// the result is a view of the picture's own memory (no copy: keep the picture alive
// and unchanged while using it); otherwise it is one copy, grey outside the picture.
// A null image for an empty block.
[[nodiscard]] QImage CutOut(const QImage& picture, const PixelRect& block);

enum class SaveOutcome {
    Cancelled,  // the dialog was cancelled: nothing written, no sound
    Saved,      // the file was written; the information sound played
    Failed,     // nothing (or the previous file) is at the target; the error sound played
};

struct SaveReport {
    SaveOutcome outcome = SaveOutcome::Cancelled;
    QString path;       // the name the dialog returned
    std::string error;  // what failed
};

// Everything a save button does: the quality from the box's text (where the format
// uses it), the dialog, the cut-out of block (the selection's highlighted block) from the
// picture, the file, and the sound. The dialog opens in folder (empty: where the platform
// likes).
[[nodiscard]] SaveReport SaveSelection(const SaveFormat& format, const PixelRect& block,
                                       const QImage& picture, std::string_view qualityText,
                                       SaveFileDialog& dialog, SoundPlayer& sound,
                                       const QString& folder = {});

// Where the next save dialog opens: the folder of the last file saved in this run.
class SaveFolder {
public:
    const QString& folder() const { return folder_; }
    // Only a save that worked moves it; a cancel or a failure leaves it.
    void remember(const SaveReport& report);

private:
    QString folder_;
};

// Puts exactly the pixels a save of block would write on the clipboard, as a picture
// of its own (not a view of picture), and plays the information sound; the error sound
// and false when there is nothing to copy or the clipboard refuses it.
[[nodiscard]] bool CopySelection(const PixelRect& block, const QImage& picture,
                                 Clipboard& clipboard, SoundPlayer& sound);

}  // namespace trimlet
