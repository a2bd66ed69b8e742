#pragma once

#include <QObject>

#include "common/scrollbarmodel.h"

class QScrollBar;

namespace trimlet {

// Keeps a QScrollBar showing a ScrollBarModel, following every change of the model's
// value and range, and feeds the user's moves back into the model. A QScrollBar cannot
// have its maximum below its minimum, so a bar whose Max is at or below Min shows the
// single value it holds. The bar is enabled exactly when the model is. The model must
// outlive the mirror.
class ScrollBarMirror final : public QObject {
    Q_OBJECT
public:
    ScrollBarMirror(ScrollBarModel& model, QScrollBar& bar);
    ~ScrollBarMirror() override;

private:
    // Copies the model's numbers into the bar.
    void sync();

    ScrollBarModel& model_;
    QScrollBar& bar_;
    ScrollBarModel::SubscriptionId subscription_;
    bool syncing_ = false;
};

}  // namespace trimlet
