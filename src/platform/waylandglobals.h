#pragma once

#include <QStringList>
#include <chrono>

namespace trimlet {

// The interface names of the globals the Wayland compositor of this session
// (WAYLAND_DISPLAY) announces, read on a connection of our own: empty outside Wayland, or
// when the compositor does not answer within `limit`.
[[nodiscard]] QStringList WaylandGlobals(std::chrono::milliseconds limit);

}  // namespace trimlet
