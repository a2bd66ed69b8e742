#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/windowmanager.h"

namespace trimlet {
namespace {

using Reply = std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)>;

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

Reply Property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
    return Reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 1024), nullptr),
        &std::free);
}

// The window the manager names itself on: the root's check window, if that window
// points to itself as the window-manager hints (EWMH) ask; a stale one from an ended
// manager does not.
xcb_window_t CheckWindow(xcb_connection_t* c, xcb_window_t root, xcb_atom_t check) {
    const auto window = [&](xcb_window_t on) -> xcb_window_t {
        const Reply r = Property(c, on, check, XCB_ATOM_WINDOW);
        if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4) return XCB_NONE;
        return *static_cast<const xcb_window_t*>(xcb_get_property_value(r.get()));
    };
    const xcb_window_t w = window(root);
    return w != XCB_NONE && window(w) == w ? w : xcb_window_t{XCB_NONE};
}

}  // namespace

QString WindowManagerName() {
    xcb_connection_t* c = nullptr;
#if QT_CONFIG(xcb)
    if (auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        c = x11->connection();
#endif
    if (!c) return {};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_window_t w = CheckWindow(c, root, Atom(c, "_NET_SUPPORTING_WM_CHECK"));
    if (w == XCB_NONE) return {};
    const Reply name = Property(c, w, Atom(c, "_NET_WM_NAME"), Atom(c, "UTF8_STRING"));
    if (!name || name->format != 8) return {};
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(name.get())),
                             xcb_get_property_value_length(name.get()));
}

bool DialogNeedsToolbarTypeForCloseBoxOnly() {
    return WindowManagerName().compare(QLatin1String("Openbox"), Qt::CaseInsensitive) == 0;
}

bool DialogNeedsUtilityTypeForCloseBoxOnly() {
    return WindowManagerName().compare(QLatin1String("KWin"), Qt::CaseInsensitive) == 0;
}

}  // namespace trimlet
