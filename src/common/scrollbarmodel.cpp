#include "common/scrollbarmodel.h"

#include <algorithm>

namespace trimlet {

void ScrollBarModel::setMin(std::int16_t min) {
    min_ = min;
    clampValue();
}

void ScrollBarModel::setMax(std::int16_t max) {
    max_ = max;
    clampValue();
}

void ScrollBarModel::setValue(int value) {
    const auto clamped = static_cast<std::int16_t>(std::clamp<int>(value, low(), high()));
    if (clamped == value_) return;
    value_ = clamped;
    if (onChange_) onChange_();
}

void ScrollBarModel::clampValue() { setValue(value_); }

}  // namespace trimlet
