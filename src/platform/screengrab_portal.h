#pragma once

#include <QObject>
#include <QVariantMap>

#include "platform/screengrab.h"

namespace trimlet {

// Wayland compositors do not let a client read the screen; the desktop portal's
// Screenshot interface (over D-Bus) does it for us when a portal is running.
class PortalScreenGrabber final : public QObject, public ScreenGrabber {
    Q_OBJECT
public:
    // True when the session bus has a portal offering Screenshot.
    static bool available();
    QImage grabDesktop() override;

private slots:
    void onResponse(uint response, const QVariantMap& results);

private:
    bool answered_ = false;
    QString uri_;
};

}  // namespace trimlet
