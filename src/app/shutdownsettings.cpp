#include "app/shutdownsettings.h"

#include <mutex>
#include <utility>

#include "common/atomicfile.h"
#include "platform/shutdownwatch.h"

namespace trimlet {

ShutdownSettings::ShutdownSettings(ShutdownWatcher& watch, BusyPointer& pointer,
                                   std::function<std::vector<IniEntry>()> current,
                                   std::function<QString()> path)
    : watch_(watch), pointer_(pointer), current_(std::move(current)), path_(std::move(path)) {}

void ShutdownSettings::begin() {
    pointer_.begin();
    if (depth_++ > 0 || stored_) return;
    const QString path = path_();
    if (path.isEmpty()) return;
    watch_.setLastWords([entries = current_(), path] { (void)WriteIniValues(entries, path); });
}

void ShutdownSettings::end() {
    pointer_.end();
    if (depth_ == 0 || --depth_ > 0) return;
    // A signal during the step: the event loop stores the settings next, unless the
    // watcher has to first.
    if (!watch_.requested()) watch_.setLastWords({});
}

bool ShutdownSettings::store(const std::vector<IniEntry>& entries, const QString& path) {
    const std::lock_guard<std::recursive_mutex> lock(ProcessEndLock());
    stored_ = true;
    watch_.setLastWords({});
    return WriteIniValues(entries, path);
}

}  // namespace trimlet
