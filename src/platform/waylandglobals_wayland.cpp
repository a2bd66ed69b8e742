#include <poll.h>
#include <wayland-client.h>

#include <QDeadlineTimer>
#include <memory>

#include "platform/waylandglobals.h"

namespace trimlet {
namespace {

struct Registry {
    QStringList names;
    bool synced = false;
};

void OnGlobal(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    static_cast<Registry*>(data)->names << QString::fromLatin1(interface);
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnDone(void* data, wl_callback*, uint32_t) { static_cast<Registry*>(data)->synced = true; }
const wl_callback_listener kSyncListener = {OnDone};

}  // namespace

QStringList WaylandGlobals(std::chrono::milliseconds limit) {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return {};
    const std::unique_ptr<wl_display, decltype(&wl_display_disconnect)> display(
        wl_display_connect(nullptr), &wl_display_disconnect);
    if (!display) return {};
    Registry registry;
    const std::unique_ptr<wl_registry, decltype(&wl_registry_destroy)> globals(
        wl_display_get_registry(display.get()), &wl_registry_destroy);
    const std::unique_ptr<wl_callback, decltype(&wl_callback_destroy)> sync(
        wl_display_sync(display.get()), &wl_callback_destroy);
    if (!globals || !sync) return {};
    wl_registry_add_listener(globals.get(), &kRegistryListener, &registry);
    wl_callback_add_listener(sync.get(), &kSyncListener, &registry);
    // Every global is announced before the answer to the sync request. Not
    // wl_display_roundtrip: that would wait for ever on a compositor that does not answer.
    const QDeadlineTimer deadline(limit);
    const int fd = wl_display_get_fd(display.get());
    while (!registry.synced && !deadline.hasExpired()) {
        if (wl_display_dispatch_pending(display.get()) < 0) return {};
        if (registry.synced) break;
        if (wl_display_flush(display.get()) < 0) return {};
        if (wl_display_prepare_read(display.get()) != 0) continue;
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))) <= 0) {
            wl_display_cancel_read(display.get());
            continue;
        }
        if (wl_display_read_events(display.get()) < 0) return {};
    }
    return registry.synced ? registry.names : QStringList();
}

}  // namespace trimlet
