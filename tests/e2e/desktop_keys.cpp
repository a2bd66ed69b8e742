// A keyboard for headless desktop sessions, whose seats have none: reads key names from
// its standard input, one press per line ("Tab", "space", "Return", "Escape", "ctrl+c"; and
// "pointer-away", which moves KWin's pointer into the screen's bottom-right corner), and
// types them through the desktop's own remote input:
//   desktop_keys mutter      mutter's remote-desktop session (D-Bus), held while it runs
//   desktop_keys kwin        KWin's fake-input Wayland protocol (WAYLAND_DISPLAY)
// Prints "ready" once the keyboard exists, "typed <line>" after each press; ends at the
// end of its input.
#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QSocketNotifier>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fake-input-client-protocol.h"

namespace {

struct Key {
    const char* name;
    unsigned keysym;  // X11 keysym, for mutter
    unsigned evdev;   // Linux key code, for KWin
};
const Key kKeys[] = {
    {"Tab", 0xff09, KEY_TAB},    {"space", 0x20, KEY_SPACE},     {"Return", 0xff0d, KEY_ENTER},
    {"Escape", 0xff1b, KEY_ESC}, {"ctrl", 0xffe3, KEY_LEFTCTRL}, {"shift", 0xffe1, KEY_LEFTSHIFT},
    {"c", 0x63, KEY_C},          {"Left", 0xff51, KEY_LEFT},     {"Right", 0xff53, KEY_RIGHT},
    {"Up", 0xff52, KEY_UP},      {"Down", 0xff54, KEY_DOWN},     {"F10", 0xffc7, KEY_F10},
};

const Key* Find(const std::string& name) {
    for (const Key& k : kKeys)
        if (name == k.name) return &k;
    return nullptr;
}

class Typist {
public:
    virtual ~Typist() = default;
    virtual bool press(const Key& key, bool down) = 0;
    // Moves the pointer to the screen's bottom-right corner (screenshots draw it).
    virtual void pointerAway() {}
};

class MutterTypist final : public Typist {
public:
    bool start() {
        QDBusInterface remote(QStringLiteral("org.gnome.Mutter.RemoteDesktop"),
                              QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                              QStringLiteral("org.gnome.Mutter.RemoteDesktop"));
        const QDBusReply<QDBusObjectPath> session = remote.call(QStringLiteral("CreateSession"));
        if (!session.isValid()) {
            std::fprintf(stderr, "CreateSession: %s\n", qPrintable(session.error().message()));
            return false;
        }
        session_ = new QDBusInterface(QStringLiteral("org.gnome.Mutter.RemoteDesktop"),
                                      session.value().path(),
                                      QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session"));
        const QDBusMessage started = session_->call(QStringLiteral("Start"));
        if (started.type() == QDBusMessage::ErrorMessage) {
            std::fprintf(stderr, "Start: %s\n", qPrintable(started.errorMessage()));
            return false;
        }
        return true;
    }
    bool press(const Key& key, bool down) override {
        const QDBusMessage m =
            session_->call(QStringLiteral("NotifyKeyboardKeysym"), key.keysym, down);
        return m.type() != QDBusMessage::ErrorMessage;
    }

private:
    QDBusInterface* session_ = nullptr;
};

class KwinTypist final : public Typist {
public:
    bool start() {
        display_ = wl_display_connect(nullptr);
        if (!display_) return false;
        wl_registry* registry = wl_display_get_registry(display_);
        static const wl_registry_listener listener = {
            [](void* data, wl_registry* r, uint32_t name, const char* interface, uint32_t) {
                if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0)
                    static_cast<KwinTypist*>(data)->input_ = static_cast<org_kde_kwin_fake_input*>(
                        wl_registry_bind(r, name, &org_kde_kwin_fake_input_interface, 4));
            },
            [](void*, wl_registry*, uint32_t) {}};
        wl_registry_add_listener(registry, &listener, this);
        wl_display_roundtrip(display_);
        if (!input_) return false;
        org_kde_kwin_fake_input_authenticate(input_, "trimlet tests", "typing in a test");
        return wl_display_roundtrip(display_) >= 0;
    }
    bool press(const Key& key, bool down) override {
        org_kde_kwin_fake_input_keyboard_key(input_, key.evdev, down ? 1 : 0);
        return wl_display_roundtrip(display_) >= 0;
    }
    void pointerAway() override {
        org_kde_kwin_fake_input_pointer_motion_absolute(input_, wl_fixed_from_int(100000),
                                                        wl_fixed_from_int(100000));
        wl_display_roundtrip(display_);
    }

private:
    wl_display* display_ = nullptr;
    org_kde_kwin_fake_input* input_ = nullptr;
};

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString kind = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    MutterTypist mutter;
    KwinTypist kwin;
    Typist* typist = nullptr;
    if (kind == QLatin1String("mutter") && mutter.start()) typist = &mutter;
    if (kind == QLatin1String("kwin") && kwin.start()) typist = &kwin;
    if (!typist) {
        std::fprintf(stderr, "no keyboard for '%s'\n", qPrintable(kind));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line == "pointer-away") {
                typist->pointerAway();
                std::printf("typed %s\n", line.c_str());
                std::fflush(stdout);
                continue;
            }
            // "ctrl+c": the keys before the last are held around it.
            const QStringList names =
                QString::fromStdString(line).trimmed().split(QLatin1Char('+'));
            std::vector<const Key*> keys;
            for (const QString& n : names)
                if (const Key* k = Find(n.toStdString())) keys.push_back(k);
            if (keys.size() != static_cast<std::size_t>(names.size())) {
                std::fprintf(stderr, "unknown key '%s'\n", line.c_str());
                continue;
            }
            for (const Key* k : keys) typist->press(*k, true);
            for (auto k = keys.rbegin(); k != keys.rend(); ++k) typist->press(**k, false);
            std::printf("typed %s\n", line.c_str());
            std::fflush(stdout);
        }
    });
    return app.exec();
}
