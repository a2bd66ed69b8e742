#include "windows/auxwindow.h"

#include <QScreen>
#include <QShowEvent>
#include <QWindow>
#include <algorithm>

#include "platform/windowmanager.h"
#include "windows/programicon.h"
#include "windows/windowframe.h"

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

void AuxWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    // Window managers that heed the Motif hints show the close box alone; openbox gives
    // every dialog a minimise button and keeps that only from a toolbar window (which it
    // frames like a dialog, with its title, and keeps above its main window); KWin lets
    // any dialog that takes the keyboard be minimised and closes no toolbar, and keeps
    // that only from a utility window. The type is read when the window is mapped, which
    // follows this event.
    if (DialogNeedsToolbarTypeForCloseBoxOnly())
        setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);
    else if (DialogNeedsUtilityTypeForCloseBoxOnly())
        setAttribute(Qt::WA_X11NetWmWindowTypeUtility);
    // The toolkit's own placement takes the frame to be all above and left of the
    // window, a title bar too high; place the window by the main window's frame margins
    // instead (the window manager draws the same frame round both).
    QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main || !main->isVisible()) return;
    const QRect outer = main->frameGeometry();
    const QScreen* screen = ScreenOf(main);
    const QRect area = screen ? screen->availableGeometry() : outer;
    setGeometry(QRect(CentredClientPosition(outer, size(), FrameMargins(main), area), size()));
    setAttribute(Qt::WA_Moved, false);  // placed afresh at every opening
}

void AuxWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Some window managers carry out a maximise request (a pager's, or their window
    // menu's) although the fixed size rules it out: the window goes back at once.
    constexpr Qt::WindowStates kLarge = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (event->type() == QEvent::WindowStateChange && (windowState() & kLarge))
        setWindowState(windowState() & ~kLarge);
}

QPoint CentredClientPosition(const QRect& over, QSize client, const QMargins& frame,
                             const QRect& area) {
    const QSize outer = client.grownBy(frame);
    // Twice the centre, so that odd sizes round the same way on both sides.
    int x = (2 * over.left() + over.width() - outer.width()) / 2;
    int y = (2 * over.top() + over.height() - outer.height()) / 2;
    x = std::max(std::min(x, area.left() + area.width() - outer.width()), area.left());
    y = std::max(std::min(y, area.top() + area.height() - outer.height()), area.top());
    return {x + frame.left(), y + frame.top()};
}

}  // namespace trimlet
