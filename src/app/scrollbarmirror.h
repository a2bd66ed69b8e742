#pragma once

#include <QObject>

class QScrollBar;

namespace trimlet {

class ScrollBarModel;

// Keeps a QScrollBar showing a ScrollBarModel and feeds the user's moves back into the
// model. A QScrollBar cannot have its maximum below its minimum, so a bar whose Max is
// at or below Min shows the single value it holds, disabled.
class ScrollBarMirror final : public QObject {
    Q_OBJECT
public:
    ScrollBarMirror(ScrollBarModel& model, QScrollBar& bar, QObject* parent = nullptr);

    // Copies the model's numbers into the bar.
    void sync();

private:
    ScrollBarModel& model_;
    QScrollBar& bar_;
    bool syncing_ = false;
};

}  // namespace trimlet
