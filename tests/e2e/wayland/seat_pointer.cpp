// A pointer for the headless sway seat, which has none: creates a virtual pointer device
// through wlroots' virtual-pointer protocol, so the seat offers a pointer to its clients,
// and drives it with the commands read from its standard input, one a line:
//   move X Y       to screen position X, Y (of a screen WIDTH x HEIGHT)
//   press N        presses button N (1 left, 2 middle, 3 right)
//   release N      lets it go
// Prints "ready" once the device exists and "done" after the compositor has taken each
// command; ends at the end of its input, and the device goes with the process.
//   seat_pointer WIDTH HEIGHT
//
// (sway's own `seat - cursor set` moves the cursor without telling the client while a
// button pressed with `seat - cursor press` is held, so it cannot drag: this device's
// events reach clients as a hand's would.)
//
// The protocol's XML ships with no Debian package, so its two interfaces are spelled out
// here as wayland-scanner would generate them (only the requests are used).
#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

extern const wl_interface kVirtualPointer;

// (wl_message takes the type lists as non-const arrays.)
const wl_interface* kNoTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_interface* kCreateTypes[] = {&wl_seat_interface, &kVirtualPointer};
const wl_interface* kCreateWithOutputTypes[] = {&wl_seat_interface, &wl_output_interface,
                                                &kVirtualPointer};

const wl_message kPointerRequests[] = {
    {"motion", "uff", kNoTypes},   {"motion_absolute", "uuuuu", kNoTypes},
    {"button", "uuu", kNoTypes},   {"axis", "uuf", kNoTypes},
    {"frame", "", kNoTypes},       {"axis_source", "u", kNoTypes},
    {"axis_stop", "uu", kNoTypes}, {"axis_discrete", "uufi", kNoTypes},
    {"destroy", "", kNoTypes},
};
const wl_message kManagerRequests[] = {
    {"create_virtual_pointer", "?on", kCreateTypes},
    {"destroy", "", kNoTypes},
    {"create_virtual_pointer_with_output", "2?o?on", kCreateWithOutputTypes},
};

const wl_interface kVirtualPointer = {"zwlr_virtual_pointer_v1", 1, 9,
                                      kPointerRequests,          0, nullptr};
const wl_interface kManager = {
    "zwlr_virtual_pointer_manager_v1", 1, 3, kManagerRequests, 0, nullptr};

struct Globals {
    wl_seat* seat = nullptr;
    wl_proxy* manager = nullptr;
};

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !g->seat)
        g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, kManager.name) == 0 && !g->manager)
        g->manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kManager, 1));
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {Global, GlobalRemove};

std::uint32_t NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

// The request numbers of zwlr_virtual_pointer_v1.
enum : std::uint32_t { kMotionAbsolute = 1, kButton = 2, kFrame = 4 };

}  // namespace

int main(int argc, char** argv) {
    const int width = argc == 3 ? std::atoi(argv[1]) : 0;
    const int height = argc == 3 ? std::atoi(argv[2]) : 0;
    if (width <= 0 || height <= 0) {
        std::fprintf(stderr, "usage: seat_pointer WIDTH HEIGHT\n");
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "seat_pointer: no Wayland display\n");
        return 1;
    }
    Globals g;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &g);
    wl_display_roundtrip(display);
    if (!g.seat || !g.manager) {
        std::fprintf(stderr, "seat_pointer: the compositor offers no virtual pointer\n");
        return 1;
    }
    wl_proxy* pointer =
        wl_proxy_marshal_constructor(g.manager, 0, &kVirtualPointer, g.seat, nullptr);
    if (!pointer || wl_display_roundtrip(display) < 0) {
        std::fprintf(stderr, "seat_pointer: the virtual pointer was refused\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    char line[128];
    while (std::fgets(line, sizeof line, stdin)) {
        int x = 0, y = 0, n = 0;
        if (std::sscanf(line, "move %d %d", &x, &y) == 2 && x >= 0 && y >= 0) {
            wl_proxy_marshal(pointer, kMotionAbsolute, NowMs(), std::uint32_t(x), std::uint32_t(y),
                             std::uint32_t(width), std::uint32_t(height));
        } else if ((std::sscanf(line, "press %d", &n) == 1 ||
                    std::sscanf(line, "release %d", &n) == 1) &&
                   n >= 1 && n <= 3) {
            const std::uint32_t codes[] = {BTN_LEFT, BTN_MIDDLE, BTN_RIGHT};
            const bool down = line[0] == 'p';
            wl_proxy_marshal(pointer, kButton, NowMs(), codes[n - 1],
                             std::uint32_t(down ? WL_POINTER_BUTTON_STATE_PRESSED
                                                : WL_POINTER_BUTTON_STATE_RELEASED));
        } else {
            std::fprintf(stderr, "seat_pointer: what is '%s'?\n", line);
            return 2;
        }
        wl_proxy_marshal(pointer, kFrame);
        if (wl_display_roundtrip(display) < 0) return 1;
        std::printf("done\n");
        std::fflush(stdout);
    }
    return 0;
}
