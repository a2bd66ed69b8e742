#include "selection/selectioneditor.h"

namespace trimlet {

void SelectionEditor::mouseDown(int, int, float, float) {}
void SelectionEditor::mouseMove(int, int, float, float) {}
void SelectionEditor::mouseUp(int, int, float, float) {}
void SelectionEditor::keyDown(int, int) {}

}  // namespace trimlet
