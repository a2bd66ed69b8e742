#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trimlet {

// The quality a JPEG save uses for the quality box's text: the text's numeric value
// rounded to the nearest whole number (halves to the even neighbour), or 60 when that
// is outside 1..100 or not a number at all ("abc" reads as 0).
[[nodiscard]] int JpegQualityFromText(std::string_view text);

// What happens when the focus leaves the quality box.
struct QualityCheck {
    // The text is not the plain way of writing its own value ("060", "abc", "0.5"):
    // the focus stays in the box.
    bool keepFocus = false;
    // "100" above 100, "1" below 1; empty when the text stays as it is.
    std::optional<std::string> newText;
    bool operator==(const QualityCheck&) const = default;
};

[[nodiscard]] QualityCheck ValidateQualityText(std::string_view text);

}  // namespace trimlet
