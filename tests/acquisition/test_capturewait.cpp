#include <gtest/gtest.h>

#include "acquisition/capturewait.h"
#include "settings/windowplacement.h"
#include "support/tempini.h"

namespace trimlet {
namespace {

class CaptureWait : public ::testing::Test, protected testing::TempIniFile {};

TEST_F(CaptureWait, AStoredTextSelectsOneOfTheFourWaits) {
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
    for (const auto& c : cases) {
        put(QByteArray("[Wait]\nCapture=") + c.stored + "\n");
        EXPECT_EQ(WaitForStoredValue(LoadCaptureWait(path())), c.wait) << c.stored;
    }
}

TEST_F(CaptureWait, NoFileAndNoKeyGiveTheDefault) {
    EXPECT_EQ(WaitForStoredValue(LoadCaptureWait(path())), 1000);
    put("[Window]\nLeft=0\n");
    EXPECT_EQ(WaitForStoredValue(LoadCaptureWait(path())), 1000);
}

TEST_F(CaptureWait, AWrittenWaitReadsBackAndKeepsTheOtherKeys) {
    put("[Window]\nLeft=15\n[Wait]\nCapture=500\n");
    ASSERT_TRUE(SaveCaptureWait(3000, path()));
    EXPECT_EQ(contents(), QByteArray("[Window]\nLeft=15\n[Wait]\nCapture=3000\n"));
    EXPECT_EQ(WaitForStoredValue(LoadCaptureWait(path())), 3000);
}

TEST(CaptureWaitMenu, PositionsAndTheDefault) {
    EXPECT_EQ(WaitMenuIndex(500), 0);
    EXPECT_EQ(WaitMenuIndex(3000), 3);
    EXPECT_EQ(WaitMenuIndex(1500), -1);
    EXPECT_EQ(WaitForStoredValue(-1), kDefaultCaptureWait);
    EXPECT_EQ(WaitForStoredValue(std::nullopt), kDefaultCaptureWait);
    EXPECT_EQ(kCaptureWaitItems[kDefaultCaptureWaitItem].caption, "1.0秒(デフォルト)");
}

}  // namespace
}  // namespace trimlet
