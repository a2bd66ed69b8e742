#include "app/scrollbarmirror.h"

#include <QStyle>
#include <QStyleOptionSlider>

namespace trimlet {

ScrollBarMirror::ScrollBarMirror(ScrollBarModel& model, QScrollBar& bar)
    : model_(model),
      bar_(bar),
      subscription_(model.subscribe([this] { sync(); }, [this] { sync(); })) {
    // valueChanged arrives for arrow and trough clicks and live while the thumb is
    // dragged (tracking is on), so the picture follows the thumb.
    connect(&bar_, &QScrollBar::valueChanged, this, [this](int value) {
        if (!syncing_) model_.setValue(value);
    });
    sync();
}

ScrollBarMirror::~ScrollBarMirror() { model_.unsubscribe(subscription_); }

void ScrollBarMirror::sync() {
    syncing_ = true;
    if (model_.max() > model_.min())
        bar_.setRange(model_.min(), model_.max());
    else
        bar_.setRange(model_.value(), model_.value());
    bar_.setSingleStep(model_.smallChange());
    bar_.setPageStep(model_.largeChange());
    bar_.setValue(model_.value());
    bar_.setEnabled(model_.enabled());
    syncing_ = false;
}

QRect ViewScrollBar::handleAt(int position) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.sliderPosition = option.sliderValue = position;
    return style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
}

void ViewScrollBar::sliderChange(SliderChange change) {
    const int before = shownPosition_;
    shownPosition_ = sliderPosition();
    // A style whose bars come and go with scrolling wants to hear of every step.
    if (change != SliderValueChange ||
        style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this)) {
        QScrollBar::sliderChange(change);
        return;
    }
    // Every change since the last paint dirtied the handle before and after it, so the
    // handle the screen shows is among them. (A style may draw the handle's outline just
    // outside its rectangle.)
    const QRect was = handleAt(before), is = handleAt(shownPosition_);
    if (was == is) return;
    constexpr int kOutline = 2;
    update(QRegion(was.adjusted(-kOutline, -kOutline, kOutline, kOutline)) +
           is.adjusted(-kOutline, -kOutline, kOutline, kOutline));
}

}  // namespace trimlet
