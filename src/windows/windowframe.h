#pragma once

#include <QMargins>

class QEvent;
class QScreen;
class QWidget;

// What the window system adds around a top-level window and where it puts it.
namespace trimlet {

// How long a window manager may take to finish a change it has begun: to say that a
// size it gave is a maximised one, or to give a restored window its normal frame.
inline constexpr int kWindowManagerSettleMs = 150;

// The screen the window is on; the primary screen before it has one (none only when
// the system has no screen at all).
[[nodiscard]] const QScreen* ScreenOf(const QWidget* window);

// Whether the event may tell of a new place, size or state of a top-level window: its
// showing, a move, a resize or a state change.
[[nodiscard]] bool MayMoveWindow(const QEvent* event);

// The widths of the frame the window manager draws around the window (null before it
// has drawn one).
[[nodiscard]] QMargins FrameMargins(const QWidget* window);

}  // namespace trimlet
