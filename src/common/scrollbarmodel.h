#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace trimlet {

// The numbers of one scroll bar: 16-bit Min, Max, Value, SmallChange, LargeChange.
// Max may lie below Min; Value is always kept between the two, in either order.
// The change handler runs synchronously whenever Value really changes, whether the
// user or the program changed it; subscribers (a widget that shows the bar) hear of
// Value changes after it, and of changes of the range and the steps.
class ScrollBarModel {
public:
    using Listener = std::function<void()>;
    using SubscriptionId = int;

    std::int16_t min() const { return min_; }
    std::int16_t max() const { return max_; }
    std::int16_t value() const { return value_; }
    std::int16_t smallChange() const { return smallChange_; }
    std::int16_t largeChange() const { return largeChange_; }
    // The bar can be moved only when its range holds more than one value: a picture
    // that fits the viewport (Max at or below Min), or is one pixel larger (Max = Min),
    // has nothing to scroll.
    bool enabled() const { return max_ > min_; }

    // Value is moved to the nearer end of the new range when it falls outside.
    void setMin(std::int16_t min);
    void setMax(std::int16_t max);
    // Clamped into the range; a value equal to the current one changes nothing.
    void setValue(int value);
    void setSmallChange(std::int16_t step);
    void setLargeChange(std::int16_t step);

    // The lower and upper end of the range, whichever of Min and Max they are.
    std::int16_t low() const { return min_ < max_ ? min_ : max_; }
    std::int16_t high() const { return min_ < max_ ? max_ : min_; }

    // The owner's handler of Value changes (the view's HS_Change / VS_Change).
    void setChangeHandler(Listener handler) { onChange_ = std::move(handler); }
    // onValue runs after each real change of Value, onRange after each real change of
    // Min, Max, SmallChange or LargeChange (a Value pulled into a new range is heard
    // first). Either may be empty. Listeners must not subscribe or unsubscribe.
    [[nodiscard]] SubscriptionId subscribe(Listener onValue, Listener onRange);
    void unsubscribe(SubscriptionId id);

private:
    struct Subscriber {
        SubscriptionId id;
        Listener onValue;
        Listener onRange;
    };
    void setRangeNumber(std::int16_t& number, std::int16_t to);

    std::int16_t min_ = 1;
    std::int16_t max_ = 1;
    std::int16_t value_ = 1;
    std::int16_t smallChange_ = 1;
    std::int16_t largeChange_ = 1;
    Listener onChange_;
    std::vector<Subscriber> subscribers_;
    SubscriptionId nextId_ = 1;
};

}  // namespace trimlet
