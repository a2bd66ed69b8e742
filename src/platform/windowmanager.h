#pragma once

#include <QString>

namespace trimlet {

// The name the running X11 window manager announces (_NET_SUPPORTING_WM_CHECK), empty
// outside X11 or without a window manager that announces itself.
[[nodiscard]] QString WindowManagerName();

// Whether the running window manager gives a dialog a minimise button whatever its Motif
// hints ask (openbox): there only a window of the toolbar type has a close box alone.
[[nodiscard]] bool DialogNeedsToolbarTypeForCloseBoxOnly();
// The same where the window manager lets any dialog that takes the keyboard be minimised
// and no toolbar be closed (KWin): there a window of the utility type has a close box alone.
[[nodiscard]] bool DialogNeedsUtilityTypeForCloseBoxOnly();

}  // namespace trimlet
