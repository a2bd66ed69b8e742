#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "export/encoders.h"

namespace trimlet {

// A rectangle as a window's design gives it: left, top, width, height.
struct DesignRect {
    int left;
    int top;
    int width;
    int height;
};

// Everything the program knows of one save format, in one place: the main window's
// button, the save dialog's filter and first file name, the help window's row and the
// encoder. Texts are UTF-8.
struct SaveFormat {
    std::string_view caption;      // the button's text, in both windows
    DesignRect button;             // in the main window's client area, pixels
    int tabPosition;               // place among the save buttons in the main window's tab order
    std::string_view filter;       // the save dialog's "description|pattern"
    std::string_view initialName;  // the file name the dialog starts with
    int helpTop;                   // the help window's row, twips from its frame's top
    int helpTabPosition;           // place among the save buttons in the help window's tab order
    std::string_view helpText;     // the words beside the help window's copy of the button
    ImageFormat encoder;
    bool usesQuality;  // reads the quality box
};

// The save buttons in index order: 0 "BMP", 1 "GIF", 2 "JPG", 3 "PNG".
inline constexpr std::array<SaveFormat, 4> kSaveFormats = {{
    {"BMP",
     {0, 4, 41, 25},
     2,
     "BMPファイル (*.bmp)|*.bmp",
     "pic.bmp",
     240,
     2,
     "選択範囲をBMPファイルで保存。ファイルサイズは大きいが画質は劣化しない。",
     ImageFormat::Bmp,
     false},
    {"GIF",
     {40, 4, 41, 25},
     0,
     "GIFファイル (*.gif)|*.gif",
     "pic.gif",
     720,
     1,
     "選択範囲を256色GIFファイルで保存。　色数は少ないがにじまない。",
     ImageFormat::Gif,
     false},
    {"JPG",
     {80, 4, 41, 25},
     1,
     "JPGファイル (*.jpg)|*.jpg",
     "pic.jpg",
     1200,
     0,
     "選択範囲をJPEGファイルで保存。　　　　ベタ塗りの部分がにじむ。",
     ImageFormat::Jpeg,
     true},
    // The lossless save, right of "再読込", and the last row of the help window's buttons.
    {"PNG",
     {350, 4, 41, 25},
     3,
     "PNGファイル (*.png)|*.png",
     "pic.png",
     3120,
     3,
     "選択範囲をPNGファイルで保存。画質は劣化せず、BMPより小さい。",
     ImageFormat::Png,
     false},
}};

// The help window's copy of a save button and the words beside it, in twips of its frame.
inline constexpr int kHelpSaveButtonLeft = 120;
inline constexpr int kHelpSaveButtonWidth = 615;
inline constexpr int kHelpSaveTextLeft = 840;
inline constexpr int kHelpSaveTextWidth = 3135;
inline constexpr int kHelpSaveRowHeight = 375;

// The save buttons' indices in their tab order (help: the help window's).
constexpr std::array<std::size_t, kSaveFormats.size()> SaveTabOrder(bool help) {
    std::array<std::size_t, kSaveFormats.size()> order{};
    for (std::size_t i = 0; i < kSaveFormats.size(); ++i)
        order[static_cast<std::size_t>(help ? kSaveFormats[i].helpTabPosition
                                            : kSaveFormats[i].tabPosition)] = i;
    return order;
}

}  // namespace trimlet
