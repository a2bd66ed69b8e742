#pragma once

#include <QString>

namespace trimlet {

// The name the running X11 window manager announces (_NET_SUPPORTING_WM_CHECK), empty
// outside X11 or without a window manager that announces itself.
[[nodiscard]] QString WindowManagerName();

// Whether the running window manager gives a dialog a minimise button whatever its Motif
// hints ask (openbox): there only a window of the toolbar type has a close box alone.
[[nodiscard]] bool DialogNeedsToolbarTypeForCloseBoxOnly();

}  // namespace trimlet
