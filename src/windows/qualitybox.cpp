#include "windows/qualitybox.h"

#include <QComboBox>

namespace trimlet {

QComboBox* MakeQualityBox(QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("cbJpg"));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems({QStringLiteral("10"), QStringLiteral("30"), QStringLiteral("60"),
                   QStringLiteral("70"), QStringLiteral("80"), QStringLiteral("100")});
    box->setCurrentIndex(-1);
    box->setEditText(QStringLiteral("60"));
    return box;
}

}  // namespace trimlet
