#pragma once

#include <QDBusMessage>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
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
        Failed,     // an error, or an answer without a local file
        TimedOut,   // no answer in time
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

// What the desktop's permission store holds for our screenshots: "yes" is a standing
// permission; "no" a standing refusal; nothing (or anything else) means the portal asks the
// user before a non-interactive screenshot, where it keeps permissions at all.
enum class StoredPermission { Yes, No, Unset };

// The permission store's table "screenshot", id "screenshot", maps app ids to their
// permissions (the first word counts); a program outside a sandbox has the app id "".
[[nodiscard]] StoredPermission PermissionOf(const QMap<QString, QStringList>& entry,
                                            const QString& appId = {});

// How long the portal may take: a picture of the hidden window's screen, and a question the
// user reads and answers first.
inline constexpr int kPortalShotMs = 10000;
inline constexpr int kPortalQuestionMs = 60000;

class ScreenshotPortal {
public:
    virtual ~ScreenshotPortal() = default;
    // Asks for a non-interactive screenshot of the whole screen; blocks (letting events run)
    // until answered or the time is up.
    virtual PortalAnswer requestScreenshot(int timeoutMs) = 0;
    // Whether the session has a portal at all, running or ready to be started by the bus.
    [[nodiscard]] virtual bool present() = 0;
    // The store's word on our screenshots (Unset where the store cannot be read).
    [[nodiscard]] virtual StoredPermission storedPermission() = 0;
};

// The portal on the session bus. The screenshot call itself starts the portal when the bus
// can activate it.
class DBusScreenshotPortal final : public QObject, public ScreenshotPortal {
    Q_OBJECT
public:
    PortalAnswer requestScreenshot(int timeoutMs) override;
    bool present() override;
    StoredPermission storedPermission() override;

private slots:
    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message);

private:
    void stopListening(const QString& requestPath);

    QString awaited_;  // the request path whose answer the capture waits for
    bool answered_ = false;
    PortalAnswer answer_;
    // Requests given up on (no answer in time): a late answer's file is removed unread.
    QSet<QString> abandoned_;
};

// Whether the portal asks the user before a screenshot: it does unless the store holds a
// standing permission, or unless one of its pictures came while the store held none (a
// portal that keeps no permissions and never asks).
class PortalQuestion {
public:
    [[nodiscard]] bool wouldAsk(StoredPermission stored) const {
        return stored != StoredPermission::Yes && !answersUnasked_;
    }
    // After a question: whether it gave a picture, and the store's word after it.
    void answered(bool picture, StoredPermission storedAfter) {
        if (picture && storedAfter != StoredPermission::Yes) answersUnasked_ = true;
    }

private:
    bool answersUnasked_ = false;
};

// Capture in a Wayland session, decided at each capture: the portal's picture, read from
// the file it wrote and that file then removed (wherever it was written); where no portal exists at
// all, the compositor's own screen grab (when there is one); otherwise nothing (a null picture).
// Where the portal asks the user first, the question is a screenshot asked for while the
// window is shown, its picture thrown away.
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
    bool wouldAsk() override;
    GrabPermission askPermission() override;

private:
    // One portal request with the pictures folder there for it; the file it wrote is read
    // into `shot` (when given) and removed.
    PortalAnswer request(int timeoutMs, QImage* shot);

    ScreenshotPortal& portal_;
    ScreenGrabber* compositorGrab_;
    Files files_;
    PortalQuestion question_;
};

// Reads a picture file and deletes a file, for the grabber above.
WaylandScreenGrabber::Files DiskFiles();

}  // namespace trimlet
