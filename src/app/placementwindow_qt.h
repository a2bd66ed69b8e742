#pragma once

#include <QObject>
#include <QRect>
#include <optional>

#include "settings/windowplacement.h"

class QWidget;

namespace trimlet {

// A top-level widget seen as the settings see a window: the outer frame in twips, at
// the screen's logical dots per inch (15 twips per pixel at 96).
//
// Before the window is first shown the window system has not told the size of its
// frame, so the outer rectangle set then is only approximated (as the inside) and is
// what the window reports while hidden. It is applied exactly, once, as soon as the
// window is shown in the normal state with its frame known: at once after start-up, or
// when a window that started maximised is first restored.
class QtPlacementWindow final : public QObject, public PlacementWindow {
public:
    explicit QtPlacementWindow(QWidget* window);

    float left() const override;
    float top() const override;
    float width() const override;
    float height() const override;
    void setLeft(float twips) override;
    void setTop(float twips) override;
    void setWidth(float twips) override;
    void setHeight(float twips) override;
    WindowShowState state() const override;
    void setState(WindowShowState state) override;
    std::vector<QRect> screens() const override;
    QSize minimumSize() const override;
    bool positionKnown() const override;

    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMargins frame() const;
    QRect outer() const;
    QRect& pending();
    void applyPending();

    QWidget* window_;
    // The outer rectangle asked for, in pixels, until it is applied with a known frame.
    std::optional<QRect> pending_;
    bool leftNormal_ = false;  // maximised or minimised since it was shown
    bool applyScheduled_ = false;
};

}  // namespace trimlet
