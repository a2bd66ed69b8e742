#include "app/scrollbarmirror.h"

#include <QScrollBar>

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

}  // namespace trimlet
