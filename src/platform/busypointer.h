#pragma once

#include <chrono>
#include <memory>

namespace trimlet {

// A load, a save or a copy that runs longer than this shows the busy pointer.
inline constexpr std::chrono::milliseconds kBusyPointerDelay{300};

// The busy pointer over the program's windows while the GUI thread works: it appears
// once the work has run `delay`, although nothing of the GUI thread runs meanwhile, and
// goes when the work ends. Calls from the GUI thread only; begin and end in pairs.
class BusyPointer {
public:
    virtual ~BusyPointer() = default;
    virtual void begin() = 0;
    virtual void end() = 0;
};

// For the running QGuiApplication's window system (X11 or Wayland); elsewhere one that
// shows nothing.
[[nodiscard]] std::unique_ptr<BusyPointer> CreateBusyPointer(std::chrono::milliseconds delay);
// The Wayland one alone; null where the platform is not Wayland.
[[nodiscard]] std::unique_ptr<BusyPointer> CreateWaylandBusyPointer(
    std::chrono::milliseconds delay);

// Shows the busy pointer for its lifetime (none: nothing).
class BusyScope {
public:
    explicit BusyScope(BusyPointer* pointer) : pointer_(pointer) {
        if (pointer_) pointer_->begin();
    }
    ~BusyScope() {
        if (pointer_) pointer_->end();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BusyPointer* pointer_;
};

}  // namespace trimlet
