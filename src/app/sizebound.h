#pragma once

#include <QMargins>
#include <QObject>
#include <QSize>

class QWidget;

namespace trimlet {

// The smallest outer size the main window may be dragged to, in pixels: wide enough for
// the whole button strip (its right-most button ends at 391) inside a thin frame.
inline constexpr int kMinTrackWidth = 400;
inline constexpr int kMinTrackHeight = 240;

// Sizes of a window's inside (what QWidget::resize takes), in pixels.
struct SizeLimits {
    QSize minimum;
    QSize maximum;
    friend bool operator==(const SizeLimits&, const SizeLimits&) = default;
};

// The inside sizes that keep the outer size (inside plus frame) between minOuter and
// the screen's size. Never negative; the maximum is never below the minimum.
[[nodiscard]] SizeLimits ClientSizeLimits(QSize minOuter, QSize screen, QMargins frame);

// size brought into the limits.
[[nodiscard]] QSize BoundedSize(QSize size, const SizeLimits& limits);

// Bounds the main window's size while the user drags its borders: at least
// minTrackWidth x minTrackHeight outside (0 x 0 until set), at most the screen. Qt
// offers no size query to answer, so the bound is given to the window system as the
// window's minimum and maximum size, recomputed whenever the frame or the screen may
// have changed, and a normal window that still ends up outside it (a window system
// without a window manager applies any size it is asked for) is brought back.
class SizeBound final : public QObject {
public:
    void InstallSizeHook(QWidget* window);
    // Gives the window back the limits it had before.
    void RemoveSizeHook(QWidget* window);

    void setMinTrackSize(int width, int height);
    int minTrackWidth() const { return minTrackWidth_; }
    int minTrackHeight() const { return minTrackHeight_; }

    // The limits for the window as it is now: its frame and its screen.
    SizeLimits limitsFor(const QWidget* window) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();
    void correctOversize();

    QWidget* window_ = nullptr;
    QSize previousMinimum_;
    QSize previousMaximum_;
    int minTrackWidth_ = 0;
    int minTrackHeight_ = 0;
    bool inSizeHook_ = false;
    bool correctionPending_ = false;
};

}  // namespace trimlet
