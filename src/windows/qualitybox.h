#pragma once

class QComboBox;
class QWidget;

namespace trimlet {

// The JPEG quality box as the main window has it (and the help window shows a copy of
// it): editable, the list "10" .. "100", the text "60".
QComboBox* MakeQualityBox(QWidget* parent);

}  // namespace trimlet
