#include "acquisition/capturewait.h"

namespace trimlet {

int WaitMenuIndex(int wait) {
    for (std::size_t i = 0; i < kCaptureWaitItems.size(); ++i)
        if (kCaptureWaitItems[i].milliseconds == wait) return static_cast<int>(i);
    return -1;
}

int WaitForStoredValue(std::optional<std::int32_t> stored) {
    return stored && WaitMenuIndex(*stored) >= 0 ? *stored : kDefaultCaptureWait;
}

}  // namespace trimlet
