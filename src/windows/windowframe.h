#pragma once

#include <QMargins>

class QScreen;
class QWidget;

// What the window system adds around a top-level window and where it puts it.
namespace trimlet {

// The screen the window is on; the primary screen before it has one (none only when
// the system has no screen at all).
[[nodiscard]] const QScreen* ScreenOf(const QWidget* window);

// The widths of the frame the window manager draws around the window (null before it
// has drawn one).
[[nodiscard]] QMargins FrameMargins(const QWidget* window);

}  // namespace trimlet
