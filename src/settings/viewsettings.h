#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "common/pixelrect.h"
#include "settings/inifile.h"

// The selection's last saved or copied block and the loupe switch in the settings file.
namespace trimlet {

// Section "Selection", keys "Left", "Top", "Width", "Height": the block of the last save
// or copy as the caption counts it (Left 1 is the picture's first column). Each value is
// read as its text's numeric value rounded to 32 bits, halves to even. Empty when a key
// is missing, a value does not round into 32 bits, or the width or height is below 1.
[[nodiscard]] std::optional<PixelRect> LoadLastRectangle(const QString& path);
// The four values as trimmed number texts, for the shutdown's one write.
[[nodiscard]] std::vector<IniEntry> LastRectangleEntries(const PixelRect& block);

// Section "View", key "Loupe": "0" turns the loupe off, anything else (and nothing)
// leaves it on.
[[nodiscard]] bool LoadLoupeOn(const QString& path);
// Written as "1" or "0".
[[nodiscard]] IniEntry LoupeEntry(bool on);

}  // namespace trimlet
