#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace trimlet {

// One item of the capture wait menu: its wait in milliseconds and its caption (UTF-8).
struct CaptureWaitItem {
    int milliseconds;
    std::string_view caption;
};

// The capture wait menu, in menu order; the item checked by default comes second.
inline constexpr std::array<CaptureWaitItem, 4> kCaptureWaitItems = {{
    {500, "0.5秒"},
    {1000, "1.0秒(デフォルト)"},
    {2000, "2.0秒"},
    {3000, "3.0秒"},
}};
inline constexpr std::size_t kDefaultCaptureWaitItem = 1;
inline constexpr int kDefaultCaptureWait = kCaptureWaitItems[kDefaultCaptureWaitItem].milliseconds;

// The menu position of a wait that is one of the menu's waits, else -1.
[[nodiscard]] int WaitMenuIndex(int wait);

// The wait a stored value selects: one of the menu's waits exactly; anything else (0,
// negative, 1500, a text that is no 32-bit number: empty) the default.
[[nodiscard]] int WaitForStoredValue(std::optional<std::int32_t> stored);

}  // namespace trimlet
