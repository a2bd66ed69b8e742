// Termination signals through a self-pipe, and the X11 main window's destruction through
// the native event stream.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <csignal>

#include "platform/shutdownwatch.h"

namespace trimlet {
namespace {

int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_requested = 0;

// Async-signal-safe: a flag and one write, errno kept.
void OnSignal(int) {
    g_requested = 1;
    const int saved = errno;
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);  // a full pipe already holds a request
    errno = saved;
}

// The parts of an X event that tell a window's destruction (the wire layout of
// DestroyNotify, which is how Qt hands native X events to filters).
struct XcbDestroyNotify {
    quint8 responseType;
    quint8 pad0;
    quint16 sequence;
    quint32 event;
    quint32 window;
};
constexpr quint8 kXcbDestroyNotify = 17;

class PosixShutdownWatcher final : public ShutdownWatcher, public QAbstractNativeEventFilter {
public:
    PosixShutdownWatcher() {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) ==
            0) {
            notifier_ = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
            connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
                char buffer[64];
                while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
                }
                deliver();
            });
            struct sigaction action {};
            action.sa_handler = OnSignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESTART;
            for (const int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
        }
        if (QCoreApplication::instance())
            QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~PosixShutdownWatcher() override {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        for (const int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
        notifier_.reset();
        for (int& fd : g_signalPipe) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    void watchWindow(quintptr nativeWindow) override { window_ = nativeWindow; }

    bool requested() const override { return g_requested != 0; }

    bool sleepFor(int milliseconds) override {
        QElapsedTimer slept;
        slept.start();
        for (;;) {
            if (requested()) return false;
            const qint64 left = milliseconds - slept.elapsed();
            if (left <= 0) return true;
            // The pipe is only looked at: its byte stays for the event loop.
            pollfd p{g_signalPipe[0], POLLIN, 0};
            ::poll(&p, g_signalPipe[0] >= 0 ? 1 : 0, static_cast<int>(left));
        }
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (window_ == 0 || eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const XcbDestroyNotify*>(message);
        if ((event->responseType & 0x7F) == kXcbDestroyNotify && event->window == window_) {
            window_ = 0;
            g_requested = 1;
            // After the filter returns: Qt finishes with this event first.
            QMetaObject::invokeMethod(this, &PosixShutdownWatcher::deliver, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void deliver() {
        if (delivered_) return;
        delivered_ = true;
        emit shutdownRequested();
    }

    bool delivered_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    quintptr window_ = 0;
};

}  // namespace

std::unique_ptr<ShutdownWatcher> CreateShutdownWatcher() {
    return std::make_unique<PosixShutdownWatcher>();
}

}  // namespace trimlet
