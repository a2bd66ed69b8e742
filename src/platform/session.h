#pragma once

#include <QString>

namespace trimlet {

// A Wayland session: the compositor owns the screen, whichever platform plugin (wayland,
// or xcb through Xwayland) the program itself runs on.
[[nodiscard]] bool IsWaylandSession(const QString& waylandDisplay, const QString& sessionType);
// The same from this process's environment (WAYLAND_DISPLAY, XDG_SESSION_TYPE), read anew
// at each call.
[[nodiscard]] bool IsWaylandSession();

// A Wayland client is handed the clipboard's content only once one of its surfaces has the
// keyboard focus; on X11 any client reads it at any time.
[[nodiscard]] bool ClipboardNeedsFocus(const QString& platformName);

// A Wayland client neither learns nor sets where its windows are; the compositor places
// them.
[[nodiscard]] bool WindowPositionKnown(const QString& platformName);

}  // namespace trimlet
