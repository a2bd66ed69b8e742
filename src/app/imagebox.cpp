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
        case Qt::LeftButton: return 1;
        case Qt::RightButton: return 2;
        case Qt::MiddleButton: return 4;
        default: return 0;
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
        case Qt::Key_Left: return 37;
        case Qt::Key_Up: return 38;
        case Qt::Key_Right: return 39;
        case Qt::Key_Down: return 40;
        default: return 0;
    }
}

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void ImageBox::setPicture(const QImage& picture) {
    picture_ = picture;
    resize(picture_.size());
    update();
}

void ImageBox::setHighlight(const PixelRect& block) {
    const QRect before = highlightShown_ ? ToQRect(highlight_) : QRect();
    highlight_ = block;
    highlightShown_ = true;
    const QRect after = ToQRect(highlight_);
    if (before == after) return;
    // Only the two blocks change; Qt clips each to what is visible.
    const QRect visible = visibleRegion().boundingRect();
    if (!before.isEmpty()) update(before.intersected(visible));
    if (!after.isEmpty()) update(after.intersected(visible));
}

void ImageBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect exposed = event->rect().intersected(rect());
    if (exposed.isEmpty() || picture_.isNull()) return;
    painter.drawImage(exposed.topLeft(), picture_, exposed);
    if (!highlightShown_) return;
    const QRect block = ToQRect(highlight_).intersected(exposed);
    if (block.isEmpty()) return;
    QImage inverted = picture_.copy(block);
    for (int y = 0; y < inverted.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(inverted.scanLine(y));
        for (int x = 0; x < inverted.width(); ++x) line[x] ^= kHighlightXor;
    }
    painter.drawImage(block.topLeft(), inverted);
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
    // The second press of a double click is the double click itself, not a new press.
    if (listener_ && event->button() == Qt::LeftButton) listener_->picCropImg_DblClick();
}

void ImageBox::keyPressEvent(QKeyEvent* event) {
    if (!listener_) return;
    listener_->picCropImg_KeyDown(KeyCodeFor(event->key()), ShiftCode(event->modifiers()));
}

}  // namespace trimlet
