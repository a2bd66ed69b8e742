// The window placement kept in section "Window".
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "settings/inifile.h"
#include "settings/windowplacement.h"
#include "support/tempini.h"

namespace trimlet {
namespace {

// 15 twips per pixel: a 1280 x 1024 screen, a 360 x 240 minimum.
class FakeWindow final : public PlacementWindow {
public:
    float l = 0, t = 0, w = 0, h = 0;
    WindowShowState s = WindowShowState::Normal;
    std::vector<QRect> screenList;
    std::vector<std::string> calls;

    FakeWindow() { screenList.push_back(QRect(0, 0, 19200, 15360)); }

    float left() const override { return l; }
    float top() const override { return t; }
    float width() const override { return w; }
    float height() const override { return h; }
    void setLeft(float v) override { l = v, calls.push_back("Left"); }
    void setTop(float v) override { t = v, calls.push_back("Top"); }
    void setWidth(float v) override { w = v, calls.push_back("Width"); }
    void setHeight(float v) override { h = v, calls.push_back("Height"); }
    WindowShowState state() const override { return s; }
    void setState(WindowShowState v) override { s = v, calls.push_back("State"); }
    std::vector<QRect> screens() const override { return screenList; }
    QSize minimumSize() const override { return {5400, 3600}; }
    bool knowsPosition = true;
    bool positionKnown() const override { return knowsPosition; }

    void place(float nl, float nt, float nw, float nh) { l = nl, t = nt, w = nw, h = nh; }
};

class PlacementTest : public ::testing::Test, protected testing::TempIniFile {
protected:
    void load(WindowPlacement& p, FakeWindow& w) const {
        p.LoadWindowPlacement(w, path(), 0, 0, 6375, 5460);
    }
};

TEST_F(PlacementTest, FirstStartAppliesTheDefaultsInOrder) {
    FakeWindow w;
    WindowPlacement p;
    load(p, w);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"Left", "Top", "Width", "Height", "State"}));
    EXPECT_EQ(QRectF(w.l, w.t, w.w, w.h), QRectF(0, 0, 6375, 5460));
    EXPECT_EQ(w.s, WindowShowState::Normal);
    EXPECT_EQ(p.normal(), (NormalPlacement{0, 0, 6375, 5460}));
    EXPECT_TRUE(p.SaveWindowPlacement(w, path()));
    EXPECT_EQ(contents(), QByteArray("[Window]\nLeft= 0\nTop= 0\nWidth= 6375\nHeight= 5460\n"
                                     "WindowState= 0\n"));
}

TEST_F(PlacementTest, NormalCloseIsRestoredAsStored) {
    FakeWindow w;
    WindowPlacement p;
    load(p, w);
    w.place(1500, 1200, 7000, 6000);
    p.RememberNormalPlacement(w);
    EXPECT_TRUE(p.SaveWindowPlacement(w, path()));
    EXPECT_EQ(contents(), QByteArray("[Window]\nLeft= 1500\nTop= 1200\nWidth= 7000\n"
                                     "Height= 6000\nWindowState= 0\n"));
    FakeWindow next;
    WindowPlacement again;
    load(again, next);
    EXPECT_EQ(QRectF(next.l, next.t, next.w, next.h), QRectF(1500, 1200, 7000, 6000));
    EXPECT_EQ(next.s, WindowShowState::Normal);
}

TEST_F(PlacementTest, WithoutAKnownPositionTheStoredPositionIsKeptAndTheRestWritten) {
    // Wayland: the window reports 0, 0 wherever it is; that must not overwrite the stored
    // position, in either state.
    for (WindowShowState state : {WindowShowState::Normal, WindowShowState::Maximised}) {
        put("[Window]\nLeft=1500\nTop=1200\nWidth=6000\nHeight=4500\nWindowState=0\n");
        FakeWindow w;
        w.knowsPosition = false;
        WindowPlacement p;
        load(p, w);
        w.place(0, 0, 7000, 6000);
        p.RememberNormalPlacement(w);
        w.s = state;
        EXPECT_TRUE(p.SaveWindowPlacement(w, path()));
        EXPECT_EQ(contents(),
                  QByteArray("[Window]\nLeft=1500\nTop=1200\nWidth= 7000\nHeight= 6000\n"
                             "WindowState= ") +
                      (state == WindowShowState::Normal ? "0" : "2") + "\n");
    }
}

TEST_F(PlacementTest, MaximisedCloseKeepsTheNormalRectangle) {
    FakeWindow w;
    WindowPlacement p;
    load(p, w);
    w.place(3000, 1500, 8000, 7000);  // resized in the normal state
    p.RememberNormalPlacement(w);
    w.place(0, 0, 19200, 15360);  // maximised: the resize is not remembered
    w.s = WindowShowState::Maximised;
    p.RememberNormalPlacement(w);
    w.place(150, 150, 8000, 7000);  // a move alone raises no resize
    w.place(0, 0, 19200, 15360);
    EXPECT_TRUE(p.SaveWindowPlacement(w, path()));
    EXPECT_EQ(contents(), QByteArray("[Window]\nLeft= 3000\nTop= 1500\nWidth= 8000\n"
                                     "Height= 7000\nWindowState= 2\n"));
    FakeWindow next;
    WindowPlacement again;
    load(again, next);
    EXPECT_EQ(next.s, WindowShowState::Maximised);
    EXPECT_EQ(again.normal(), (NormalPlacement{3000, 1500, 8000, 7000}));
}

TEST_F(PlacementTest, MinimisedCloseIsStoredAsNormal) {
    put("[Window]\nLeft=750\nTop=450\nWidth=6000\nHeight=4500\nWindowState=0\n");
    FakeWindow w;
    WindowPlacement p;
    load(p, w);
    w.s = WindowShowState::Minimised;
    w.place(-32000, -32000, 2400, 450);  // where a minimised window may report itself
    p.RememberNormalPlacement(w);
    EXPECT_TRUE(p.SaveWindowPlacement(w, path()));
    EXPECT_EQ(contents(), QByteArray("[Window]\nLeft= 750\nTop= 450\nWidth= 6000\n"
                                     "Height= 4500\nWindowState=0\n"));
    FakeWindow next;
    WindowPlacement again;
    load(again, next);
    EXPECT_EQ(next.s, WindowShowState::Normal);
}

TEST_F(PlacementTest, StoredValuesAndWhatTheWindowGets) {
    struct Row {
        const char* file;
        QRectF rect;
        WindowShowState state;
    } rows[] = {
        // Numbers with and without the leading blank, fractions, other number forms.
        {"Left= 15\nTop=30\nWidth=&H1B58\nHeight=6000.5\nWindowState= 2",
         {15, 30, 7000, 6000.5},
         WindowShowState::Maximised},
        {"WindowState=1", {0, 0, 6375, 5460}, WindowShowState::Minimised},
        {"WindowState=1.6", {0, 0, 6375, 5460}, WindowShowState::Maximised},
        // States the window cannot take fall back to normal.
        {"WindowState=3", {0, 0, 6375, 5460}, WindowShowState::Normal},
        {"WindowState=-1", {0, 0, 6375, 5460}, WindowShowState::Normal},
        {"WindowState=70000", {0, 0, 6375, 5460}, WindowShowState::Normal},
        // Sizes below the minimum (an empty value reads as 0) take the defaults.
        {"Width=\nHeight=abc", {0, 0, 6375, 5460}, WindowShowState::Normal},
        {"Width=5399\nHeight=3600", {0, 0, 6375, 3600}, WindowShowState::Normal},
        // Numbers beyond 32 bits take the defaults.
        {"Left=3E12\nTop=-2147483649\nWidth=1D300", {0, 0, 6375, 5460}, WindowShowState::Normal},
        // Negative but on the screen: applied as stored.
        {"Left=-3000\nTop=-450", {-3000, -450, 6375, 5460}, WindowShowState::Normal},
    };
    for (const Row& r : rows) {
        put(QByteArray("[Window]\n") + r.file + "\n");
        FakeWindow w;
        WindowPlacement p;
        load(p, w);
        EXPECT_EQ(QRectF(w.l, w.t, w.w, w.h), r.rect) << r.file;
        EXPECT_EQ(w.s, r.state) << r.file;
    }
}

TEST_F(PlacementTest, StoredRectangleIsRoundedWhenRemembered) {
    put("[Window]\nLeft=500.4\nTop=2.5\nWidth=6000.5\nHeight=4501.5\n");
    FakeWindow w;
    WindowPlacement p;
    load(p, w);
    EXPECT_FLOAT_EQ(w.l, 500.4f);
    EXPECT_EQ(p.normal(), (NormalPlacement{500, 2, 6000, 4502}));
}

TEST_F(PlacementTest, OffScreenPlacementComesBackToThePrimaryScreen) {
    struct Row {
        const char* file;
        std::vector<QRect> screens;
        QPointF expected;
    } rows[] = {
        // A second monitor on the right that is gone.
        {"Left=25000\nTop=3000", {QRect(0, 0, 19200, 15360)}, {0, 0}},
        {"Left=-9000\nTop=-9000", {QRect(0, 0, 19200, 15360)}, {0, 0}},
        // The same rectangle while that monitor is there.
        {"Left=25000\nTop=3000",
         {QRect(0, 0, 19200, 15360), QRect(19200, 0, 19200, 15360)},
         {25000, 3000}},
        // The primary screen need not start at 0, 0.
        {"Left=-40000\nTop=0",
         {QRect(19200, 0, 19200, 15360), QRect(0, 0, 19200, 15360)},
         {19200, 0}},
        // Partly visible: applied as stored.
        {"Left=18000\nTop=15000", {QRect(0, 0, 19200, 15360)}, {18000, 15000}},
        {"Left=-6000\nTop=-5000", {QRect(0, 0, 19200, 15360)}, {-6000, -5000}},
        // Near the ends of the 32-bit range: no arithmetic may overflow on the way.
        {"Left=-2147483648\nTop=2147483000", {QRect(0, 0, 19200, 15360)}, {0, 0}},
        {"Left=2147483000\nTop=-2147483648", {QRect(0, 0, 19200, 15360)}, {0, 0}},
        {"Left=2147483000\nTop=2147483000", {QRect(0, 0, 19200, 15360)}, {0, 0}},
        {"Left=-2147483648\nTop=-2147483648", {QRect(0, 0, 19200, 15360)}, {0, 0}},
        {"Left=-2147483648\nTop=0", {QRect(-2147483000, 0, 19200, 15360)}, {-2147483648.0f, 0}},
    };
    for (const Row& r : rows) {
        put(QByteArray("[Window]\n") + r.file + "\n");
        FakeWindow w;
        w.screenList = r.screens;
        WindowPlacement p;
        load(p, w);
        EXPECT_EQ(QPointF(w.l, w.t), r.expected) << r.file;
        EXPECT_EQ(QSizeF(w.w, w.h), QSizeF(6375, 5460)) << r.file;
    }
}

TEST_F(PlacementTest, HugeSizesNearTheLimitsStayWithinReach) {
    for (const char* file :
         {"Left=2147483000\nWidth=2147483000\nHeight=2147483000",
          "Left=-2147483648\nTop=-2147483648\nWidth=2147483647\nHeight=100000"}) {
        put(QByteArray("[Window]\n") + file + "\n");
        FakeWindow w;
        WindowPlacement p;
        load(p, w);
        // Whatever was stored, some part of the window lies on the screen.
        const double right = double(w.l) + double(w.w);
        const double bottom = double(w.t) + double(w.h);
        EXPECT_TRUE(right > 0 && w.l < 19200 && bottom > 0 && w.t < 15360)
            << file << " -> " << w.l << "," << w.t << " " << w.w << "x" << w.h;
    }
}

}  // namespace
}  // namespace trimlet
