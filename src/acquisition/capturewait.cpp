#include "acquisition/capturewait.h"

#include "common/numtext.h"

namespace trimlet {

int WaitMenuIndex(int wait) {
    for (std::size_t i = 0; i < kCaptureWaits.size(); ++i)
        if (kCaptureWaits[i] == wait) return static_cast<int>(i);
    return -1;
}

int WaitForStoredValue(int stored) {
    return WaitMenuIndex(stored) >= 0 ? stored : kDefaultCaptureWait;
}

int WaitForStoredText(std::string_view text) {
    const auto value = RoundToInt32(Val(text));
    return value ? WaitForStoredValue(*value) : kDefaultCaptureWait;
}

}  // namespace trimlet
