#include "platform/clipboardkeeper.h"

#include <xcb/xcb.h>

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/shutdownwatch.h"

namespace trimlet {
namespace {

bool OwnsClipboard() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard && clipboard->ownsClipboard();
}

// Runs the event loop until the clipboard is no longer ours, the time is up or a shutdown
// is asked for.
void WaitWhileOwned(std::chrono::milliseconds limit, const ShutdownWatcher& shutdown) {
    if (!OwnsClipboard() || shutdown.requested()) return;
    QEventLoop loop;
    QObject::connect(&shutdown, &ShutdownWatcher::shutdownRequested, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, &loop,
                     [&loop](QClipboard::Mode mode) {
                         if (mode == QClipboard::Clipboard && !OwnsClipboard()) loop.quit();
                     });
    timer.start(limit);
    if (OwnsClipboard() && !shutdown.requested()) loop.exec();
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The freedesktop clipboard manager, if one runs.
xcb_window_t ManagerWindow(xcb_connection_t* c, xcb_atom_t manager) {
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, manager), nullptr), &std::free);
    return owner ? owner->owner : xcb_window_t{XCB_NONE};
}

}  // namespace

ClipboardAtExit HandClipboardOver(std::chrono::milliseconds wait, const ShutdownWatcher& shutdown) {
    if (!OwnsClipboard()) return ClipboardAtExit::NotOurs;
    xcb_connection_t* c = nullptr;
#if QT_CONFIG(xcb)
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        c = x11->connection();
#endif
    // Only X11 is handled here; elsewhere the process serves its content itself.
    if (!c) return ClipboardAtExit::KeepServing;

    const xcb_atom_t manager = Atom(c, "CLIPBOARD_MANAGER");
    const xcb_atom_t saveTargets = Atom(c, "SAVE_TARGETS");
    const xcb_atom_t property = Atom(c, "TRIMLET_SAVE_TARGETS");
    if (manager == XCB_ATOM_NONE || saveTargets == XCB_ATOM_NONE ||
        ManagerWindow(c, manager) == XCB_NONE)
        return ClipboardAtExit::KeepServing;

    // The request needs a window of ours to answer to; Qt ignores events for it. The
    // manager then asks Qt's clipboard for its targets and their data (Qt answers while
    // the event loop runs) and takes the clipboard over, which Qt reports as a change.
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    const xcb_window_t requestor = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, requestor, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_convert_selection(c, requestor, manager, saveTargets, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    WaitWhileOwned(wait, shutdown);
    xcb_destroy_window(c, requestor);
    xcb_flush(c);
    return OwnsClipboard() ? ClipboardAtExit::KeepServing : ClipboardAtExit::HandedOver;
}

void ServeClipboardUntilTaken(std::chrono::milliseconds limit, const ShutdownWatcher& shutdown) {
    WaitWhileOwned(limit, shutdown);
}

}  // namespace trimlet
