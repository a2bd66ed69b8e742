#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <optional>

#include "settings/windowplacement.h"

namespace trimlet {

// Every decision about the main window's place, size and start-up, in one plain class.
// The widget layer tells it what happened to the window (WindowFacts at each event), and
// applies the WindowCommand it answers. Window managers finish some changes a moment
// after they begin them; those decisions wait for the window manager to settle: until
// no event has come for kSettleQuietMs, and never longer than kSettleLongestMs after
// the first of them. One timer serves them all (settleDue()).

// The smallest outer size the main window may be dragged to, in pixels: wide enough for
// the whole button strip (its right-most button ends at 391) inside a thin frame.
inline constexpr int kMinTrackWidth = 400;
inline constexpr int kMinTrackHeight = 240;

inline constexpr std::int64_t kSettleQuietMs = 150;
inline constexpr std::int64_t kSettleLongestMs = 600;

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

// The window as the window system shows it at one moment, in pixels.
struct WindowFacts {
    bool visible = false;
    WindowShowState state = WindowShowState::Normal;  // full screen counts as maximised
    QRect frame;     // the outer rectangle
    QMargins border; // the frame's widths around the inside; null before it is framed
    QSize screen;    // the screen's size; empty when there is none
    QSize workArea;  // the screen's size less panels
    QSize inside() const { return frame.marginsRemoved(border).size(); }
};

// What the widget layer does with the window, in this order.
struct WindowCommand {
    // The inside sizes to give the window system as the window's least and largest.
    std::optional<SizeLimits> limits;
    std::optional<QRect> insideGeometry;  // setGeometry
    std::optional<QSize> resizeInside;    // resize
    std::optional<QPoint> moveFrameTo;    // move
    // The window's rectangle is its normal one now: the settings remember it (a window
    // that is not normal by then is not remembered).
    bool rememberNormal = false;
    friend bool operator==(const WindowCommand&, const WindowCommand&) = default;
};

// MinimumChanged: setMinimumOuter() was called.
enum class WindowEvent { Shown, Moved, Resized, StateChanged, MinimumChanged };

class WindowSession {
public:
    // --- placement and size --------------------------------------------------------------
    // The outer rectangle the settings ask for before the window system has framed the
    // window. It stands for the window while hidden, and is applied exactly, once, as soon
    // as the window is shown normal with its frame known: at once after start-up, a
    // moment after a window that started maximised is first restored (its normal frame
    // comes after its state).
    void requestOuter(const QRect& outer) { requested_ = outer; }
    const std::optional<QRect>& requestedOuter() const { return requested_; }

    // The least outer size (0 x 0 until set).
    void setMinimumOuter(QSize size) { minimumOuter_ = size; }
    QSize minimumOuter() const { return minimumOuter_; }

    // The limits for the window as it is: the minimum outside, at most the screen.
    SizeLimits limitsFor(const WindowFacts& facts) const;

    // A show, move, resize or state change of the window, or a new minimum.
    [[nodiscard]] WindowCommand changed(WindowEvent event, const WindowFacts& facts,
                                        std::int64_t nowMs);
    // When the widget layer should call settled(); empty while nothing waits.
    std::optional<std::int64_t> settleDue() const;
    // The window manager has had its moment: the decisions that waited for it.
    [[nodiscard]] WindowCommand settled(const WindowFacts& facts, std::int64_t nowMs);

    // --- a capture takes the window off the screen ----------------------------------------
    // Where a normal window's frame was is kept (where the window system tells positions).
    void hiding(const WindowFacts& facts, bool positionKnown);
    // Where to put the frame before it is mapped again; once settled, a window that the
    // window manager still put elsewhere is moved back there.
    [[nodiscard]] std::optional<QPoint> showing(std::int64_t nowMs);

    // --- start-up ---------------------------------------------------------------------------
    // Start-up's clipboard steps run either at once (the window is shown later, or after
    // showAfterMs of a long read) or, where only a focused window may use the clipboard,
    // once the shown window is active and has been handed the clipboard, or when the wait
    // for that is over.
    void startupBegan(std::int64_t nowMs, bool waitsForFocus);
    void startupReadRunning(bool running) { readRunning_ = running; }
    // Whether a start-up read that is still waiting shows the window now.
    bool showWhileWaiting(bool visible, std::int64_t nowMs, std::int64_t showAfterMs) const;
    void clipboardHandedOver() { handedOver_ = true; }
    // Whether the deferred start-up load may run now (the window active, the clipboard ours).
    bool startupLoadReady(bool active) const { return loadPending_ && handedOver_ && active; }
    // Takes the deferred start-up load: true once, unless the window is already closing.
    bool takeStartupLoad();
    bool startupLoadPending() const { return loadPending_; }

    // The shutdown sequence runs once: true the first time.
    bool closing();
    bool closed() const { return closed_; }

private:
    void wait(std::optional<std::int64_t>& since, std::int64_t nowMs);

    std::optional<QRect> requested_;
    QSize minimumOuter_;
    bool leftNormal_ = false;  // maximised or minimised since it was shown
    std::optional<QPoint> hiddenAt_;
    // What waits for the window manager to settle.
    bool applyRequested_ = false;
    bool correctOversize_ = false;
    bool rememberNormal_ = false;
    std::optional<QPoint> returnTo_;
    std::optional<std::int64_t> waitingSince_;
    std::int64_t lastEvent_ = 0;

    bool readRunning_ = false;
    std::int64_t startupAt_ = 0;
    bool loadPending_ = false;
    bool handedOver_ = false;
    bool closed_ = false;
};

}  // namespace trimlet
