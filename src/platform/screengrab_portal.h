#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QSet>
#include <QVariantMap>
#include <functional>

#include "platform/screengrab.h"

namespace trimlet {

// What the desktop portal's Screenshot interface answered to one request.
struct PortalAnswer {
    enum class Kind {
        Saved,      // the picture is in `file`, written for this request
        NoService,  // no portal offers Screenshot on this session bus
        Refused,    // the portal or the user said no
        Failed,     // an error, no answer in time, or an answer without a local file
    };
    Kind kind = Kind::Failed;
    QString file;
};

// How a D-Bus error name from the Screenshot call reads: the portal is missing (nothing
// owns or can start the name, or it lacks the interface) or it failed.
[[nodiscard]] PortalAnswer::Kind KindOfCallError(const QString& errorName);
// The Request's Response: code 0 with a local file URI is a saved picture, 1 a refusal
// (cancelled), anything else a failure.
[[nodiscard]] PortalAnswer AnswerOfResponse(uint response, const QString& uri);

class ScreenshotPortal {
public:
    virtual ~ScreenshotPortal() = default;
    // Asks for a non-interactive screenshot of the whole screen; blocks until answered or
    // the time is up.
    virtual PortalAnswer requestScreenshot() = 0;
};

// The portal on the session bus. The call itself starts the portal when the bus can
// activate it; nothing is looked up beforehand.
class DBusScreenshotPortal final : public QObject, public ScreenshotPortal {
    Q_OBJECT
public:
    explicit DBusScreenshotPortal(int timeoutMs = 10000) : timeoutMs_(timeoutMs) {}
    PortalAnswer requestScreenshot() override;

private slots:
    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message);

private:
    void stopListening(const QString& requestPath);

    int timeoutMs_;
    QString awaited_;  // the request path whose answer the capture waits for
    bool answered_ = false;
    PortalAnswer answer_;
    // Requests given up on (no answer in time): a late answer's file is removed unread.
    QSet<QString> abandoned_;
};

// Capture in a Wayland session, decided at each capture: the portal's picture, read from
// the file it wrote and that file then removed (wherever it was written); where no portal exists at
// all, the compositor's own screen grab (when there is one); otherwise nothing (a null picture).
class WaylandScreenGrabber final : public ScreenGrabber {
public:
    struct Files {
        std::function<QImage(const QString&)> read;
        std::function<bool(const QString&)> remove;
        // The user's pictures folder, where some portals save every screenshot (and
        // without which they fail): made for the request where it is missing, and removed
        // again after it when it was made for it and is still empty. None: not looked at.
        std::function<QString()> picturesFolder;
    };
    WaylandScreenGrabber(ScreenshotPortal& portal, ScreenGrabber* compositorGrab, Files files);
    QImage grabDesktop() override;

private:
    ScreenshotPortal& portal_;
    ScreenGrabber* compositorGrab_;
    Files files_;
};

// Reads a picture file and deletes a file, for the grabber above.
WaylandScreenGrabber::Files DiskFiles();

}  // namespace trimlet
