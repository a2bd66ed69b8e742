#include "settings/capturewait.h"

#include "common/numtext.h"

namespace trimlet {

int CaptureWaitFromText(const QString& text) {
    return RoundToInt32(Val(text.toStdString())).value_or(kDefaultCaptureWait);
}

int WaitForStoredValue(int milliseconds) {
    switch (milliseconds) {
        case 500:
        case 1000:
        case 2000:
        case 3000:
            return milliseconds;
        default:
            return kDefaultCaptureWait;
    }
}

}  // namespace trimlet
