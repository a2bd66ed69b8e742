// The pointer and key handlers of the selection editor.
//
// Positions arrive in image-box pixels with the first column and row 0 and enter the
// selection unchanged; the clamps keep corners between 1 and the picture's size. The
// view is scrolled only by setting a scroll bar value, whose change handler moves the
// image box at once, so every later test in the same handler sees the new position.
#include <algorithm>
#include <cstdint>

#include "common/numtext.h"
#include "selection/selectioneditor.h"

namespace trimlet {
namespace {

using Wide = std::int64_t;

std::int32_t Narrow(Wide v) { return ClampToInt32(v); }

std::int32_t Round(double v) { return RoundClampInt32(v); }

// A scroll value computed in wide integers, handed to the bar (which clamps it). A
// disabled bar belongs to a picture that fits the viewport: it stays where it is, so
// the picture keeps to the viewport's top-left corner (its range runs from below 1 to
// 1, and any other value would push the picture away from the corner).
void SetScroll(ScrollBarModel& bar, Wide value) {
    if (!bar.enabled()) return;
    bar.setValue(ClampToInt32(value));
}

// Keeps a moved corner so that the block [corner, corner + extent] lies inside
// 1..size: pulled back from the far edge while the corner is at 1 or beyond, raised to
// 1 otherwise.
void ClampCorner(std::int32_t& corner, std::int32_t extent, std::int32_t size) {
    if (corner >= 1) {
        if (Wide{size} < Wide{corner} + extent) corner = Narrow(Wide{size} - extent);
    } else {
        corner = 1;
    }
}

// Keeps a size at 0 or more with its far edge at most at the picture's edge.
void ClampExtent(std::int32_t& extent, std::int32_t corner, std::int32_t size) {
    if (extent < 0) {
        extent = 0;
    } else if (Wide{size} < Wide{corner} + extent) {
        extent = Narrow(Wide{size} - corner);
    }
}

// One axis of the right-drag follow: the moved block [first, first + extent] is
// brought back into view when the pointer moved towards the edge it passed.
void FollowMovedBlock(float motion, std::int32_t first, std::int32_t extent,
                      std::int32_t viewportSize, std::int32_t imagePos, ScrollBarModel& bar) {
    const Wide last = Wide{first} + extent;
    if (motion > 0) {
        if (Wide{viewportSize} - imagePos < last && bar.value() < bar.max())
            SetScroll(bar, std::min<Wide>(last - viewportSize, bar.max()));
    } else if (motion < 0) {
        if (-Wide{imagePos} >= first && bar.value() > bar.min())
            SetScroll(bar, std::max<Wide>(Wide{first} - 1, bar.min()));
    }
}

// One axis of the left-drag follow: one pixel towards a pointer outside the view.
void FollowPointer(double pos, std::int32_t viewportSize, std::int32_t imagePos,
                   ScrollBarModel& bar) {
    if (static_cast<double>(Wide{viewportSize} - imagePos) < pos && bar.value() < bar.max())
        SetScroll(bar, Wide{bar.value()} + 1);
    else if (static_cast<double>(-Wide{imagePos}) > pos && bar.value() > bar.min())
        SetScroll(bar, Wide{bar.value()} - 1);
}

// One axis of the rubber band between the fixed anchor and the pointer.
void Stretch(double pos, std::int32_t anchor, std::int32_t& first, std::int32_t& extent) {
    if (pos > anchor) {
        first = anchor;
        extent = Round(pos - anchor);
    } else {
        first = Round(pos);
        extent = Round(anchor - pos);
    }
}

// One axis of the follow after a whole new selection: the near edge when it is out of
// view on its side, otherwise the far edge when that is.
void FollowBlock(std::int32_t first, std::int32_t extent, std::int32_t viewportSize,
                 std::int32_t imagePos, ScrollBarModel& bar) {
    if (-Wide{imagePos} >= first)
        SetScroll(bar, std::max<Wide>(Wide{first} - 1, bar.min()));
    else if (Wide{viewportSize} - imagePos < Wide{first} + extent)
        SetScroll(bar, std::min<Wide>(Wide{first} + extent - viewportSize, bar.max()));
}

}  // namespace

void SelectionEditor::select(const Selection& selection) {
    sel_ = selection;
    FollowBlock(sel_.selTop, sel_.selDY, view_.viewportHeight, view_.imageTop(), view_.vs);
    FollowBlock(sel_.selLeft, sel_.selDX, view_.viewportWidth, view_.imageLeft(), view_.hs);
    showSelection_();
}

bool SelectionEditor::swallowEvent() {
    if (!skipMouseEvent_) return false;
    skipMouseEvent_ = false;
    return true;
}

void SelectionEditor::mouseDown(int button, int /*shift*/, float x, float y) {
    if (swallowEvent()) return;
    if (button == kLeftButton) {
        // A new rubber band starts at the press point, unclamped.
        moveMode_ = false;
        sel_.anchorX = sel_.selLeft = Round(x);
        sel_.anchorY = sel_.selTop = Round(y);
        sel_.selDX = sel_.selDY = 0;
        showSelection_();
    } else if (button == kRightButton) {
        const double left = sel_.selLeft, top = sel_.selTop;
        if (sel_.containsPointer(x, y)) {
            lastMoveX_ = x;
            lastMoveY_ = y;
            // The anchor holds the offset from the pointer to the top-left corner.
            sel_.anchorX = Round(left - x);
            sel_.anchorY = Round(top - y);
            moveMode_ = true;
        } else {
            moveMode_ = false;
        }
    }
}

void SelectionEditor::mouseMove(int buttons, int /*shift*/, float x, float y) {
    if (swallowEvent()) return;
    if (buttons == kRightButton) {
        if (!moveMode_) return;
        sel_.selLeft = Round(static_cast<double>(x) + sel_.anchorX);
        sel_.selTop = Round(static_cast<double>(y) + sel_.anchorY);
        ClampCorner(sel_.selLeft, sel_.selDX, view_.imageWidth);
        ClampCorner(sel_.selTop, sel_.selDY, view_.imageHeight);
        // Follow only in the direction the pointer itself went since the last event.
        const float dy = y - lastMoveY_;
        FollowMovedBlock(dy, sel_.selTop, sel_.selDY, view_.viewportHeight, view_.imageTop(),
                         view_.vs);
        const float dx = x - lastMoveX_;
        FollowMovedBlock(dx, sel_.selLeft, sel_.selDX, view_.viewportWidth, view_.imageLeft(),
                         view_.hs);
        showSelection_();
        lastMoveX_ = x;
        lastMoveY_ = y;
    } else if (buttons == kLeftButton) {
        double px = x, py = y;
        if (px > view_.imageWidth) px = view_.imageWidth;
        if (px < 1) px = 1;
        if (py > view_.imageHeight) py = view_.imageHeight;
        if (py < 1) py = 1;
        // A picture narrower than the viewport never scrolls during a drag.
        if (view_.imageWidth >= view_.viewportWidth) {
            FollowPointer(px, view_.viewportWidth, view_.imageLeft(), view_.hs);
            FollowPointer(py, view_.viewportHeight, view_.imageTop(), view_.vs);
        }
        Stretch(px, sel_.anchorX, sel_.selLeft, sel_.selDX);
        Stretch(py, sel_.anchorY, sel_.selTop, sel_.selDY);
        showSelection_();
    }
}

void SelectionEditor::mouseUp(int button, int /*shift*/, float x, float y) {
    if (swallowEvent()) return;
    if (button == kLeftButton) {
        double px = x, py = y;
        if (px < 1)
            px = 1;
        else if (px > view_.imageWidth)
            px = view_.imageWidth;
        if (py < 1)
            py = 1;
        else if (py > view_.imageHeight)
            py = view_.imageHeight;
        // The anchor becomes the top-left corner; nothing is redrawn.
        if (!moveMode_) {
            if (px < sel_.anchorX) sel_.anchorX = Round(px);
            if (py < sel_.anchorY) sel_.anchorY = Round(py);
        }
    } else if (moveMode_) {
        sel_.anchorX = sel_.selLeft;
        sel_.anchorY = sel_.selTop;
    }
}

void SelectionEditor::keyDown(int keyCode, int shift) {
    const Wide s = (shift & kShiftBit) ? 10 : 1;
    const bool follow = (shift & kAltBit) != 0;
    const bool resize = (shift & kCtrlBit) != 0;
    if (keyCode != kKeyLeft && keyCode != kKeyUp && keyCode != kKeyRight && keyCode != kKeyDown)
        return;

    std::int32_t& ax = sel_.anchorX;
    std::int32_t& ay = sel_.anchorY;
    std::int32_t& dx = sel_.selDX;
    std::int32_t& dy = sel_.selDY;
    const Wide visibleTop = -Wide{view_.imageTop()};
    const Wide visibleBottom = Wide{view_.viewportHeight} - view_.imageTop();
    const Wide visibleLeft = -Wide{view_.imageLeft()};
    const Wide visibleRight = Wide{view_.viewportWidth} - view_.imageLeft();
    // The scroll value that puts the bottom (right) edge at the viewport's far edge.
    const auto bottomTarget = [&] { return Wide{ay} + dy - view_.viewportHeight; };
    const auto rightTarget = [&] { return Wide{ax} + dx - view_.viewportWidth; };
    ScrollBarModel& vs = view_.vs;
    ScrollBarModel& hs = view_.hs;

    if (!resize) {
        switch (keyCode) {
            case kKeyUp:
                ay = Narrow(ay - s);
                if (follow && visibleTop >= ay)
                    SetScroll(vs, std::max<Wide>(ay - Wide{1}, vs.min()));
                break;
            case kKeyDown:
                ay = Narrow(ay + s);
                if (follow && visibleBottom < Wide{ay} + dy)
                    SetScroll(vs, std::min<Wide>(bottomTarget(), vs.max()));
                break;
            case kKeyLeft:
                ax = Narrow(ax - s);
                if (follow && visibleLeft >= ax)
                    SetScroll(hs, std::max<Wide>(ax - Wide{1}, hs.min()));
                break;
            case kKeyRight:
                ax = Narrow(ax + s);
                if (follow && visibleRight < Wide{ax} + dx)
                    SetScroll(hs, std::min<Wide>(rightTarget(), hs.max()));
                break;
        }
        ClampCorner(ay, dy, view_.imageHeight);
        ClampCorner(ax, dx, view_.imageWidth);
    } else {
        // Ctrl moves the right or bottom edge; shrinking follows only when the top
        // (left) edge itself is out of view, and then shows the far edge.
        switch (keyCode) {
            case kKeyUp:
                dy = Narrow(dy - s);
                if (follow && visibleTop > ay)
                    SetScroll(vs, std::max<Wide>(bottomTarget(), vs.min()));
                break;
            case kKeyDown:
                dy = Narrow(dy + s);
                if (follow && visibleBottom < Wide{ay} + dy)
                    SetScroll(vs, std::min<Wide>(bottomTarget(), vs.max()));
                break;
            case kKeyLeft:
                dx = Narrow(dx - s);
                if (follow && visibleLeft > ax)
                    SetScroll(hs, std::max<Wide>(rightTarget(), hs.min()));
                break;
            case kKeyRight:
                dx = Narrow(dx + s);
                if (follow && visibleRight < Wide{ax} + dx)
                    SetScroll(hs, std::min<Wide>(rightTarget(), hs.max()));
                break;
        }
        ClampExtent(dy, ay, view_.imageHeight);
        ClampExtent(dx, ax, view_.imageWidth);
    }
    sel_.selLeft = ax;
    sel_.selTop = ay;
    showSelection_();
}

}  // namespace trimlet
