// A minimal freedesktop clipboard manager for the end-to-end tests: it owns the
// CLIPBOARD_MANAGER selection; asked for SAVE_TARGETS, it fetches the clipboard's
// image/png, takes the clipboard over and from then on serves TARGETS and image/png
// itself. It prints "ready" once it owns the selection and "saved <bytes>" after each
// take-over, and ends when its X server goes away.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_connection_t* c = nullptr;
xcb_window_t window = 0;

xcb_atom_t Atom(const char* name) {
    Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void Notify(const xcb_selection_request_event_t& request, xcb_atom_t property) {
    xcb_selection_notify_event_t n{};
    n.response_type = XCB_SELECTION_NOTIFY;
    n.time = request.time;
    n.requestor = request.requestor;
    n.selection = request.selection;
    n.target = request.target;
    n.property = property;
    xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&n));
    xcb_flush(c);
}

// Asks the clipboard's owner for target into our property; the bytes, or nothing.
bool Fetch(xcb_atom_t clipboard, xcb_atom_t target, xcb_atom_t property,
           std::vector<unsigned char>& out) {
    xcb_convert_selection(c, window, clipboard, target, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    for (;;) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> e(xcb_wait_for_event(c),
                                                                     &std::free);
        if (!e) return false;
        if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY) continue;
        const auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e.get());
        if (n->property == XCB_NONE) return false;
        Reply<xcb_get_property_reply_t> p(
            xcb_get_property_reply(
                c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 28),
                nullptr),
            &std::free);
        if (!p) return false;
        if (p->type == Atom("INCR")) {
            std::fprintf(stderr, "fake manager: incremental transfers are not handled\n");
            return false;
        }
        const auto* data = static_cast<const unsigned char*>(xcb_get_property_value(p.get()));
        out.assign(data, data + xcb_get_property_value_length(p.get()));
        return !out.empty();
    }
}

}  // namespace

int main() {
    int screenNumber = 0;
    c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) return 1;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, it.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t manager = Atom("CLIPBOARD_MANAGER");
    const xcb_atom_t saveTargets = Atom("SAVE_TARGETS");
    const xcb_atom_t clipboard = Atom("CLIPBOARD");
    const xcb_atom_t targets = Atom("TARGETS");
    const xcb_atom_t png = Atom("image/png");
    const xcb_atom_t property = Atom("FAKE_MANAGER_DATA");
    xcb_set_selection_owner(c, window, manager, XCB_CURRENT_TIME);
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, manager), nullptr), &std::free);
    if (!owner || owner->owner != window) return 1;
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<unsigned char> picture;
    for (;;) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> e(xcb_wait_for_event(c),
                                                                     &std::free);
        if (!e) return 0;  // the server went away
        const int type = e->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            const auto* clear = reinterpret_cast<xcb_selection_clear_event_t*>(e.get());
            if (clear->selection == clipboard) picture.clear();
            continue;
        }
        if (type != XCB_SELECTION_REQUEST) continue;
        const auto request = *reinterpret_cast<xcb_selection_request_event_t*>(e.get());
        const xcb_atom_t reply = request.property == XCB_NONE ? request.target : request.property;
        if (request.selection == manager && request.target == saveTargets) {
            std::vector<unsigned char> fetched;
            if (Fetch(clipboard, png, property, fetched)) {
                picture = std::move(fetched);
                xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
                std::printf("saved %zu\n", picture.size());
                std::fflush(stdout);
                Notify(request, reply);
            } else {
                Notify(request, XCB_NONE);
            }
        } else if (request.selection == clipboard && !picture.empty() &&
                   request.target == targets) {
            const xcb_atom_t list[] = {targets, png};
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, reply, XCB_ATOM_ATOM,
                                32, 2, list);
            Notify(request, reply);
        } else if (request.selection == clipboard && !picture.empty() && request.target == png) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, reply, png, 8,
                                static_cast<std::uint32_t>(picture.size()), picture.data());
            Notify(request, reply);
        } else {
            Notify(request, XCB_NONE);
        }
    }
}
