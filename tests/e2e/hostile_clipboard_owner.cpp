// A clipboard owner that misbehaves the way real programs do, for the end-to-end tests:
//   hostile_clipboard_owner silent             owns CLIPBOARD and never answers a request
//   hostile_clipboard_owner trickle FILE       answers TARGETS, then sends FILE as image/png
//                                              incrementally (INCR), one byte every 3 s
//   hostile_clipboard_owner slow FILE PIECES MS  the same, alive but slow: FILE in PIECES
//                                              pieces, MS milliseconds apart
// It prints "ready" once it owns the clipboard and "lost" (then ends) when another
// program takes it; it ends when its X server goes away.
#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

xcb_connection_t* c = nullptr;

xcb_atom_t Atom(const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> r(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void Notify(const xcb_selection_request_event_t& r, xcb_atom_t property) {
    xcb_selection_notify_event_t n{};
    n.response_type = XCB_SELECTION_NOTIFY;
    n.time = r.time;
    n.requestor = r.requestor;
    n.selection = r.selection;
    n.target = r.target;
    n.property = property;
    xcb_send_event(c, 0, r.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&n));
}

// One incremental transfer to one requestor's property.
struct Transfer {
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t target;
    std::size_t sent = 0;
    bool waitingForDelete = true;  // the requestor has not taken the last piece yet
    bool done = false;
    Clock::time_point nextPieceAt{};
};

}  // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!(mode == "silent" || (mode == "trickle" && argc == 3) || (mode == "slow" && argc == 5))) {
        std::fprintf(stderr, "usage: %s silent | trickle FILE | slow FILE PIECES MS\n", argv[0]);
        return 2;
    }
    std::vector<char> bytes;
    if (argc > 2) {
        std::ifstream in(argv[2], std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        if (bytes.empty()) return 2;
    }
    std::size_t piece = 1;
    auto gap = std::chrono::milliseconds(3000);
    if (mode == "slow") {
        const auto pieces = static_cast<std::size_t>(std::max(1, std::atoi(argv[3])));
        piece = (bytes.size() + pieces - 1) / pieces;
        gap = std::chrono::milliseconds(std::atoi(argv[4]));
    }

    int screenNumber = 0;
    c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) return 1;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, it.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t clipboard = Atom("CLIPBOARD");
    const xcb_atom_t targets = Atom("TARGETS");
    const xcb_atom_t png = Atom("image/png");
    const xcb_atom_t incr = Atom("INCR");
    // A real timestamp for the ownership: a property change on our own window gives one.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(c);
    xcb_timestamp_t now = XCB_CURRENT_TIME;
    while (now == XCB_CURRENT_TIME) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> e(xcb_wait_for_event(c),
                                                                     &std::free);
        if (!e) return 1;
        if ((e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
            now = reinterpret_cast<xcb_property_notify_event_t*>(e.get())->time;
    }
    xcb_set_selection_owner(c, window, clipboard, now);
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr),
        &std::free);
    if (!owner || owner->owner != window) return 1;
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<Transfer> transfers;
    const auto sendPiece = [&](Transfer& t) {
        const std::size_t n = std::min(piece, bytes.size() - t.sent);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, t.requestor, t.property, t.target, 8,
                            static_cast<std::uint32_t>(n), bytes.data() + t.sent);
        t.sent += n;
        t.done = n == 0;  // the empty piece ends the transfer
        t.waitingForDelete = true;
    };
    for (;;) {
        // Pieces that are due.
        int timeout = -1;
        for (Transfer& t : transfers) {
            if (t.done || t.waitingForDelete) continue;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(t.nextPieceAt - Clock::now());
            if (left.count() <= 0)
                sendPiece(t);
            else if (timeout < 0 || left.count() < timeout)
                timeout = static_cast<int>(left.count());
        }
        xcb_flush(c);
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        if (xcb_connection_has_error(c)) return 0;
        ::poll(&p, 1, timeout);
        while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> e(raw, &std::free);
            const int type = e->response_type & 0x7f;
            if (type == XCB_SELECTION_CLEAR) {
                std::printf("lost\n");
                std::fflush(stdout);
                return 0;
            }
            if (type == XCB_PROPERTY_NOTIFY) {
                const auto* n = reinterpret_cast<xcb_property_notify_event_t*>(e.get());
                if (n->state != XCB_PROPERTY_DELETE) continue;
                for (Transfer& t : transfers)
                    if (!t.done && t.requestor == n->window && t.property == n->atom &&
                        t.waitingForDelete) {
                        t.waitingForDelete = false;
                        t.nextPieceAt = Clock::now() + gap;
                    }
                continue;
            }
            if (type != XCB_SELECTION_REQUEST || mode == "silent") continue;
            const auto& r = *reinterpret_cast<xcb_selection_request_event_t*>(e.get());
            const xcb_atom_t property = r.property == XCB_NONE ? r.target : r.property;
            if (r.target == targets) {
                const xcb_atom_t offered[] = {targets, png};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, XCB_ATOM_ATOM,
                                    32, 2, offered);
                Notify(r, property);
            } else if (r.target == png) {
                // Incremental: announce the size, then a piece after each deletion.
                const std::uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, r.requestor, XCB_CW_EVENT_MASK, &watch);
                const auto size = static_cast<std::uint32_t>(bytes.size());
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, r.requestor, property, incr, 32, 1,
                                    &size);
                Notify(r, property);
                transfers.push_back({r.requestor, property, png});
            } else {
                Notify(r, XCB_NONE);
            }
            xcb_flush(c);
        }
        if (xcb_connection_has_error(c)) return 0;
    }
}
