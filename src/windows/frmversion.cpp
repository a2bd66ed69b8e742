#include "windows/frmversion.h"

#include <QLabel>
#include <QMouseEvent>

#include "platform/urlopener.h"
#include "windows/programicon.h"
#include "windows/siteinfo.h"

namespace trimlet {

QString VersionText(int major, int minor, int revision) {
    return QStringLiteral("トリムレット ver %1.%2.%3").arg(major).arg(minor).arg(revision);
}

frmVersion::frmVersion(UrlOpener* opener, QWidget* parent)
    : AuxWindow(parent, QStringLiteral("トリムレット"), Twips(0, 0, 4380, 1110).size()),
      opener_(opener) {
    setObjectName(QStringLiteral("frmVersion"));

    picture1_ = new QLabel(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setPixmap(ProgramPicture());
    picture1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture1_->setGeometry(Twips(240, 120, 495, 495));

    lblVersion_ = new QLabel(QStringLiteral("トリムレット"), this);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));
    lblVersion_->setFont(EmphasisFont(14.25));
    lblVersion_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblVersion_->setGeometry(Twips(840, 240, 3255, 375));

    lblSite_ = new QLabel(QString::fromUtf8(kSiteName), this);
    lblSite_->setObjectName(QStringLiteral("lblSite"));
    QFont link = EmphasisFont(9);
    link.setUnderline(true);
    lblSite_->setFont(link);
    QPalette blue = lblSite_->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblSite_->setPalette(blue);
    lblSite_->setCursor(Qt::PointingHandCursor);
    lblSite_->setToolTip(QString::fromLatin1(kSiteAddress));
    lblSite_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblSite_->setGeometry(Twips(3360, 840, 855, 255));
    lblSite_->installEventFilter(this);

    Form_Load();
}

void frmVersion::Form_Load() {
    lblVersion_->setText(VersionText(kVersionMajor, kVersionMinor, kVersionRevision));
}

void frmVersion::lblSite_Click() {
    if (opener_) opener_->open(QString::fromLatin1(kSiteAddress));
}

bool frmVersion::eventFilter(QObject* watched, QEvent* event) {
    // A click is a left press and release over the link.
    if (watched == lblSite_ && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            lblSite_->rect().contains(mouse->position().toPoint()))
            lblSite_Click();
        return true;
    }
    return AuxWindow::eventFilter(watched, event);
}

}  // namespace trimlet
