#pragma once

#include <cstdint>

namespace trimlet {

// A block of pixels in image-box coordinates (first column 0).
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const PixelRect&) const = default;
};

}  // namespace trimlet
