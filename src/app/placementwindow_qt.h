#pragma once

#include <QRect>
#include <functional>

#include "app/windowsession.h"
#include "settings/windowplacement.h"

class QWidget;

namespace trimlet {

// A top-level widget seen as the settings see a window: the outer frame in twips, at
// the screen's logical dots per inch (15 twips per pixel at 96).
//
// Before the window is first shown the window system has not told the size of its
// frame, so the outer rectangle set then is only approximated (as the inside); the
// window's session keeps the rectangle asked for, which the window reports while
// hidden, and applies it exactly once the frame is known.
class QtPlacementWindow final : public PlacementWindow {
public:
    QtPlacementWindow(QWidget* window, WindowSession& session);

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

private:
    QMargins frame() const;
    QRect outer() const;
    // The outer rectangle asked for, in pixels, with one side changed.
    QRect requested(const std::function<void(QRect&)>& change);

    QWidget* window_;
    WindowSession& session_;
};

}  // namespace trimlet
