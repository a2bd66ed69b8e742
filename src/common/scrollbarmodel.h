#pragma once

#include <cstdint>
#include <functional>

namespace trimlet {

// The numbers of one scroll bar: 16-bit Min, Max, Value, SmallChange, LargeChange.
// Max may lie below Min; Value is always kept between the two, in either order.
// The change callback runs synchronously whenever Value really changes, whether the
// user or the program changed it.
class ScrollBarModel {
public:
    using ChangeHandler = std::function<void()>;

    std::int16_t min() const { return min_; }
    std::int16_t max() const { return max_; }
    std::int16_t value() const { return value_; }
    std::int16_t smallChange() const { return smallChange_; }
    std::int16_t largeChange() const { return largeChange_; }
    bool enabled() const { return enabled_; }

    // Value is moved to the nearer end of the new range when it falls outside.
    void setMin(std::int16_t min);
    void setMax(std::int16_t max);
    // Clamped into the range; a value equal to the current one changes nothing.
    void setValue(int value);
    void setSmallChange(std::int16_t step) { smallChange_ = step; }
    void setLargeChange(std::int16_t step) { largeChange_ = step; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // The lower and upper end of the range, whichever of Min and Max they are.
    std::int16_t low() const { return min_ < max_ ? min_ : max_; }
    std::int16_t high() const { return min_ < max_ ? max_ : min_; }

    void setChangeHandler(ChangeHandler handler) { onChange_ = std::move(handler); }

private:
    void clampValue();

    std::int16_t min_ = 1;
    std::int16_t max_ = 1;
    std::int16_t value_ = 1;
    std::int16_t smallChange_ = 1;
    std::int16_t largeChange_ = 1;
    bool enabled_ = false;
    ChangeHandler onChange_;
};

}  // namespace trimlet
