#pragma once

#include <QString>

namespace trimlet {

// The capture wait as read from the settings: the numeric value of the stored text
// rounded to an integer, 1000 when it does not fit 32 bits.
[[nodiscard]] int CaptureWaitFromText(const QString& text);

// The wait menu item a stored wait checks: 500, 1000, 2000 and 3000 choose their own
// item, every other value the default 1000.
[[nodiscard]] int WaitForStoredValue(int milliseconds);

inline constexpr int kDefaultCaptureWait = 1000;

}  // namespace trimlet
