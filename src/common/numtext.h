#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trimlet {

// The value of the number at the start of a text. Blanks, tabs and line feeds are
// skipped wherever they stand ("6 0" is 60); a sign, a decimal point "." (never the
// locale's), an exponent with E or D, and the prefixes &H (hexadecimal) and &O
// (octal) are understood; reading stops at the first character that does not fit.
// A text without a number at its start, the empty text included, has the value 0.
// A number too large for a double gives +/- infinity.
[[nodiscard]] double Val(std::string_view text);

// " 60", "-5", " .5", " 0": a blank before zero and positive numbers, no zero before
// the point, no trailing zeros, "." as the point. Fifteen significant digits.
[[nodiscard]] std::string GeneralNumberText(double value);
// The same for a single-precision value: seven significant digits.
[[nodiscard]] std::string GeneralNumberText(float value);

// The general number text without its leading blank: "60", "-5", ".5", "0".
[[nodiscard]] std::string TrimmedNumberText(double value);

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4). Empty when the
// result does not fit the target type or the value is not a number.
[[nodiscard]] std::optional<std::int32_t> RoundToInt32(double value);
[[nodiscard]] std::optional<std::int16_t> RoundToInt16(double value);

// Nearest integer, halves to even, clamped into the 32-bit range (NaN gives 0). For
// places where a position is certainly in range and a failure path would be noise.
[[nodiscard]] std::int32_t RoundClampInt32(double value);

// A wide integer clamped into the signed 32-bit range.
[[nodiscard]] constexpr std::int32_t ClampToInt32(std::int64_t value) {
    if (value < INT32_MIN) return INT32_MIN;
    if (value > INT32_MAX) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

}  // namespace trimlet
