#include "common/scrollbarmodel.h"

#include <algorithm>

namespace trimlet {

void ScrollBarModel::setRangeNumber(std::int16_t& number, std::int16_t to) {
    if (number == to) return;
    number = to;
    setValue(value_);  // into the range, heard before the range itself
    for (const Subscriber& s : subscribers_)
        if (s.onRange) s.onRange();
}

void ScrollBarModel::setMin(std::int16_t min) { setRangeNumber(min_, min); }
void ScrollBarModel::setMax(std::int16_t max) { setRangeNumber(max_, max); }
void ScrollBarModel::setSmallChange(std::int16_t step) { setRangeNumber(smallChange_, step); }
void ScrollBarModel::setLargeChange(std::int16_t step) { setRangeNumber(largeChange_, step); }

void ScrollBarModel::setValue(int value) {
    const auto clamped = static_cast<std::int16_t>(std::clamp<int>(value, low(), high()));
    if (clamped == value_) return;
    value_ = clamped;
    if (onChange_) onChange_();
    for (const Subscriber& s : subscribers_)
        if (s.onValue) s.onValue();
}

ScrollBarModel::SubscriptionId ScrollBarModel::subscribe(Listener onValue, Listener onRange) {
    const SubscriptionId id = nextId_++;
    subscribers_.push_back({id, std::move(onValue), std::move(onRange)});
    return id;
}

void ScrollBarModel::unsubscribe(SubscriptionId id) {
    std::erase_if(subscribers_, [id](const Subscriber& s) { return s.id == id; });
}

}  // namespace trimlet
