#pragma once

#include <QObject>
#include <QScrollBar>

#include "common/scrollbarmodel.h"

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

// A scroll bar that, when only its value changes, repaints just where its handle was and
// is: the rest of the bar looks the same at every value. (A plain QScrollBar repaints
// all of itself for every step, which at the view's full width costs more than the view's
// own repaint when a drag scrolls it by one pixel per move.)
class ViewScrollBar final : public QScrollBar {
    Q_OBJECT
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override;

private:
    // The handle's rectangle with the handle at `position`.
    [[nodiscard]] QRect handleAt(int position) const;

    int shownPosition_ = 0;
};

}  // namespace trimlet
