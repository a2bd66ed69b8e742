#include "app/imagebox.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

#include "app/layoutview.h"
#include "export/savesequence.h"
#include "selection/inputcodes.h"

namespace trimlet {
namespace {

QRect ToQRect(const PixelRect& r) { return QRect(r.left, r.top, r.width, r.height); }

}  // namespace

int ButtonCode(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return kLeftButton;
        case Qt::RightButton:
            return kRightButton;
        case Qt::MiddleButton:
            return kMiddleButton;
        default:
            return 0;
    }
}

int ButtonsCode(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? kLeftButton : 0) |
           (buttons & Qt::RightButton ? kRightButton : 0) |
           (buttons & Qt::MiddleButton ? kMiddleButton : 0);
}

int ShiftCode(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? kShiftBit : 0) |
           (modifiers & Qt::ControlModifier ? kCtrlBit : 0) |
           (modifiers & Qt::AltModifier ? kAltBit : 0);
}

int KeyCodeFor(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Left:
            return kKeyLeft;
        case Qt::Key_Up:
            return kKeyUp;
        case Qt::Key_Right:
            return kKeyRight;
        case Qt::Key_Down:
            return kKeyDown;
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
    update();
}

void ImageBox::setImagePos(QPoint devicePos) {
    if (devicePos == imagePos_) return;
    const QPoint delta = devicePos - imagePos_;
    imagePos_ = devicePos;
    // The view shows the same picture moved: the window moves the pixels it holds
    // (repaints pending there move with them) and repaints only the strips the move
    // uncovers. That needs a move by whole logical units at a whole-number scale;
    // anything else is repainted.
    const double ratio = devicePixelRatioF();
    const int scale = static_cast<int>(ratio);
    if (scale != ratio || delta.x() % scale != 0 || delta.y() % scale != 0 ||
        std::abs(delta.x()) >= deviceArea().width() ||
        std::abs(delta.y()) >= deviceArea().height()) {
        update();
        return;
    }
    scroll(delta.x() / scale, delta.y() / scale);
    // The loupe stays where it is: the copy of it that moved, and its own place, which
    // the move filled with the picture, are repainted.
    if (loupe_)
        update(QRegion(logicalCover(loupe_->box)) + logicalCover(loupe_->box.translated(delta)));
}

QPoint ImageBox::windowOrigin() const {
    return window() == this ? QPoint(0, 0) : mapTo(window(), QPoint(0, 0));
}

QRect ImageBox::deviceArea() const {
    const double ratio = devicePixelRatioF();
    const QPoint origin = windowOrigin();
    const DeviceSpan x = DeviceSpanOf(origin.x(), width(), ratio);
    const DeviceSpan y = DeviceSpanOf(origin.y(), height(), ratio);
    return QRect(x.first, y.first, x.count, y.count);
}

QPointF ImageBox::toImageBox(QPointF logical) const {
    const double ratio = devicePixelRatioF();
    const QPoint origin = windowOrigin();
    return (QPointF(origin) + logical) * ratio - QPointF(deviceArea().topLeft()) -
           QPointF(imagePos_);
}

QRect ImageBox::logicalCover(const QRect& deviceRect) const {
    const double ratio = devicePixelRatioF();
    const QPoint origin = windowOrigin();
    const QRectF onWindow(QPointF(deviceRect.translated(deviceArea().topLeft()).topLeft()) / ratio,
                          QSizeF(deviceRect.size()) / ratio);
    return onWindow.translated(-QPointF(origin)).toAlignedRect();
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
    const QRect shown = QRect(QPoint(0, 0), deviceArea().size());
    const QRegion changed = highlightChange(before, after).translated(imagePos_) & shown;
    QRegion dirty;
    for (const QRect& r : changed) dirty += logicalCover(r);
    if (!dirty.isEmpty()) update(dirty);
}

void ImageBox::setLoupe(std::optional<LoupeFrame> loupe) {
    QRegion dirty;
    if (loupe_) dirty += logicalCover(loupe_->box);
    loupe_ = std::move(loupe);
    if (loupe_) dirty += logicalCover(loupe_->box);
    if (!dirty.isEmpty()) update(dirty);
}

QFont ImageBox::loupeFont() const {
    // The window's text size taken as device pixels, smaller where the picture's widest
    // caption would not fit under the grid; worked out once per font and picture size.
    const std::string widest = LoupeWidestText(picture_.size());
    if (loupeFont_ && loupeFont_->base == font() && loupeFont_->widest == widest)
        return loupeFont_->font;
    QFont f = font();
    const QString text = QString::fromStdString(widest);
    f.setPixelSize(LoupeTextPixels(QFontInfo(font()).pixelSize(), [&](int size) {
        QFont sized = f;
        sized.setPixelSize(size);
        return QFontMetrics(sized).horizontalAdvance(text);
    }));
    loupeFont_ = LoupeFont{font(), widest, f};
    return f;
}

QSize ImageBox::loupeTextSize(const std::string& text) const {
    const QFontMetrics metrics(loupeFont());
    return {metrics.horizontalAdvance(QString::fromStdString(text)), metrics.height()};
}

// The magnified pixels (each a square block of device pixels), the selection's edges in
// black outside and white inside the block, the centre pixel outlined and the caption.
void ImageBox::paintLoupe(QPainter& painter, const LoupeFrame& loupe) const {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(loupe.box, Qt::black);
    painter.fillRect(loupe.box.adjusted(kLoupeFrame, kLoupeFrame, -kLoupeFrame, -kLoupeFrame),
                     Qt::white);
    for (int r = 0; r < kLoupePixels; ++r)
        for (int c = 0; c < kLoupePixels; ++c)
            painter.fillRect(loupe.pixels.left() + c * kLoupeZoom,
                             loupe.pixels.top() + r * kLoupeZoom, kLoupeZoom, kLoupeZoom,
                             QColor::fromRgb(loupe.colours[std::size_t(r * kLoupePixels + c)]));
    for (const QRect& e : loupe.edgesOutside) painter.fillRect(e, Qt::black);
    for (const QRect& e : loupe.edgesInside) painter.fillRect(e, Qt::white);
    const QRect ring = loupe.centreBlock.adjusted(-1, -1, 1, 1);
    for (const auto& [rect, colour] :
         {std::pair{ring, Qt::black}, {loupe.centreBlock, Qt::white}}) {
        painter.fillRect(rect.left(), rect.top(), rect.width(), 1, colour);
        painter.fillRect(rect.left(), rect.bottom(), rect.width(), 1, colour);
        painter.fillRect(rect.left(), rect.top(), 1, rect.height(), colour);
        painter.fillRect(rect.right(), rect.top(), 1, rect.height(), colour);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setFont(loupeFont());
    painter.setPen(Qt::black);
    painter.drawText(loupe.caption, Qt::AlignCenter, QString::fromStdString(loupe.text));
}

void ImageBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // From here on the painter works in the view's device pixels: the map to the paint
    // device becomes a translation to the first whole device pixel, with no scaling.
    const QTransform toDevice = painter.deviceTransform();
    const QPointF corner = toDevice.map(QPointF(0, 0));
    const QPoint first(DeviceSpanOf(corner.x(), 0, 1).first, DeviceSpanOf(corner.y(), 0, 1).first);
    painter.setWorldTransform(QTransform::fromTranslate(first.x(), first.y()) *
                              toDevice.inverted());
    const QRect view(QPoint(0, 0), deviceArea().size());
    const QRect shown = QRect(imagePos_, picture_.size()) & view;
    const QRect block =
        highlightShown_ ? ToQRect(highlight_).translated(imagePos_) & shown : QRect();
    // The same grey a cut-out shows where it reaches outside the picture.
    const QColor grey = QColor::fromRgb(kOutsideGrey);
    // Each rectangle of the exposed region on its own: a drag exposes two thin strips
    // far apart, and their bounding box may be most of the view.
    // The loupe covers its box entirely: nothing is painted under it.
    const QRegion covered = loupe_ ? QRegion(loupe_->box) : QRegion();
    for (const QRect& r : event->region()) {
        const QRect mapped =
            toDevice.mapRect(QRectF(r)).toAlignedRect().translated(-first.x(), -first.y());
        for (const QRect& exposed : QRegion(mapped).subtracted(covered)) {
            for (const QRect& g : QRegion(exposed).subtracted(QRegion(shown)))
                painter.fillRect(g, grey);
            const QRect part = exposed & shown;
            if (part.isEmpty()) continue;
            painter.drawImage(part.topLeft(), picture_, part.translated(-imagePos_));
            const QRect lit = block & part;
            if (lit.isEmpty()) continue;
            // Every colour component XOR-ed with the highlight colour, alpha kept opaque.
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter.fillRect(lit, QColor::fromRgb(kHighlightXor));
            painter.setCompositionMode(QPainter::CompositionMode_Source);
        }
    }
    // Over the picture, inside the exposed region only (the painter clips to it).
    if (loupe_) paintLoupe(painter, *loupe_);
}

void ImageBox::watchWindow() {
    QWindow* handle = window()->windowHandle();
    if (!handle || handle == watchedWindow_) return;
    if (watchedWindow_) watchedWindow_->removeEventFilter(this);
    watchedWindow_ = handle;
    handle->installEventFilter(this);
}

bool ImageBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove: {
                const auto* mouse = static_cast<const QMouseEvent*>(event);
                windowPointer_ =
                    WindowPointer{event->type(), mouse->timestamp(), mouse->position()};
                break;
            }
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QPointF ImageBox::exactPosition(const QMouseEvent* event) const {
    const QPointF rounded = event->position();
    if (!windowPointer_ || windowPointer_->type != event->type() ||
        windowPointer_->timestamp != event->timestamp())
        return rounded;
    const QPointF exact = windowPointer_->position - QPointF(windowOrigin());
    // The same event, unless Qt's rounding cannot explain the difference.
    const QPointF off = exact - rounded;
    if (std::abs(off.x()) > 1 || std::abs(off.y()) > 1) return rounded;
    return exact;
}

void ImageBox::notify(const QMouseEvent* event, QPointF p,
                      void (ImageBoxListener::*handler)(int, int, float, float), int buttonCode) {
    if (!listener_) return;
    (listener_->*handler)(buttonCode, ShiftCode(event->modifiers()), static_cast<float>(p.x()),
                          static_cast<float>(p.y()));
}

bool ImageBox::onPicture(QPointF imageBoxPos) const {
    return imageBoxPos.x() >= 0 && imageBoxPos.y() >= 0 && imageBoxPos.x() < picture_.width() &&
           imageBoxPos.y() < picture_.height();
}

// The pointer belongs to the image box where the picture is: a press there keeps it
// (moves and the release reach the handlers wherever they happen) until the last
// button is let go. The grey around the picture takes no pointer events.
void ImageBox::mousePressEvent(QMouseEvent* event) {
    const QPointF at = toImageBox(exactPosition(event));
    if (!captured_ && !onPicture(at)) return;
    captured_ = true;
    notify(event, at, &ImageBoxListener::picCropImg_MouseDown, ButtonCode(event->button()));
}

void ImageBox::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = toImageBox(exactPosition(event));
    if (!captured_ && !onPicture(at)) return;
    notify(event, at, &ImageBoxListener::picCropImg_MouseMove, ButtonsCode(event->buttons()));
}

void ImageBox::mouseReleaseEvent(QMouseEvent* event) {
    if (!captured_) return;
    if (event->buttons() == Qt::NoButton) captured_ = false;
    notify(event, toImageBox(exactPosition(event)), &ImageBoxListener::picCropImg_MouseUp,
           ButtonCode(event->button()));
}

void ImageBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second left press of a double click is the double click itself, not a new
    // press; with any other button it is an ordinary press.
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    if (!onPicture(toImageBox(exactPosition(event)))) return;
    captured_ = true;  // its release still belongs to the image box
    if (listener_) listener_->picCropImg_DblClick();
}

bool ImageBox::event(QEvent* event) {
    // The top-level window exists once shown.
    if (event->type() == QEvent::Show) watchWindow();
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
