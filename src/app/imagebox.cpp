#include "app/imagebox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace trimlet {
namespace {

constexpr QRgb kHighlightXor = 0x00C0FFFF;  // red 192, green 255, blue 255

QRect ToQRect(const PixelRect& r) { return QRect(r.left, r.top, r.width, r.height); }

}  // namespace

int ButtonCode(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return 1;
        case Qt::RightButton:
            return 2;
        case Qt::MiddleButton:
            return 4;
        default:
            return 0;
    }
}

int ButtonsCode(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

int ShiftCode(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

int KeyCodeFor(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        default:
            return 0;
    }
}

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves without a button reach the handler too (they end the swallow state after
    // a resize), and the right button belongs to the move, never to a context menu.
    setMouseTracking(true);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void ImageBox::setPicture(const QImage& picture) {
    picture_ = picture;
    resize(picture_.size());
    update();
}

QRegion ImageBox::highlightChange(const QRect& before, const QRect& after) {
    // A pixel covered by both blocks is XOR-ed before and after: it keeps its colour.
    // Only the pixels in exactly one of the two blocks change.
    return QRegion(before).xored(QRegion(after));
}

void ImageBox::setHighlight(const PixelRect& block) {
    const QRect before = highlightShown_ ? ToQRect(highlight_) : QRect();
    highlight_ = block;
    highlightShown_ = true;
    const QRect after = ToQRect(highlight_);
    if (before == after) return;
    // Repaint only what changed, and of that only what the viewport shows.
    const QRegion changed = highlightChange(before, after) & visibleRegion();
    if (!changed.isEmpty()) update(changed);
}

void ImageBox::paintEvent(QPaintEvent* event) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    const QRect block = highlightShown_ ? ToQRect(highlight_) : QRect();
    // Each rectangle of the exposed region on its own: a drag exposes two thin strips
    // far apart, and their bounding box may be most of the view.
    for (const QRect& r : event->region()) {
        const QRect exposed = r.intersected(rect());
        if (exposed.isEmpty()) continue;
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(exposed.topLeft(), picture_, exposed);
        const QRect lit = block.intersected(exposed);
        if (lit.isEmpty()) continue;
        // Every colour component XOR-ed with the highlight colour, alpha kept opaque.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(lit, QColor::fromRgb(kHighlightXor));
    }
}

void ImageBox::mousePressEvent(QMouseEvent* event) {
    if (!listener_) return;
    const QPointF p = event->position();
    listener_->picCropImg_MouseDown(ButtonCode(event->button()), ShiftCode(event->modifiers()),
                                    static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void ImageBox::mouseMoveEvent(QMouseEvent* event) {
    if (!listener_) return;
    const QPointF p = event->position();
    listener_->picCropImg_MouseMove(ButtonsCode(event->buttons()), ShiftCode(event->modifiers()),
                                    static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void ImageBox::mouseReleaseEvent(QMouseEvent* event) {
    if (!listener_) return;
    const QPointF p = event->position();
    listener_->picCropImg_MouseUp(ButtonCode(event->button()), ShiftCode(event->modifiers()),
                                  static_cast<float>(p.x()), static_cast<float>(p.y()));
}

void ImageBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second left press of a double click is the double click itself, not a new
    // press; with any other button it is an ordinary press.
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    if (listener_) listener_->picCropImg_DblClick();
}

bool ImageBox::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // The arrows, with any modifiers, are the picture's own keys and never a
        // shortcut. Alt (and Meta) pressed here stays a modifier: taken before the menu
        // bar sees it, so a style with Alt key navigation does not highlight the menu
        // bar or take the focus, and Alt+arrow arrives as a key press with Alt held.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (KeyCodeFor(key) != 0 || key == Qt::Key_Alt || key == Qt::Key_Meta) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void ImageBox::keyPressEvent(QKeyEvent* event) {
    const int code = KeyCodeFor(event->key());
    if (listener_) listener_->picCropImg_KeyDown(code, ShiftCode(event->modifiers()));
    // Only the arrows are used here; every other key goes on to the window.
    if (code == 0) event->ignore();
}

}  // namespace trimlet
