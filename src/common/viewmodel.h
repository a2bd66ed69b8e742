#pragma once

#include <cstdint>

#include "common/scrollbarmodel.h"

namespace trimlet {

// What the selection editing sees of the view: the image box (the picture at one
// screen pixel per picture pixel), the viewport that clips it, and the two scroll
// bars. The image box sits at 1 - value of each bar, so value 1 shows the picture's
// top-left pixel at the viewport's top-left corner.
struct ViewModel {
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    std::int32_t viewportWidth = 0;
    std::int32_t viewportHeight = 0;
    ScrollBarModel hs;
    ScrollBarModel vs;

    std::int32_t imageLeft() const { return 1 - hs.value(); }
    std::int32_t imageTop() const { return 1 - vs.value(); }
};

}  // namespace trimlet
