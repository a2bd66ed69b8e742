#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace trimlet {

// The platform's save-file dialog: one filter, an initial file name, the question
// before an existing file is replaced. Empty when the user cancels.
class SaveFileDialog {
public:
    virtual ~SaveFileDialog() = default;
    virtual std::optional<QString> askFileName(QWidget* parent, const QString& filter,
                                               const QString& initialName) = 0;
};

}  // namespace trimlet
