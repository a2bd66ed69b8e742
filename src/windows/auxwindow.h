#pragma once

#include <QDialog>
#include <QFont>
#include <QMargins>
#include <QRect>

// What the help and version windows share: their border, fonts, designed geometry and
// their place over the main window.
namespace trimlet {

// The windows are designed in twips at 15 twips per pixel.
[[nodiscard]] constexpr QRect Twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

// The Japanese Gothic the emphasised captions are set in.
inline constexpr char kGothicFamily[] = "IPAPGothic";

// Labels and buttons: the Gothic at 9 points, every property set so that a bold frame
// caption does not pass its weight on to the controls inside the frame.
[[nodiscard]] QFont PlainFont();
// Emphasised captions: the Gothic, bold, at the given size.
[[nodiscard]] QFont EmphasisFont(double points);

// A modal dialog with a fixed border, a close box and no minimise or maximise button,
// the program icon, and a client area of the given size, opened centred over its
// parent's window (kept in the work area).
class AuxWindow : public QDialog {
    Q_OBJECT
public:
    AuxWindow(QWidget* parent, const QString& caption, QSize clientSize);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
};

// Where a window of client size `client` goes so that its frame (margins `frame`, as
// the window manager draws them round the main window) is centred over `over` (the
// main window's frame) and kept inside `area`: the client's top-left corner.
[[nodiscard]] QPoint CentredClientPosition(const QRect& over, QSize client, const QMargins& frame,
                                           const QRect& area);

}  // namespace trimlet
