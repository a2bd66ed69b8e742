#pragma once

#include <array>
#include <string_view>

namespace trimlet {

// The capture waits the menu offers, in menu order, in milliseconds.
inline constexpr std::array<int, 4> kCaptureWaits = {500, 1000, 2000, 3000};
inline constexpr int kDefaultCaptureWait = 1000;

// The wait a stored value selects: one of the four menu values exactly, anything else
// (0, negative, 1500, ...) the default.
[[nodiscard]] int WaitForStoredValue(int stored);

// The same from the stored text: its numeric value rounded to a 32-bit integer, halves
// to even ("500.4" gives 500); a text that does not round into 32 bits gives the default.
[[nodiscard]] int WaitForStoredText(std::string_view text);

// The menu position (0..3) of a wait that is one of kCaptureWaits, else -1.
[[nodiscard]] int WaitMenuIndex(int wait);

}  // namespace trimlet
