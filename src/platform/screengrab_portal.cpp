#include "platform/screengrab_portal.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>

namespace trimlet {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kResponse = QStringLiteral("Response");
const QString kStore = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString kStorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
const QString kBus = QStringLiteral("org.freedesktop.DBus");

// The bus daemon and the permission store answer at once or not at all.
constexpr int kQuickCallMs = 1000;

QDBusMessage QuickCall(const QDBusMessage& call) {
    return QDBusConnection::sessionBus().call(call, QDBus::Block, kQuickCallMs);
}

// The reply's first argument as a D-Bus map of texts to lists of texts.
QMap<QString, QStringList> TextListMap(const QDBusMessage& reply) {
    QMap<QString, QStringList> map;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return map;
    const QVariant first = reply.arguments().constFirst();
    if (!first.canConvert<QDBusArgument>()) return map;
    const QDBusArgument arg = first.value<QDBusArgument>();
    if (arg.currentType() != QDBusArgument::MapType) return map;
    arg.beginMap();
    while (!arg.atEnd()) {
        QString key;
        QStringList values;
        arg.beginMapEntry();
        arg >> key >> values;
        arg.endMapEntry();
        map.insert(key, values);
    }
    arg.endMap();
    return map;
}

}  // namespace

StoredPermission PermissionOf(const QMap<QString, QStringList>& entry, const QString& appId) {
    const auto it = entry.constFind(appId);
    if (it == entry.constEnd() || it->isEmpty()) return StoredPermission::Unset;
    if (it->constFirst() == QLatin1String("yes")) return StoredPermission::Yes;
    if (it->constFirst() == QLatin1String("no")) return StoredPermission::No;
    return StoredPermission::Unset;
}

PortalAnswer::Kind KindOfCallError(const QString& errorName) {
    static const char* const kMissing[] = {
        "org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
        "org.freedesktop.DBus.Error.UnknownMethod",  "org.freedesktop.DBus.Error.UnknownInterface",
        "org.freedesktop.DBus.Error.UnknownObject",
    };
    for (const char* name : kMissing)
        if (errorName == QLatin1String(name)) return PortalAnswer::Kind::NoService;
    return PortalAnswer::Kind::Failed;
}

PortalAnswer AnswerOfResponse(uint response, const QString& uri) {
    if (response == 1) return {PortalAnswer::Kind::Refused, {}};
    if (response != 0) return {PortalAnswer::Kind::Failed, {}};
    const QUrl url(uri);
    if (!url.isLocalFile() || url.toLocalFile().isEmpty()) return {PortalAnswer::Kind::Failed, {}};
    return {PortalAnswer::Kind::Saved, url.toLocalFile()};
}

bool DBusScreenshotPortal::present() {
    const auto names = [](const char* method) {
        const QDBusMessage reply = QuickCall(
            QDBusMessage::createMethodCall(kBus, QStringLiteral("/org/freedesktop/DBus"), kBus,
                                           QLatin1String(method)));
        return reply.arguments().isEmpty() ? QStringList()
                                           : reply.arguments().constFirst().toStringList();
    };
    if (!QDBusConnection::sessionBus().isConnected()) return false;
    return names("ListNames").contains(kService) ||
           names("ListActivatableNames").contains(kService);
}

StoredPermission DBusScreenshotPortal::storedPermission() {
    if (!QDBusConnection::sessionBus().isConnected()) return StoredPermission::Unset;
    QDBusMessage lookup =
        QDBusMessage::createMethodCall(kStore, kStorePath, kStore, QStringLiteral("Lookup"));
    lookup << QStringLiteral("screenshot") << QStringLiteral("screenshot");
    // No entry at all is an error reply, and reads as Unset.
    return PermissionOf(TextListMap(QuickCall(lookup)));
}

PortalAnswer DBusScreenshotPortal::requestScreenshot(int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return {PortalAnswer::Kind::NoService, {}};
    const QDeadlineTimer deadline(timeoutMs);
    // The request object's path is known in advance; listen on it before asking, so
    // the answer cannot arrive before we listen.
    const QString token = QStringLiteral("trimlet%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath =
        kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    awaited_ = requestPath;
    answered_ = false;
    answer_ = {};
    bus.connect(kService, requestPath, kRequest, kResponse, this,
                SLOT(onResponse(uint, QVariantMap, QDBusMessage)));

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kScreenshot, QStringLiteral("Screenshot"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("interactive"), false);
    call << QString() << options;
    // The bus starts an activatable portal for this call; a missing one answers at once.
    const QDBusMessage reply =
        bus.call(call, QDBus::Block, std::max(1, int(deadline.remainingTime())));
    PortalAnswer result;
    if (reply.type() == QDBusMessage::ErrorMessage &&
        reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.NoReply")) {
        result.kind = KindOfCallError(reply.errorName());
        stopListening(requestPath);
    } else {
        while (!answered_ && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (answered_) {
            result = answer_;
            stopListening(requestPath);
        } else {
            // No answer in time. Ask the portal to drop the request, and remove the file of
            // an answer that still comes.
            result.kind = PortalAnswer::Kind::TimedOut;
            abandoned_.insert(requestPath);
            bus.send(QDBusMessage::createMethodCall(kService, requestPath, kRequest,
                                                    QStringLiteral("Close")));
        }
    }
    awaited_.clear();
    return result;
}

void DBusScreenshotPortal::stopListening(const QString& requestPath) {
    QDBusConnection::sessionBus().disconnect(kService, requestPath, kRequest, kResponse, this,
                                             SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
}

void DBusScreenshotPortal::onResponse(uint response, const QVariantMap& results,
                                      const QDBusMessage& message) {
    const PortalAnswer answer =
        AnswerOfResponse(response, results.value(QStringLiteral("uri")).toString());
    if (message.path() == awaited_) {
        answered_ = true;
        answer_ = answer;
    } else if (abandoned_.remove(message.path())) {
        if (answer.kind == PortalAnswer::Kind::Saved) QFile::remove(answer.file);
        stopListening(message.path());
    }
}

WaylandScreenGrabber::WaylandScreenGrabber(ScreenshotPortal& portal, ScreenGrabber* compositorGrab,
                                           Files files)
    : portal_(portal), compositorGrab_(compositorGrab), files_(std::move(files)) {}

PortalAnswer WaylandScreenGrabber::request(int timeoutMs, QImage* shot) {
    const QString pictures = files_.picturesFolder ? files_.picturesFolder() : QString();
    const bool madeFolder =
        !pictures.isEmpty() && !QDir(pictures).exists() && QDir().mkpath(pictures);
    const PortalAnswer answer = portal_.requestScreenshot(timeoutMs);
    if (answer.kind == PortalAnswer::Kind::Saved) {
        if (shot) *shot = files_.read ? files_.read(answer.file) : QImage();
        // The file was written for us alone; the user never asked to keep it.
        if (files_.remove) (void)files_.remove(answer.file);
    }
    // Only an empty folder goes.
    if (madeFolder) (void)QDir().rmdir(pictures);
    return answer;
}

QImage WaylandScreenGrabber::grabDesktop() {
    QImage shot;
    switch (request(kPortalShotMs, &shot).kind) {
        case PortalAnswer::Kind::Saved:
            return shot.isNull() ? QImage() : shot.convertToFormat(QImage::Format_RGB32);
        case PortalAnswer::Kind::NoService:
            return compositorGrab_ ? compositorGrab_->grabDesktop() : QImage();
        case PortalAnswer::Kind::Refused:
        case PortalAnswer::Kind::Failed:
        case PortalAnswer::Kind::TimedOut:
            break;
    }
    return {};
}

bool WaylandScreenGrabber::wouldAsk() {
    return portal_.present() && question_.wouldAsk(portal_.storedPermission());
}

GrabPermission WaylandScreenGrabber::askPermission() {
    if (!wouldAsk()) return {};
    // The question is the portal's own, asked before a screenshot it then takes: the
    // screenshot is the question, and its picture (with our window in it) is thrown away.
    const PortalAnswer::Kind answer = request(kPortalQuestionMs, nullptr).kind;
    const StoredPermission after = portal_.storedPermission();
    question_.answered(answer == PortalAnswer::Kind::Saved, after);
    switch (answer) {
        case PortalAnswer::Kind::Saved:
        case PortalAnswer::Kind::NoService:  // no portal: the compositor's grab follows
            return {};
        case PortalAnswer::Kind::TimedOut:
            return {false, QStringLiteral("the desktop's question about screenshots was not "
                                          "answered within %1 s")
                               .arg(kPortalQuestionMs / 1000)};
        case PortalAnswer::Kind::Refused:
        case PortalAnswer::Kind::Failed:
            break;
    }
    // A refused question leaves a standing refusal in the store.
    return {false, after == StoredPermission::No
                       ? QStringLiteral("the desktop does not allow this program to take "
                                        "screenshots (its privacy settings can change that)")
                       : QStringLiteral("the desktop gave no screenshot")};
}

WaylandScreenGrabber::Files DiskFiles() {
    return {[](const QString& path) { return QImage(path); },
            [](const QString& path) { return QFile::remove(path); },
            [] { return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation); }};
}

}  // namespace trimlet
