// X11: a thread of its own sets the windows' pointer over a connection of its own, so
// the pointer changes while the GUI thread is busy; Qt puts each window's own pointer
// back afterwards.
#include <xcb/xcb.h>

#include <QCursor>
#include <QGuiApplication>
#include <QWindow>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/busypointer.h"

namespace trimlet {
namespace {

// The watch of the X cursor font.
constexpr std::uint16_t kWatchGlyph = 150;

class XcbBusyPointer final : public BusyPointer {
public:
    explicit XcbBusyPointer(std::chrono::milliseconds delay) : delay_(delay) {}
    ~XcbBusyPointer() override {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
        if (c_) xcb_disconnect(c_);
    }

    // A nested begin takes in the windows shown since (start-up shows the main window
    // while it waits for the clipboard).
    void begin() override {
        std::vector<std::uint32_t> windows;
        for (QWindow* w : QGuiApplication::topLevelWindows())
            if (w->isVisible()) windows.push_back(static_cast<std::uint32_t>(w->winId()));
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            windows_ = std::move(windows);
            if (depth_++ == 0) {
                due_ = std::chrono::steady_clock::now() + delay_;
                armed_ = true;
                ++span_;
            } else {
                again_ = shown_;
            }
        }
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
        wake_.notify_all();
    }

    void end() override {
        bool shown = false;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (depth_ == 0 || --depth_ > 0) return;
            armed_ = false;
            shown = shown_;
            shown_ = false;
        }
        if (!shown) return;
        // Qt sets every window's pointer anew when an override ends.
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        QGuiApplication::restoreOverrideCursor();
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return quit_ || armed_; });
            if (quit_) return;
            const unsigned span = span_;
            const auto over = [this, span] { return quit_ || !armed_ || span_ != span; };
            if (!wake_.wait_until(lock, due_, over)) show();
            // Until this work ends; windows shown meanwhile get the pointer too.
            while (!over()) {
                wake_.wait(lock, [&] { return over() || again_; });
                if (again_ && !over()) show();
                again_ = false;
            }
        }
    }

    // With the lock held, so that end() finds the pointer either not yet changed or
    // changed and flushed.
    void show() {
        if (!c_) {
            c_ = xcb_connect(nullptr, nullptr);
            if (xcb_connection_has_error(c_)) return;
            const xcb_font_t font = xcb_generate_id(c_);
            xcb_open_font(c_, font, 6, "cursor");
            cursor_ = xcb_generate_id(c_);
            xcb_create_glyph_cursor(c_, cursor_, font, font, kWatchGlyph, kWatchGlyph + 1, 0, 0, 0,
                                    0xffff, 0xffff, 0xffff);
            xcb_close_font(c_, font);
        }
        if (xcb_connection_has_error(c_)) return;
        for (const std::uint32_t w : windows_)
            xcb_change_window_attributes(c_, w, XCB_CW_CURSOR, &cursor_);
        // A round trip: the server has applied the change before end() can undo it.
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        shown_ = true;
    }

    const std::chrono::milliseconds delay_;
    int depth_ = 0;  // begins not yet ended
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool armed_ = false;
    bool shown_ = false;
    bool again_ = false;  // shown, and windows came since
    unsigned span_ = 0;   // counts the begun works
    std::chrono::steady_clock::time_point due_;
    std::vector<std::uint32_t> windows_;
    xcb_connection_t* c_ = nullptr;  // the thread's
    std::uint32_t cursor_ = 0;
};

class NoBusyPointer final : public BusyPointer {
public:
    void begin() override {}
    void end() override {}
};

}  // namespace

std::unique_ptr<BusyPointer> CreateBusyPointer(std::chrono::milliseconds delay) {
#if QT_CONFIG(xcb)
    if (qGuiApp && qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        return std::make_unique<XcbBusyPointer>(delay);
#endif
    if (std::unique_ptr<BusyPointer> wayland = CreateWaylandBusyPointer(delay)) return wayland;
    return std::make_unique<NoBusyPointer>();
}

}  // namespace trimlet
