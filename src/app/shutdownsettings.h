#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "platform/busypointer.h"
#include "settings/inifile.h"

namespace trimlet {

class ShutdownWatcher;

// The settings at shutdown, stored exactly once however the process ends. The window
// stores them as it unloads; a termination signal while a long step holds the GUI thread
// ends the process from the shutdown watcher's own thread instead, which stores its last
// words. Every long step (a load, a save, a copy, a capture's grab) runs between the busy
// pointer's begin and end, so this stands in for the window's busy pointer: a step arms
// the watcher with the settings as the window would store them as the step begins (they
// cannot change while the step holds the GUI thread), and the window's own store disarms
// it for good. Both happen under ProcessEndLock, so exactly one of the two writes runs.
class ShutdownSettings final : public BusyPointer {
public:
    ShutdownSettings(ShutdownWatcher& watch, BusyPointer& pointer,
                     std::function<std::vector<IniEntry>()> current, std::function<QString()> path);
    void begin() override;
    void end() override;
    // The window's own store as it unloads.
    bool store(const std::vector<IniEntry>& entries, const QString& path);

private:
    ShutdownWatcher& watch_;
    BusyPointer& pointer_;
    std::function<std::vector<IniEntry>()> current_;
    std::function<QString()> path_;
    int depth_ = 0;
    bool stored_ = false;
};

}  // namespace trimlet
