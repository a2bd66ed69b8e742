#include "windows/auxwindow.h"

#include "windows/programicon.h"

namespace trimlet {

QFont PlainFont() {
    QFont f(QString::fromLatin1(kGothicFamily));
    f.setPointSizeF(9);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    return f;
}

QFont EmphasisFont(double points) {
    QFont f = PlainFont();
    f.setPointSizeF(points);
    f.setWeight(QFont::Bold);
    return f;
}

AuxWindow::AuxWindow(QWidget* parent, const QString& caption, QSize clientSize)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setModal(true);
    setWindowTitle(caption);
    setWindowIcon(ProgramIcon());
    setFont(PlainFont());
    setFixedSize(clientSize);
}

}  // namespace trimlet
