// The last rectangle and the loupe switch in the settings file.
#include <gtest/gtest.h>

#include <optional>

#include "settings/viewsettings.h"
#include "support/tempini.h"

namespace trimlet {
namespace {

class ViewSettings : public testing::TempIniFile, public ::testing::Test {};

TEST_F(ViewSettings, LastRectangleTable) {
    struct Case {
        const char* file;
        std::optional<PixelRect> block;
    };
    const Case cases[] = {
        {"", std::nullopt},
        {"[Selection]\nLeft=10\nTop=20\nWidth=5\nHeight=3\n", PixelRect{9, 19, 5, 3}},
        {"[selection]\nleft= 0\ntop=-4\nwidth=2.5\nheight=1e1\n", PixelRect{-1, -5, 2, 10}},
        {"[Selection]\nLeft=10\nTop=20\nWidth=5\n", std::nullopt},
        {"[Selection]\nLeft=10\nTop=20\nWidth=0\nHeight=3\n", std::nullopt},
        {"[Selection]\nLeft=10\nTop=\nWidth=5\nHeight=3\n", std::nullopt},
        {"[Selection]\nLeft=1e10\nTop=1\nWidth=5\nHeight=3\n", std::nullopt},
        {"[Selection]\nLeft=-2147483648\nTop=1\nWidth=5\nHeight=3\n", std::nullopt},
        {"[Selection]\nLeft=abc\nTop=1\nWidth=5\nHeight=3\n", PixelRect{-1, 0, 5, 3}},
    };
    for (const Case& c : cases) {
        put(c.file);
        EXPECT_EQ(LoadLastRectangle(path()), c.block) << c.file;
    }
    // Written as the caption counts, read back the same, other lines kept.
    put("[Wait]\nCapture=500\n");
    ASSERT_TRUE(WriteIniValues(LastRectangleEntries({-1, 99, 640, 1}), path()));
    EXPECT_EQ(contents(),
              "[Wait]\nCapture=500\n[Selection]\nLeft=0\nTop=100\nWidth=640\nHeight=1\n");
    EXPECT_EQ(LoadLastRectangle(path()), (PixelRect{-1, 99, 640, 1}));
}

TEST_F(ViewSettings, LoupeIsOffOnlyForZero) {
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {"[View]\nLoupe=0\n", false},
        {"[View]\nLoupe=1\n", true},
        {"[View]\nLoupe=\n", true},
        {"[View]\nLoupe=off\n", true},
        {"[View]\nLoupe= 0 \n", false},
    };
    for (const auto& [file, on] : cases) {
        put(file);
        EXPECT_EQ(LoadLoupeOn(path()), on) << file;
    }
    for (const bool on : {false, true}) {
        ASSERT_TRUE(WriteIniValues({LoupeEntry(on)}, path()));
        EXPECT_EQ(LoadLoupeOn(path()), on);
    }
}

}  // namespace
}  // namespace trimlet
