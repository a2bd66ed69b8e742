#pragma once

#include <functional>

#include "common/viewmodel.h"
#include "selection/inputcodes.h"
#include "selection/selection.h"

namespace trimlet {

// Edits the selection with the pointer and the keyboard. Reads the view's geometry
// and scrolls it only by setting a scroll bar value (whose change handler moves the
// image box at once). Calls showSelection after every change of the selection.
class SelectionEditor {
public:
    SelectionEditor(Selection& selection, ViewModel& view, std::function<void()> showSelection);

    // Pointer handlers; x and y are image-box pixels, the first column and row 0.
    void mouseDown(int button, int shift, float x, float y);
    void mouseMove(int buttons, int shift, float x, float y);
    void mouseUp(int button, int shift, float x, float y);
    // Key handler; keyCode is one of KeyCode for the arrows, anything else is ignored.
    void keyDown(int keyCode, int shift);

    // Puts a whole new selection in place (trimmed, typed or remembered) and scrolls the
    // view as Alt with an arrow key would: to the top (left) edge when it lies at or above
    // (left of) the visible part, else to the bottom (right) edge when that lies below
    // (right of) it.
    void select(const Selection& selection);
    // Selects the whole picture (the double click, and the end of every load).
    void selectWholePicture();
    // A picture was loaded: no move is armed and no pointer event is swallowed.
    void pictureLoaded();
    // The window was resized: the next pointer event on the picture is dropped.
    void viewResized() { skipMouseEvent_ = true; }
    // Start-up clears the right drag's last pointer position.
    void resetLastMove() { lastMoveX_ = lastMoveY_ = 0; }

    bool moveMode() const { return moveMode_; }
    bool skipMouseEvent() const { return skipMouseEvent_; }
    float lastMoveX() const { return lastMoveX_; }
    float lastMoveY() const { return lastMoveY_; }

private:
    // The swallow state after a resize: true (and the state ends) when this pointer
    // event is to be dropped.
    [[nodiscard]] bool swallowEvent();

    Selection& sel_;
    ViewModel& view_;
    std::function<void()> showSelection_;
    bool moveMode_ = false;
    float lastMoveX_ = 0;
    float lastMoveY_ = 0;
    bool skipMouseEvent_ = false;
};

}  // namespace trimlet
