#pragma once

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <QWindow>
#include <optional>
#include <string>

#include "selection/loupe.h"
#include "selection/selection.h"

namespace trimlet {

// What the image box reports of the user's pointer and keys, in the program's own
// codes (selection/inputcodes.h).
class ImageBoxListener {
public:
    virtual ~ImageBoxListener() = default;
    virtual void picCropImg_MouseDown(int button, int shift, float x, float y) = 0;
    virtual void picCropImg_MouseMove(int buttons, int shift, float x, float y) = 0;
    virtual void picCropImg_MouseUp(int button, int shift, float x, float y) = 0;
    virtual void picCropImg_DblClick() = 0;
    virtual void picCropImg_KeyDown(int keyCode, int shift) = 0;
};

// The grey viewport with the picture in it at one device pixel per picture pixel,
// whatever the screen's scale, and the selection highlighted: every colour component
// of the selected block XOR-ed with 192, 255, 255.
//
// Everything the view measures is in device pixels: the picture's position (the image
// box, moved to scroll), the highlight and the pointer positions handed on. The widget
// itself has a logical size like every other control. The device pixels it owns are
// the whole ones inside it (at a fractional ratio its edges can cut a device pixel in
// two; such a pixel shows the grey); device column 0 of the view is the first of them.
// Painting maps the view's device pixels onto the backing store by a translation only,
// so the picture is never scaled or filtered.
class ImageBox final : public QWidget {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    void setListener(ImageBoxListener* listener) { listener_ = listener; }
    // Shows a picture (shared, not copied).
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    // Moves the image box: the picture's top-left pixel goes to this device pixel of
    // the view (0, 0 or negative when scrolled). What stays in view is moved on the
    // window rather than repainted where the scale allows.
    void setImagePos(QPoint devicePos);
    QPoint imagePos() const { return imagePos_; }
    // Moves the highlight (image-box pixels), repainting only what it covered and what
    // it covers now.
    void setHighlight(const PixelRect& block);
    const PixelRect& highlight() const { return highlight_; }
    // Shows the loupe over the view (none: hidden), repainting what it covered and what
    // it covers now.
    void setLoupe(std::optional<LoupeFrame> loupe);
    const std::optional<LoupeFrame>& loupe() const { return loupe_; }
    // The size of the loupe's caption text in device pixels (the same at every scale, as
    // the loupe's pixels are).
    QSize loupeTextSize(const std::string& text) const;
    // A drag started from the view took the pointer: the press no longer holds it.
    void releasePointer() { captured_ = false; }

    // The view's device pixels: where on the window's backing store the first one lies,
    // and how many there are.
    QRect deviceArea() const;
    // A pointer position in the widget's logical units as an image-box position in
    // device pixels.
    QPointF toImageBox(QPointF logical) const;

    // The pixels whose colour changes when the highlight moves from one block to the
    // other (either may be empty).
    static QRegion highlightChange(const QRect& before, const QRect& after);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The widget's top-left corner in its window's logical units.
    [[nodiscard]] QPoint windowOrigin() const;
    // A block of the view's device pixels as the logical rectangle that covers it.
    QRect logicalCover(const QRect& deviceRect) const;
    [[nodiscard]] bool onPicture(QPointF imageBoxPos) const;
    void paintLoupe(QPainter& painter, const LoupeFrame& loupe) const;
    [[nodiscard]] QFont loupeFont() const;
    // The event's position in the widget's logical units, to the device pixel: Qt hands
    // a child widget its pointer positions rounded to whole logical units (at 200 % only
    // every second device pixel), so the position the window itself received is used
    // when this event is the one it received.
    [[nodiscard]] QPointF exactPosition(const QMouseEvent* event) const;
    void watchWindow();
    // Hands a pointer event at image-box position p to the listener.
    void notify(const QMouseEvent* event, QPointF p,
                void (ImageBoxListener::*handler)(int, int, float, float), int buttonCode);

    QImage picture_;
    QPoint imagePos_{0, 0};
    PixelRect highlight_{0, 0, 0, 0};
    bool highlightShown_ = false;
    std::optional<LoupeFrame> loupe_;
    struct LoupeFont {
        QFont base;          // the widget's font it was made from
        std::string widest;  // the widest caption it fits
        QFont font;
    };
    mutable std::optional<LoupeFont> loupeFont_;
    bool captured_ = false;  // a press on the picture holds the pointer
    ImageBoxListener* listener_ = nullptr;
    // The last pointer event of the top-level window, as the window received it.
    QPointer<QWindow> watchedWindow_;
    struct WindowPointer {
        QEvent::Type type = QEvent::None;
        quint64 timestamp = 0;
        QPointF position;  // in the window's logical units, unrounded
    };
    std::optional<WindowPointer> windowPointer_;
};

// The highlight: every colour component of the selected block XOR-ed with red 192,
// green 255, blue 255.
inline constexpr QRgb kHighlightXor = 0x00C0FFFF;

// Codes used by the listener (see selection/inputcodes.h), from Qt's.
int ButtonCode(Qt::MouseButton button);
int ButtonsCode(Qt::MouseButtons buttons);
int ShiftCode(Qt::KeyboardModifiers modifiers);
int KeyCodeFor(int qtKey);

}  // namespace trimlet
