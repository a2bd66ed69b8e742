#include "platform/session.h"

namespace trimlet {

bool IsWaylandSession(const QString& waylandDisplay, const QString& sessionType) {
    return !waylandDisplay.isEmpty() ||
           sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
}

bool IsWaylandSession() {
    return IsWaylandSession(qEnvironmentVariable("WAYLAND_DISPLAY"),
                            qEnvironmentVariable("XDG_SESSION_TYPE"));
}

bool ClipboardNeedsFocus(const QString& platformName) {
    return platformName.startsWith(QLatin1String("wayland"));
}

bool WindowPositionKnown(const QString& platformName) {
    return !platformName.startsWith(QLatin1String("wayland"));
}

}  // namespace trimlet
