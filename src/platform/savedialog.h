#pragma once

#include <QString>
#include <optional>

namespace trimlet {

// The platform's save-file dialog: one filter, an initial file name, the question
// before an existing file is replaced, and the folder it opens in (empty: the
// platform's choice). Empty when the user cancels.
class SaveFileDialog {
public:
    virtual ~SaveFileDialog() = default;
    [[nodiscard]] virtual std::optional<QString> askFileName(const QString& filter,
                                                             const QString& initialName,
                                                             const QString& folder) = 0;
};

}  // namespace trimlet
