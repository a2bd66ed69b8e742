#pragma once

#include "windows/auxwindow.h"

class QLabel;

namespace trimlet {

class UrlOpener;

// The program's name, version and icon, and a link to its web page. Closed by its
// close box. Built afresh at each opening.
class frmVersion final : public AuxWindow {
    Q_OBJECT
public:
    // opener hands the web page to the browser; it may be null (the link does nothing).
    explicit frmVersion(UrlOpener* opener, QWidget* parent = nullptr);

    // Sets the version text.
    void Form_Load();
    // Opens the web page; the window stays open.
    void lblSite_Click();

    QLabel* Picture1() const { return picture1_; }
    QLabel* lblVersion() const { return lblVersion_; }
    QLabel* lblSite() const { return lblSite_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    UrlOpener* opener_;
    QLabel* picture1_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblSite_ = nullptr;
};

// "トリムレット ver 1.1.0"
[[nodiscard]] QString VersionText(int major, int minor, int revision);

}  // namespace trimlet
