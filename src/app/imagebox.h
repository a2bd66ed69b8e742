#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>

#include "selection/selection.h"

namespace trimlet {

// What the image box reports of the user's pointer and keys, in the program's own
// codes (buttons 1 left, 2 right, 4 middle; shift bits 1 Shift, 2 Ctrl, 4 Alt).
class ImageBoxListener {
public:
    virtual ~ImageBoxListener() = default;
    virtual void picCropImg_MouseDown(int button, int shift, float x, float y) = 0;
    virtual void picCropImg_MouseMove(int buttons, int shift, float x, float y) = 0;
    virtual void picCropImg_MouseUp(int button, int shift, float x, float y) = 0;
    virtual void picCropImg_DblClick() = 0;
    virtual void picCropImg_KeyDown(int keyCode, int shift) = 0;
};

// The picture at one screen pixel per picture pixel, with the selection highlighted:
// every colour component of the selected block XOR-ed with 192, 255, 255. The widget
// has exactly the picture's size and is moved inside the viewport to scroll.
class ImageBox final : public QWidget {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    void setListener(ImageBoxListener* listener) { listener_ = listener; }
    // Shows a picture (shared, not copied) and takes its size.
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    // Moves the highlight, repainting only what it covered and what it covers now.
    void setHighlight(const PixelRect& block);
    const PixelRect& highlight() const { return highlight_; }

    QSize sizeHint() const override { return picture_.size(); }

    // The pixels whose colour changes when the highlight moves from one block to the
    // other (either may be empty).
    static QRegion highlightChange(const QRect& before, const QRect& after);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QImage picture_;
    PixelRect highlight_{0, 0, 0, 0};
    bool highlightShown_ = false;
    ImageBoxListener* listener_ = nullptr;
};

// Codes used by the listener, from Qt's.
int ButtonCode(Qt::MouseButton button);
int ButtonsCode(Qt::MouseButtons buttons);
int ShiftCode(Qt::KeyboardModifiers modifiers);
int KeyCodeFor(int qtKey);

}  // namespace trimlet
