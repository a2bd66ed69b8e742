// Termination signals through a self-pipe, and the X11 main window's destruction through
// the native event stream; a thread of its own ends the process when the event loop does
// not get to a signal in time.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <csignal>
#include <mutex>
#include <thread>

#include "common/atomicfile.h"
#include "platform/shutdownwatch.h"

namespace trimlet {
namespace {

int g_signalPipe[2] = {-1, -1};
int g_lastResortPipe[2] = {-1, -1};  // wakes the last-resort thread: 's'ignal or 'q'uit
volatile sig_atomic_t g_requested = 0;

// Async-signal-safe: a flag and two writes, errno kept.
void OnSignal(int) {
    g_requested = 1;
    const int saved = errno;
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);  // a full pipe already holds a request
    const char signal = 's';
    (void)!::write(g_lastResortPipe[1], &signal, 1);
    errno = saved;
}

// Reads one byte of the last-resort pipe within `timeout` (-1: no limit); 0 when none came.
char NextByte(int timeout) {
    pollfd p{g_lastResortPipe[0], POLLIN, 0};
    for (;;) {
        const int n = ::poll(&p, 1, timeout);
        if (n < 0 && errno == EINTR) continue;  // a signal: the pipe tells it
        char byte = 0;
        if (n > 0 && ::read(g_lastResortPipe[0], &byte, 1) == 1) return byte;
        return 0;
    }
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
            if (::pipe2(g_lastResortPipe, O_CLOEXEC) == 0) {
                (void)::fcntl(g_lastResortPipe[1], F_SETFL, O_NONBLOCK);
                lastResort_ = std::thread([this] { runLastResort(); });
            }
            for (const int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
        }
        if (QCoreApplication::instance())
            QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~PosixShutdownWatcher() override {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        for (const int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
        if (lastResort_.joinable()) {
            const char quit = 'q';
            (void)!::write(g_lastResortPipe[1], &quit, 1);
            lastResort_.join();
        }
        notifier_.reset();
        for (int* pipe : {g_signalPipe, g_lastResortPipe}) {
            for (int i = 0; i < 2; ++i) {
                if (pipe[i] >= 0) ::close(pipe[i]);
                pipe[i] = -1;
            }
        }
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    void watchWindow(quintptr nativeWindow) override { window_ = nativeWindow; }

    void setLastWords(std::function<void()> words) override {
        const std::lock_guard<std::recursive_mutex> lock(ProcessEndLock());
        lastWords_ = std::move(words);
    }

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
    // The watcher's own thread: from a signal on, the event loop has kLastResortAfter to
    // end the process; a quit (the watcher goes) ends the watch.
    void runLastResort() {
        for (;;) {
            const char byte = NextByte(-1);
            if (byte == 'q' || byte == 0) return;
            if (byte == 's') break;
        }
        QElapsedTimer since;
        since.start();
        for (;;) {
            const qint64 left = kLastResortAfter.count() - since.elapsed();
            if (left <= 0) break;
            if (NextByte(static_cast<int>(left)) == 'q') return;
        }
        // Never unlocked: whatever the GUI thread does next waits for the end.
        ProcessEndLock().lock();
        RemoveUnfinishedFiles();
        if (lastWords_) lastWords_();
        ::_exit(0);
    }

    void deliver() {
        if (delivered_) return;
        delivered_ = true;
        emit shutdownRequested();
    }

    bool delivered_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    quintptr window_ = 0;
    std::function<void()> lastWords_;  // under ProcessEndLock
    std::thread lastResort_;
};

}  // namespace

std::unique_ptr<ShutdownWatcher> CreateShutdownWatcher() {
    return std::make_unique<PosixShutdownWatcher>();
}

}  // namespace trimlet
