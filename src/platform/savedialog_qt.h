#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/savedialog.h"

namespace trimlet {

// Qt's name filter for a filter in "description|pattern" form (pairs may repeat):
// "BMPファイル (*.bmp)|*.bmp" becomes "BMPファイル (*.bmp)".
QString ToQtNameFilter(const QString& filter);

// The save dialog of QFileDialog, modal over its parent window: no default suffix, so a
// name typed without an extension is used as typed.
class QtSaveFileDialog final : public SaveFileDialog {
public:
    // parent: the window the dialog opens over (none: a window of its own).
    explicit QtSaveFileDialog(QWidget* parent = nullptr) : parent_(parent) {}
    // For a window made after its services.
    void setParentWindow(QWidget* parent) { parent_ = parent; }
    std::optional<QString> askFileName(const QString& filter, const QString& initialName,
                                       const QString& folder) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace trimlet
