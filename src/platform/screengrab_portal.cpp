#include "platform/screengrab_portal.h"

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

}  // namespace

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

PortalAnswer DBusScreenshotPortal::requestScreenshot() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return {PortalAnswer::Kind::NoService, {}};
    const QDeadlineTimer deadline(timeoutMs_);
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
            // No answer in time: a failure. Ask the portal to drop the request, and remove
            // the file of an answer that still comes.
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

QImage WaylandScreenGrabber::grabDesktop() {
    const QString pictures = files_.picturesFolder ? files_.picturesFolder() : QString();
    const bool madeFolder =
        !pictures.isEmpty() && !QDir(pictures).exists() && QDir().mkpath(pictures);
    const PortalAnswer answer = portal_.requestScreenshot();
    QImage shot;
    if (answer.kind == PortalAnswer::Kind::Saved) {
        shot = files_.read ? files_.read(answer.file) : QImage();
        // The file was written for us alone; the user never asked to keep it.
        if (files_.remove) (void)files_.remove(answer.file);
    }
    // Only an empty folder goes.
    if (madeFolder) (void)QDir().rmdir(pictures);
    switch (answer.kind) {
        case PortalAnswer::Kind::Saved:
            return shot.isNull() ? QImage() : shot.convertToFormat(QImage::Format_RGB32);
        case PortalAnswer::Kind::NoService:
            return compositorGrab_ ? compositorGrab_->grabDesktop() : QImage();
        case PortalAnswer::Kind::Refused:
        case PortalAnswer::Kind::Failed:
            break;
    }
    return {};
}

WaylandScreenGrabber::Files DiskFiles() {
    return {[](const QString& path) { return QImage(path); },
            [](const QString& path) { return QFile::remove(path); },
            [] { return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation); }};
}

}  // namespace trimlet
