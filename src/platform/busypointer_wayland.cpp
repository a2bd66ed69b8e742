// Wayland: a window's pointer is set over the program's own connection, in answer to the
// pointer entering it, and only the GUI thread may ask Qt to set it. So the GUI thread asks
// for the busy pointer as the work begins, which only queues the request in the
// connection's buffer; a thread of its own flushes the connection once the work has run
// the delay, and the compositor shows the pointer then. Work that ends sooner puts the
// window's own pointer back before anything was sent, and both go out together (unless the
// work itself talked to the compositor meanwhile, a clipboard read for one: that sends the
// busy pointer sooner). A pointer that enters a window during the work gets the busy one
// only once the work is over: answering the entry is the GUI thread's.
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

#include <QCursor>
#include <QGuiApplication>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/busypointer.h"

namespace trimlet {
namespace {

class WaylandBusyPointer final : public BusyPointer {
public:
    WaylandBusyPointer(wl_display* display, std::chrono::milliseconds delay)
        : display_(display), delay_(delay) {}
    ~WaylandBusyPointer() override {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void begin() override {
        if (depth_++ > 0) return;
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            due_ = std::chrono::steady_clock::now() + delay_;
            armed_ = true;
            ++span_;
        }
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
        wake_.notify_all();
    }

    void end() override {
        if (depth_ == 0 || --depth_ > 0) return;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            armed_ = false;
        }
        wake_.notify_all();
        // Sent by the event loop, as every request of the GUI thread.
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
            // libwayland lets any thread flush the connection.
            if (!wake_.wait_until(lock, due_, over)) wl_display_flush(display_);
            wake_.wait(lock, over);
        }
    }

    wl_display* const display_;
    const std::chrono::milliseconds delay_;
    int depth_ = 0;  // begins not yet ended; the GUI thread's
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool armed_ = false;
    unsigned span_ = 0;  // counts the begun works
    std::chrono::steady_clock::time_point due_;
};

}  // namespace

std::unique_ptr<BusyPointer> CreateWaylandBusyPointer(std::chrono::milliseconds delay) {
    if (!qGuiApp || !QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* display = native ? static_cast<wl_display*>(native->nativeResourceForIntegration(
                                 QByteArrayLiteral("wl_display")))
                           : nullptr;
    if (!display) return nullptr;
    return std::make_unique<WaylandBusyPointer>(display, delay);
}

}  // namespace trimlet
