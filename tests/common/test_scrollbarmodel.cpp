#include <gtest/gtest.h>

#include "common/scrollbarmodel.h"
#include "common/viewmodel.h"

namespace trimlet {
namespace {

struct Recorder {
    ScrollBarModel bar;
    std::vector<int> changes;
    Recorder() {
        bar.setChangeHandler([this] { changes.push_back(bar.value()); });
    }
};

TEST(ScrollBarModel, StartsAtTheDesignedValues) {
    ScrollBarModel bar;
    EXPECT_EQ(bar.min(), 1);
    EXPECT_EQ(bar.value(), 1);
    EXPECT_EQ(bar.smallChange(), 1);
}

TEST(ScrollBarModel, ValueIsClampedIntoTheRangeInEitherOrder) {
    struct Case {
        int max;
        int set;
        int expected;
    };
    const Case cases[] = {
        {599, 300, 300}, {599, 599, 599}, {599, 600, 599},  {599, 0, 1},  {599, -40000, 1},
        {0, 5, 1},       {0, 0, 0},       {-100, -50, -50}, {-100, 7, 1}, {-100, -200, -100},
    };
    for (const auto& c : cases) {
        ScrollBarModel bar;
        bar.setMax(static_cast<std::int16_t>(c.max));
        bar.setValue(c.set);
        EXPECT_EQ(bar.value(), c.expected) << "max " << c.max << " set " << c.set;
    }
}

TEST(ScrollBarModel, ChangeRunsOnlyWhenTheValueReallyChanges) {
    Recorder r;
    r.bar.setMax(599);
    EXPECT_TRUE(r.changes.empty());
    r.bar.setValue(1);
    EXPECT_TRUE(r.changes.empty());
    r.bar.setValue(300);
    r.bar.setValue(300);
    r.bar.setValue(1000);
    EXPECT_EQ(r.changes, (std::vector<int>{300, 599}));
}

TEST(ScrollBarModel, LoweringMaxPullsTheValueBackAndRaisesChange) {
    Recorder r;
    r.bar.setMax(599);
    r.bar.setValue(500);
    r.changes.clear();
    r.bar.setMax(200);
    EXPECT_EQ(r.bar.value(), 200);
    // A picture that now fits: Max below Min, the value returns to 1.
    r.bar.setMax(-50);
    EXPECT_EQ(r.bar.value(), 1);
    EXPECT_EQ(r.changes, (std::vector<int>{200, 1}));
}

TEST(ScrollBarModel, EnabledExactlyWhenTheRangeHoldsMoreThanOneValue) {
    struct Case {
        int min, max;
        bool enabled;
    };
    const Case cases[] = {{1, 599, true},   {1, 2, true},   {1, 1, false}, {1, 0, false},
                          {1, -300, false}, {-5, -4, true}, {3, -3, false}};
    for (const auto& c : cases) {
        ScrollBarModel bar;
        bar.setMin(static_cast<std::int16_t>(c.min));
        bar.setMax(static_cast<std::int16_t>(c.max));
        EXPECT_EQ(bar.enabled(), c.enabled) << c.min << ".." << c.max;
    }
}

TEST(ScrollBarModel, SubscribersHearOfValueAndRangeChangesAfterTheChangeHandler) {
    ScrollBarModel bar;
    std::vector<std::string> heard;
    bar.setChangeHandler([&] { heard.push_back("change " + std::to_string(bar.value())); });
    const auto id = bar.subscribe([&] { heard.push_back("value " + std::to_string(bar.value())); },
                                  [&] { heard.push_back("range " + std::to_string(bar.max())); });
    bar.setMax(599);
    bar.setValue(300);
    bar.setLargeChange(1000);
    bar.setMax(200);        // pulls the value back: the value is heard before the range
    bar.setSmallChange(1);  // unchanged: nothing to hear
    EXPECT_EQ(heard, (std::vector<std::string>{"range 599", "change 300", "value 300", "range 599",
                                               "change 200", "value 200", "range 200"}));
    heard.clear();
    bar.unsubscribe(id);
    bar.setValue(100);
    bar.setMax(150);
    EXPECT_EQ(heard, std::vector<std::string>{"change 100"});
}

TEST(ViewModel, ImageBoxSitsAtOneMinusTheValue) {
    ViewModel v;
    v.hs.setMax(599);
    v.vs.setMax(518);
    v.hs.setValue(599);
    v.vs.setValue(2);
    EXPECT_EQ(v.imageLeft(), -598);
    EXPECT_EQ(v.imageTop(), -1);
}

}  // namespace
}  // namespace trimlet
