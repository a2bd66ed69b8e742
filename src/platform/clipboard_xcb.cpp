#include "platform/clipboard_xcb.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace trimlet {
namespace {

using Clock = std::chrono::steady_clock;
template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

constexpr std::chrono::milliseconds kTick{50};
// One property read asks for at most this many 32-bit units (16 MiB).
constexpr std::uint32_t kPropertyUnits = 4u << 20;

xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
    const Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

// A connection with a window of its own to receive the owner's answers on. After a
// transfer that was given up, the connection is dropped: a late answer to it can never
// be taken for the answer to the next request.
struct XcbClipboardReader::Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t window = XCB_NONE;
    xcb_atom_t clipboard = XCB_ATOM_NONE, targets = XCB_ATOM_NONE, incr = XCB_ATOM_NONE,
               property = XCB_ATOM_NONE;

    Connection() {
        c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c)) return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        window = xcb_generate_id(c);
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        clipboard = Intern(c, "CLIPBOARD");
        targets = Intern(c, "TARGETS");
        incr = Intern(c, "INCR");
        property = Intern(c, "TRIMLET_CLIPBOARD");
    }
    ~Connection() { xcb_disconnect(c); }
    [[nodiscard]] bool ok() const { return !xcb_connection_has_error(c) && property != XCB_NONE; }

    // Waits for the first event that `wanted` accepts, for at most `silence` without one;
    // every other event is dropped. Null when the time ran out or the wait was stopped.
    template <class Wanted>
    Reply<xcb_generic_event_t> waitFor(Wanted wanted, std::chrono::milliseconds silence,
                                       const OwnerWait& wait) {
        const Clock::time_point deadline = Clock::now() + silence;
        for (;;) {
            while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
                Reply<xcb_generic_event_t> e(raw, &std::free);
                if (wanted(*e)) return e;
            }
            if (xcb_connection_has_error(c) || (wait.stop && wait.stop()))
                return {nullptr, &std::free};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return {nullptr, &std::free};
            pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::min(left, kTick).count()));
            if (wait.tick) wait.tick();
        }
    }

    // Reads and deletes the whole property; false when it is no longer there or grows
    // beyond `limit` bytes in all.
    bool takeProperty(qint64 limit, QByteArray& bytes, xcb_atom_t& type) {
        std::uint32_t offset = 0;
        for (;;) {
            const Reply<xcb_get_property_reply_t> p(
                xcb_get_property_reply(
                    c,
                    xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, offset,
                                     kPropertyUnits),
                    nullptr),
                &std::free);
            if (!p) return false;
            type = p->type;
            const int length = xcb_get_property_value_length(p.get());
            if (bytes.size() + length > limit) {
                xcb_delete_property(c, window, property);
                return false;
            }
            bytes.append(static_cast<const char*>(xcb_get_property_value(p.get())), length);
            offset += static_cast<std::uint32_t>(length) / 4;
            if (p->bytes_after == 0) return true;
        }
    }
};

XcbClipboardReader::XcbClipboardReader(std::chrono::milliseconds silence) : silence_(silence) {}
XcbClipboardReader::~XcbClipboardReader() = default;

OwnerAnswer XcbClipboardReader::request(const QByteArray& target, qint64 limit, QByteArray& bytes,
                                        const OwnerWait& wait) {
    bytes.clear();
    if (!connection_ || !connection_->ok()) connection_ = std::make_unique<Connection>();
    Connection& k = *connection_;
    if (!k.ok()) return OwnerAnswer::NoOwner;
    xcb_connection_t* c = k.c;

    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, k.clipboard), nullptr),
        &std::free);
    if (!owner || owner->owner == XCB_NONE) return OwnerAnswer::NoOwner;
    const xcb_atom_t targetAtom = Intern(c, target.constData());
    if (targetAtom == XCB_ATOM_NONE) return OwnerAnswer::Refused;

    const auto givenUp = [this] {
        connection_.reset();
        return OwnerAnswer::Silent;
    };
    xcb_delete_property(c, k.window, k.property);
    xcb_convert_selection(c, k.window, k.clipboard, targetAtom, k.property, XCB_CURRENT_TIME);
    xcb_flush(c);
    const Reply<xcb_generic_event_t> notify = k.waitFor(
        [&](const xcb_generic_event_t& e) {
            if ((e.response_type & 0x7f) != XCB_SELECTION_NOTIFY) return false;
            const auto& n = reinterpret_cast<const xcb_selection_notify_event_t&>(e);
            return n.requestor == k.window && n.selection == k.clipboard && n.target == targetAtom;
        },
        silence_, wait);
    if (!notify) return givenUp();
    if (reinterpret_cast<const xcb_selection_notify_event_t*>(notify.get())->property == XCB_NONE)
        return OwnerAnswer::Refused;

    xcb_atom_t kind = XCB_ATOM_NONE;
    QByteArray first;
    if (!k.takeProperty(limit, first, kind)) return OwnerAnswer::Refused;
    if (kind != k.incr) {
        bytes = std::move(first);
    } else {
        // Incremental: taking the INCR property asked for the first piece (the owner sees
        // its deletion); each piece is taken the same way, until an empty one. Only
        // silence between the pieces ends the wait, never the length of the whole.
        xcb_flush(c);
        for (;;) {
            const Reply<xcb_generic_event_t> piece = k.waitFor(
                [&](const xcb_generic_event_t& e) {
                    if ((e.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
                    const auto& n = reinterpret_cast<const xcb_property_notify_event_t&>(e);
                    return n.window == k.window && n.atom == k.property &&
                           n.state == XCB_PROPERTY_NEW_VALUE;
                },
                silence_, wait);
            if (!piece) return givenUp();
            const qint64 before = bytes.size();
            if (!k.takeProperty(limit, bytes, kind)) {
                connection_.reset();  // the owner is still sending
                return OwnerAnswer::Refused;
            }
            xcb_flush(c);
            if (bytes.size() == before) break;
        }
    }
    return OwnerAnswer::Data;
}

OwnerAnswer XcbClipboardReader::targets(QStringList& names, const OwnerWait& wait) {
    names.clear();
    QByteArray bytes;
    const OwnerAnswer answer = request("TARGETS", qint64{1} << 20, bytes, wait);
    if (answer != OwnerAnswer::Data) return answer;
    xcb_connection_t* c = connection_->c;
    std::vector<xcb_atom_t> atoms(static_cast<std::size_t>(bytes.size()) / sizeof(xcb_atom_t));
    std::memcpy(atoms.data(), bytes.constData(), atoms.size() * sizeof(xcb_atom_t));
    // All names asked at once: one round trip to the server, none to the owner.
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    cookies.reserve(atoms.size());
    for (const xcb_atom_t a : atoms) cookies.push_back(xcb_get_atom_name(c, a));
    for (const xcb_get_atom_name_cookie_t cookie : cookies) {
        const Reply<xcb_get_atom_name_reply_t> name(xcb_get_atom_name_reply(c, cookie, nullptr),
                                                    &std::free);
        if (name)
            names << QString::fromLatin1(xcb_get_atom_name_name(name.get()),
                                         xcb_get_atom_name_name_length(name.get()));
    }
    return OwnerAnswer::Data;
}

OwnerAnswer XcbClipboardReader::fetch(const QString& target, qint64 limit, QByteArray& bytes,
                                      const OwnerWait& wait) {
    return request(target.toLatin1(), limit, bytes, wait);
}

}  // namespace trimlet
