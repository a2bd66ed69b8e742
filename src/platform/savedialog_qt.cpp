// The save dialog on QFileDialog.
#include "platform/savedialog_qt.h"

#include <QFileDialog>
#include <QStringList>

namespace trimlet {

QString ToQtNameFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of each entry; a description
        // that already ends with them is used as it stands.
        const QString suffix = QStringLiteral("(") + patterns + QStringLiteral(")");
        filters << (description.endsWith(suffix) ? description
                                                 : description + QStringLiteral(" ") + suffix);
    }
    if (filters.isEmpty() && !filter.isEmpty()) filters << filter;
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> QtSaveFileDialog::askFileName(const QString& filter,
                                                     const QString& initialName,
                                                     const QString& folder) {
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(ToQtNameFilter(filter));
    dialog.setDefaultSuffix(QString());  // a name without extension stays as typed
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front();
}

}  // namespace trimlet
