#include "selection/selectioneditor.h"

namespace trimlet {

SelectionEditor::SelectionEditor(Selection& selection, ViewModel& view,
                                 std::function<void()> showSelection)
    : sel_(selection), view_(view), showSelection_(std::move(showSelection)) {}

void SelectionEditor::selectWholePicture() {
    SelectWholePicture(sel_, view_.imageWidth, view_.imageHeight);
    showSelection_();
}

void SelectionEditor::pictureLoaded() {
    moveMode_ = false;
    skipMouseEvent_ = false;
}

// The pointer and key handlers are built in selectioneditor_input.cpp.

}  // namespace trimlet
