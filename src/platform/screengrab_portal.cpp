#include "platform/screengrab_portal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QUrl>

namespace trimlet {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
constexpr int kAnswerTimeoutMs = 10000;

}  // namespace

bool PortalScreenGrabber::available() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(kService).value();
}

QImage PortalScreenGrabber::grabDesktop() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return {};
    // The request object's path is known in advance; listen on it before asking, so
    // the answer cannot arrive before we listen.
    const QString token = QStringLiteral("trimlet%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath =
        kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    answered_ = false;
    uri_.clear();
    bus.connect(kService, requestPath, kRequest, QStringLiteral("Response"), this,
                SLOT(onResponse(uint, QVariantMap)));

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kScreenshot, QStringLiteral("Screenshot"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("interactive"), false);
    call << QString() << options;
    const QDBusReply<QDBusObjectPath> reply = bus.call(call);
    QImage shot;
    if (reply.isValid()) {
        QElapsedTimer waited;
        waited.start();
        while (!answered_ && waited.elapsed() < kAnswerTimeoutMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const QUrl url(uri_);
        if (answered_ && url.isLocalFile()) shot.load(url.toLocalFile());
    }
    bus.disconnect(kService, requestPath, kRequest, QStringLiteral("Response"), this,
                   SLOT(onResponse(uint, QVariantMap)));
    return shot.isNull() ? QImage() : shot.convertToFormat(QImage::Format_RGB32);
}

void PortalScreenGrabber::onResponse(uint response, const QVariantMap& results) {
    answered_ = true;
    if (response == 0) uri_ = results.value(QStringLiteral("uri")).toString();
}

}  // namespace trimlet
