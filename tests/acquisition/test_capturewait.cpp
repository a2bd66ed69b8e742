#include <gtest/gtest.h>

#include "acquisition/capturewait.h"

namespace trimlet {
namespace {

TEST(CaptureWait, AStoredTextSelectsOneOfTheFourWaits) {
    struct Case {
        const char* stored;
        int wait;
    };
    const Case cases[] = {
        {"500", 500},   {"1000", 1000},   {"2000", 2000},  {"3000", 3000}, {"1500", 1000},
        {"-500", 1000}, {"0", 1000},      {"", 1000},      {"abc", 1000},  {"500.4", 500},
        {"500.5", 500}, {"1999.5", 2000}, {" 2000", 2000}, {"3e3", 3000},  {"1e12", 1000},
        {"&H1F4", 500}, {"2000ms", 2000}, {"4000", 1000},
    };
    for (const auto& c : cases) EXPECT_EQ(WaitForStoredText(c.stored), c.wait) << c.stored;
}

TEST(CaptureWait, MenuPositions) {
    EXPECT_EQ(WaitMenuIndex(500), 0);
    EXPECT_EQ(WaitMenuIndex(3000), 3);
    EXPECT_EQ(WaitMenuIndex(1500), -1);
    EXPECT_EQ(WaitForStoredValue(-1), kDefaultCaptureWait);
}

}  // namespace
}  // namespace trimlet
