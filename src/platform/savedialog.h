#pragma once

#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace trimlet {

// The platform's save-file dialog: one filter, an initial file name, the question
// before an existing file is replaced, and the folder it opens in (empty: the
// platform's choice). Empty when the user cancels.
class SaveFileDialog {
public:
    virtual ~SaveFileDialog() = default;
    virtual std::optional<QString> askFileName(QWidget* parent, const QString& filter,
                                               const QString& initialName,
                                               const QString& folder) = 0;
};

// Qt's name filter for a filter in "description|pattern" form (pairs may repeat):
// "BMPファイル (*.bmp)|*.bmp" becomes "BMPファイル (*.bmp)".
QString ToQtNameFilter(const QString& filter);

// The save dialog of QFileDialog: no default suffix, so a name typed without an
// extension is used as typed.
std::unique_ptr<SaveFileDialog> CreateSaveFileDialog();

}  // namespace trimlet
