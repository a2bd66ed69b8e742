// A pointer for the headless sway session, whose seat has none: a virtual pointer
// (wlroots' virtual-pointer protocol) that moves to each "X Y" line read from standard
// input, in the output's pixels, and goes away with this process. Prints "ready" once the
// seat has it.
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The protocol's two interfaces, as its description gives them (requests only).
const wl_message kPointerRequests[] = {
    {"motion", "uff", nullptr},   {"motion_absolute", "uuuuu", nullptr},
    {"button", "uuu", nullptr},   {"axis", "uuf", nullptr},
    {"frame", "", nullptr},       {"axis_source", "u", nullptr},
    {"axis_stop", "uu", nullptr}, {"axis_discrete", "uufi", nullptr},
    {"destroy", "", nullptr},
};
const wl_interface kVirtualPointer = {"zwlr_virtual_pointer_v1", 1, 9,
                                      kPointerRequests,          0, nullptr};
const wl_interface* kCreateTypes[] = {&wl_seat_interface, &kVirtualPointer};
const wl_message kManagerRequests[] = {{"create_virtual_pointer", "?on", kCreateTypes}};
const wl_interface kManager = {
    "zwlr_virtual_pointer_manager_v1", 1, 1, kManagerRequests, 0, nullptr};
constexpr uint32_t kMotionAbsolute = 1, kFrame = 4;

struct Globals {
    wl_proxy* manager = nullptr;
    wl_seat* seat = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, kManager.name) == 0)
        g->manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kManager, 1));
    else if (std::strcmp(interface, "wl_seat") == 0 && !g->seat)
        g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry = {OnGlobal, OnGlobalRemove};

}  // namespace

int main(int argc, char** argv) {
    const unsigned width = argc > 2 ? static_cast<unsigned>(std::atoi(argv[1])) : 1024;
    const unsigned height = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 768;
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return 1;
    Globals g;
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, &g);
    wl_display_roundtrip(display);
    if (!g.manager) {
        std::fprintf(stderr, "no virtual pointer protocol\n");
        return 77;
    }
    wl_proxy* pointer =
        wl_proxy_marshal_constructor(g.manager, 0, &kVirtualPointer, g.seat, nullptr);
    wl_display_roundtrip(display);
    std::puts("ready");
    std::fflush(stdout);
    unsigned x = 0, y = 0, time = 1;
    while (std::scanf("%u %u", &x, &y) == 2) {
        wl_proxy_marshal(pointer, kMotionAbsolute, time++, x, y, width, height);
        wl_proxy_marshal(pointer, kFrame);
        wl_display_roundtrip(display);
        std::puts("moved");
        std::fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
