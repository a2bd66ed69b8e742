#pragma once

#include "windows/auxwindow.h"

class QGroupBox;
class QPushButton;

namespace trimlet {

// The usage help sheet: the main window's buttons beside what they do, the mouse and
// key operations, and drag-and-drop. The copies of the main window's controls do
// nothing; "とじる" or Escape closes the window. Built afresh at each opening.
// Every control carries its name as object name ("frButton", "cmdSave2", "lblJPG").
class frmHelp final : public AuxWindow {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);

    void cmdClose_Click() { reject(); }
    QPushButton* cmdClose() const { return cmdClose_; }

private:
    QPushButton* cmdClose_ = nullptr;
};

}  // namespace trimlet
