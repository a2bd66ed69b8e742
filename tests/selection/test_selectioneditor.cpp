// The pointer and key editing of the selection, as sequences of events with the six
// selection numbers and the two scroll values expected at the end.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "selection/selectioneditor.h"

namespace trimlet {

static std::ostream& operator<<(std::ostream& os, const Selection& s) {
    return os << "{left " << s.selLeft << ", top " << s.selTop << ", dx " << s.selDX << ", dy "
              << s.selDY << ", anchor " << s.anchorX << "," << s.anchorY << "}";
}

namespace {

// selLeft, selTop, selDX, selDY, anchorX, anchorY
Selection Sel(int l, int t, int dx, int dy, int ax, int ay) { return {l, t, dx, dy, ax, ay}; }
// A selection at rest: the anchor at the top-left corner.
Selection Rest(int l, int t, int dx, int dy) { return {l, t, dx, dy, l, t}; }

struct Geometry {
    int imageWidth, imageHeight, viewportWidth, viewportHeight;
};

// The view the tests work on: a 1000 x 800 picture in a 401 x 282 viewport
// (HS runs 1..599, VS 1..518), a small 100 x 80 picture that fits, and a picture
// narrower than the viewport but taller.
constexpr Geometry kBig{1000, 800, 401, 282};
constexpr Geometry kSmall{100, 80, 401, 282};
constexpr Geometry kTall{300, 1000, 401, 282};

struct Event {
    enum Kind { Down, Move, Up, Key, Resize } kind;
    int code = 0;  // button(s) or key code
    int shift = 0;
    float x = 0, y = 0;
};

// The codes the image box reports.
constexpr int kL = kLeftButton, kR = kRightButton, kM = kMiddleButton;

Event Press(int button, float x, float y) { return {Event::Down, button, 0, x, y}; }
Event Drag(int buttons, float x, float y) { return {Event::Move, buttons, 0, x, y}; }
Event Release(int button, float x, float y) { return {Event::Up, button, 0, x, y}; }
Event KeyPress(int key, int shift = 0) { return {Event::Key, key, shift, 0, 0}; }
Event Resized() { return {Event::Resize}; }

// A view with scroll bars laid out as the window does (Min 1, Max = picture - viewport),
// whose change handlers count the scrolls, and an editor that counts the redraws.
struct Rig {
    Selection sel;
    ViewModel view;
    int shows = 0;
    int hsChanges = 0;
    int vsChanges = 0;
    std::vector<std::string> captions;
    SelectionEditor editor{sel, view, [this] {
                               ++shows;
                               captions.push_back(sel.caption());
                           }};

    Rig(Geometry g, int hsValue = 1, int vsValue = 1) {
        view.imageWidth = g.imageWidth;
        view.imageHeight = g.imageHeight;
        view.viewportWidth = g.viewportWidth;
        view.viewportHeight = g.viewportHeight;
        view.hs.setMax(static_cast<std::int16_t>(g.imageWidth - g.viewportWidth));
        view.vs.setMax(static_cast<std::int16_t>(g.imageHeight - g.viewportHeight));
        view.hs.setValue(hsValue);
        view.vs.setValue(vsValue);
        view.hs.setChangeHandler([this] { ++hsChanges; });
        view.vs.setChangeHandler([this] { ++vsChanges; });
    }

    void run(const std::vector<Event>& events) {
        for (const Event& e : events) {
            switch (e.kind) {
                case Event::Down:
                    editor.mouseDown(e.code, e.shift, e.x, e.y);
                    break;
                case Event::Move:
                    editor.mouseMove(e.code, e.shift, e.x, e.y);
                    break;
                case Event::Up:
                    editor.mouseUp(e.code, e.shift, e.x, e.y);
                    break;
                case Event::Key:
                    editor.keyDown(e.code, e.shift);
                    break;
                case Event::Resize:
                    editor.viewResized();
                    break;
            }
        }
    }
};

struct Case {
    const char* name;
    Geometry geometry;
    Selection start;
    int hs0, vs0;
    std::vector<Event> events;
    Selection want;
    int wantHs, wantVs;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

void RunCase(const Case& c) {
    Rig rig(c.geometry, c.hs0, c.vs0);
    rig.sel = c.start;
    rig.run(c.events);
    EXPECT_EQ(rig.sel, c.want);
    EXPECT_EQ(rig.view.hs.value(), c.wantHs);
    EXPECT_EQ(rig.view.vs.value(), c.wantVs);
}

// --- left button: rubber band -------------------------------------------------------

class LeftDrag : public ::testing::TestWithParam<Case> {};
TEST_P(LeftDrag, EndsWithTheExpectedSelectionAndScroll) { RunCase(GetParam()); }

const Selection kWholeSmall = Rest(1, 1, 99, 79);

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, LeftDrag,
    ::testing::Values(Case{"ClickLeavesOnePixelAtThePressUnclamped", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 10, 20), Release(kL, 10, 20)},
                           Rest(10, 20, 0, 0), 1, 1},
                      Case{"ClickOnFirstPixelZeroesAllSix", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 0, 0), Release(kL, 0, 0)},
                           Sel(0, 0, 0, 0, 0, 0), 1, 1},
                      Case{"ClickOnFirstColumn", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 0, 5), Release(kL, 0, 5)},
                           Rest(0, 5, 0, 0), 1, 1},
                      Case{"PressRoundsHalvesToEven", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 2.5f, 3.5f)},
                           Rest(2, 4, 0, 0), 1, 1},
                      Case{"DragRightDownFromTheAnchor", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 20, 10), Drag(kL, 50, 40)},
                           Sel(20, 10, 30, 30, 20, 10), 1, 1},
                      Case{"DragLeftUpMakesThePointerTheTopLeft", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 50, 40), Drag(kL, 20, 10)},
                           Sel(20, 10, 30, 30, 50, 40), 1, 1},
                      Case{"ReleaseLeftUpMovesAnchorToTopLeft", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 50, 40), Drag(kL, 20, 10), Release(kL, 20, 10)},
                           Rest(20, 10, 30, 30), 1, 1},
                      Case{"DragBeyondPictureStopsAtSizeAndOne", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 50, 40), Drag(kL, 500, -30)},
                           Sel(50, 1, 50, 39, 50, 40), 1, 1},
                      Case{"DragFarLeftAboveStopsAtOne", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 50, 40), Drag(kL, -7, -9), Release(kL, -7, -9)},
                           Rest(1, 1, 49, 39), 1, 1},
                      Case{"ReleaseBeyondFarEdgeKeepsAnchor", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 50, 40), Drag(kL, 500, 300), Release(kL, 500, 300)},
                           Rest(50, 40, 50, 40), 1, 1},
                      // From column 0 the band reaches the picture's full width: selDX = width.
                      Case{"DragFromColumnZeroToFarEdge", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 0, 0), Drag(kL, 120, 90), Release(kL, 120, 90)},
                           Rest(0, 0, 100, 80), 1, 1},
                      Case{"MoveBackOntoAnchorGivesOnePixel", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 30, 30), Drag(kL, 60, 60), Drag(kL, 30, 30)},
                           Sel(30, 30, 0, 0, 30, 30), 1, 1},
                      Case{"BothButtonsHeldMoveDoesNothing", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 30, 30), Press(kR, 30, 30), Drag(kL | kR, 60, 60)},
                           Sel(30, 30, 0, 0, 0, 0), 1, 1},
                      Case{"MiddleButtonDoesNothing", kSmall, kWholeSmall, 1, 1,
                           {Press(kM, 30, 30), Drag(kM, 60, 60), Release(kM, 60, 60)},
                           kWholeSmall, 1, 1},
                      Case{"PlainMoveDoesNothing", kSmall, kWholeSmall, 1, 1,
                           {Drag(0, 30, 30)},
                           kWholeSmall, 1, 1},
                      // Follow: one pixel per move event, tested against the visible part.
                      Case{"PastRightAndBottomScrollsOnePixelEach", kBig, Rest(1, 1, 999, 799), 1, 1,
                           {Press(kL, 100, 100), Drag(kL, 402, 283)},
                           Sel(100, 100, 302, 183, 100, 100), 2, 2},
                      Case{"OnTheVisibleEdgeDoesNotScroll", kBig, Rest(1, 1, 999, 799), 1, 1,
                           {Press(kL, 100, 100), Drag(kL, 401, 282)},
                           Sel(100, 100, 301, 182, 100, 100), 1, 1},
                      Case{"EachMoveScrollsAgain", kBig, Rest(1, 1, 999, 799), 1, 1,
                           {Press(kL, 100, 100), Drag(kL, 450, 300), Drag(kL, 450, 300), Drag(kL, 450, 300)},
                           Sel(100, 100, 350, 200, 100, 100), 4, 4},
                      // Visible left at HS 10 is column 9: 9 > 9 is false, 9 > 8 is true.
                      Case{"LeftEdgeTestIsStrict", kBig, Rest(1, 1, 999, 799), 10, 10,
                           {Press(kL, 100, 100), Drag(kL, 9, 9)},
                           Sel(9, 9, 91, 91, 100, 100), 10, 10},
                      Case{"PastLeftAndTopScrollsBack", kBig, Rest(1, 1, 999, 799), 10, 10,
                           {Press(kL, 100, 100), Drag(kL, 8, 8)},
                           Sel(8, 8, 92, 92, 100, 100), 9, 9},
                      Case{"NoScrollBeyondMaximum", kBig, Rest(1, 1, 999, 799), 599, 518,
                           {Press(kL, 900, 700), Drag(kL, 1500, 1500)},
                           Sel(900, 700, 100, 100, 900, 700), 599, 518},
                      Case{"NoScrollBelowMinimum", kBig, Rest(1, 1, 999, 799), 1, 1,
                           {Press(kL, 100, 100), Drag(kL, -50, -50)},
                           Sel(1, 1, 99, 99, 100, 100), 1, 1},
                      // The clamped pointer is tested: a pointer at -50 counts as column 1, which
                      // is not left of the visible column 1 at HS 2.
                      Case{"ClampedPointerDecidesTheFollow", kBig, Rest(1, 1, 999, 799), 2, 2,
                           {Press(kL, 100, 100), Drag(kL, -50, -50)},
                           Sel(1, 1, 99, 99, 100, 100), 2, 2},
                      Case{"ClampedPointerLeftOfVisibleColumnTwo", kBig, Rest(1, 1, 999, 799), 3, 3,
                           {Press(kL, 100, 100), Drag(kL, -50, -50)},
                           Sel(1, 1, 99, 99, 100, 100), 2, 2},
                      Case{"NarrowButTallPictureNeverScrolls", kTall, Rest(1, 1, 299, 999), 1, 1,
                           {Press(kL, 10, 10), Drag(kL, 10, 500)},
                           Sel(10, 10, 0, 490, 10, 10), 1, 1},
                      // Exactly as wide as the viewport: HS cannot move but VS follows.
                      Case{"AsWideAsTheViewportStillFollowsDown", {401, 800, 401, 282}, Rest(1, 1, 400, 799), 1, 1,
                           {Press(kL, 10, 10), Drag(kL, 10, 300)},
                           Sel(10, 10, 0, 290, 10, 10), 1, 2},
                      Case{"OneColumnNarrowerDoesNotFollow", {400, 800, 401, 282}, Rest(1, 1, 399, 799), 1, 1,
                           {Press(kL, 10, 10), Drag(kL, 10, 300)},
                           Sel(10, 10, 0, 290, 10, 10), 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// --- right button: moving the selection ---------------------------------------------

class RightDrag : public ::testing::TestWithParam<Case> {};
TEST_P(RightDrag, EndsWithTheExpectedSelectionAndScroll) { RunCase(GetParam()); }

const Selection kBlock = Rest(10, 10, 20, 20);  // columns and rows 10..30

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, RightDrag,
    ::testing::Values(Case{"MovesWithoutResizing", kSmall, kBlock, 1, 1,
                           {Press(kR, 15, 15), Drag(kR, 25, 20)},
                           Sel(20, 15, 20, 20, -5, -5), 1, 1},
                      Case{"ReleaseTurnsOffsetIntoCorner", kSmall, kBlock, 1, 1,
                           {Press(kR, 15, 15), Drag(kR, 25, 20), Release(kR, 25, 20)},
                           Rest(20, 15, 20, 20), 1, 1},
                      Case{"PressOnLastColumnAndRowIsInside", kSmall, kBlock, 1, 1,
                           {Press(kR, 30, 30), Drag(kR, 35, 32), Release(kR, 35, 32)},
                           Rest(15, 12, 20, 20), 1, 1},
                      Case{"PressOnFirstColumnIsInside", kSmall, kBlock, 1, 1,
                           {Press(kR, 10, 10), Drag(kR, 11, 11)},
                           Sel(11, 11, 20, 20, 0, 0), 1, 1},
                      Case{"PressJustPastLastColumnIsOutside", kSmall, kBlock, 1, 1,
                           {Press(kR, 30.5f, 20), Drag(kR, 50, 50), Release(kR, 50, 50)},
                           kBlock, 1, 1},
                      Case{"PressOutsideAfterAnEarlierMoveMovesNothing", kSmall, kBlock, 1, 1,
                           {Press(kR, 15, 15), Drag(kR, 25, 25), Release(kR, 25, 25), Press(kR, 70, 70), Drag(kR, 40, 40), Release(kR, 40, 40)},
                           Rest(20, 20, 20, 20), 1, 1},
                      Case{"OffsetRoundsHalvesToEven", kSmall, kBlock, 1, 1,
                           {Press(kR, 10.5f, 11.5f), Drag(kR, 20.5f, 20.5f)},
                           Sel(20, 18, 20, 20, 0, -2), 1, 1},
                      Case{"PastRightAndBottomStopsAtPictureSize", kSmall, kBlock, 1, 1,
                           {Press(kR, 15, 15), Drag(kR, 200, 200), Release(kR, 200, 200)},
                           Rest(80, 60, 20, 20), 1, 1},
                      Case{"PastLeftAndTopStopsAtOne", kSmall, kBlock, 1, 1,
                           {Press(kR, 15, 15), Drag(kR, -50, -50), Release(kR, -50, -50)},
                           Rest(1, 1, 20, 20), 1, 1},
                      // A band drawn from column 0 is as wide as the picture and cannot fit: pushed
                      // right it is pulled back to column 0, pushed left it goes to column 1.
                      Case{"FullWidthBandFromColumnZero", kSmall, Rest(0, 0, 100, 80), 1, 1,
                           {Press(kR, 50, 40), Drag(kR, 52, 42)},
                           Sel(0, 0, 100, 80, -50, -40), 1, 1},
                      Case{"FullWidthBandFromColumnZeroPushedLeft", kSmall, Rest(0, 0, 100, 80), 1, 1,
                           {Press(kR, 50, 40), Drag(kR, 48, 38)},
                           Sel(1, 1, 100, 80, -50, -40), 1, 1},
                      Case{"LeftPressDisarmsTheMove", kSmall, kBlock, 1, 1,
                           {Press(kR, 15, 15), Press(kL, 40, 40), Drag(kR, 60, 60)},
                           Sel(40, 40, 0, 0, 40, 40), 1, 1},
                      Case{"MoveStaysArmedAfterRelease", kSmall, kBlock, 1, 1,
                           {Press(kR, 15, 15), Release(kR, 15, 15), Drag(kR, 20, 20)},
                           Sel(30, 30, 20, 20, 10, 10), 1, 1},
                      Case{"ReleaseOfAnotherButtonAlsoSettlesTheAnchor", kSmall, kBlock, 1, 1,
                           {Press(kR, 15, 15), Drag(kR, 20, 20), Release(kM, 20, 20)},
                           Rest(15, 15, 20, 20), 1, 1},
                      Case{"LeftReleaseDuringMoveLeavesTheOffset", kSmall, kBlock, 1, 1,
                           {Press(kR, 15, 15), Drag(kR, 20, 20), Release(kL, 20, 20)},
                           Sel(15, 15, 20, 20, -5, -5), 1, 1},
                      // Follow: down scrolls to bottom - viewport height once the bottom is hidden.
                      Case{"MovingDownPastVisibleBottomScrolls", kBig, Rest(100, 100, 49, 49), 1, 1,
                           {Press(kR, 120, 120), Drag(kR, 120, 300)},
                           Sel(100, 280, 49, 49, -20, -20), 1, 47},
                      Case{"MovingDownInsideTheViewDoesNotScroll", kBig, Rest(100, 100, 49, 49), 1, 1,
                           {Press(kR, 120, 120), Drag(kR, 120, 250)},
                           Sel(100, 230, 49, 49, -20, -20), 1, 1},
                      // Bottom exactly on the visible bottom: 282 < 282 is false.
                      Case{"BottomOnTheVisibleEdgeDoesNotScroll", kBig, Rest(100, 100, 49, 49), 1, 1,
                           {Press(kR, 120, 120), Drag(kR, 120, 253)},
                           Sel(100, 233, 49, 49, -20, -20), 1, 1},
                      Case{"PointerStillDoesNotScroll", kBig, Rest(100, 250, 49, 49), 1, 1,
                           {Press(kR, 120, 270), Drag(kR, 140, 270)},
                           Sel(120, 250, 49, 49, -20, -20), 1, 1},
                      Case{"MovingUpPastVisibleTopScrolls", kBig, Rest(100, 100, 49, 49), 1, 100,
                           {Press(kR, 120, 120), Drag(kR, 120, 60)},
                           Sel(100, 40, 49, 49, -20, -20), 1, 39},
                      // Top row exactly on the visible top (row 99 at VS 100) counts: >= .
                      Case{"TopOnTheVisibleTopScrolls", kBig, Rest(100, 100, 49, 49), 1, 100,
                           {Press(kR, 120, 120), Drag(kR, 120, 119)},
                           Sel(100, 99, 49, 49, -20, -20), 1, 98},
                      Case{"TopJustBelowTheVisibleTopDoesNotScroll", kBig, Rest(100, 101, 49, 49), 1, 100,
                           {Press(kR, 120, 121), Drag(kR, 120, 120)},
                           Sel(100, 100, 49, 49, -20, -20), 1, 100},
                      Case{"DownFollowReachesTheEnd", kBig, Rest(100, 100, 49, 49), 1, 1,
                           {Press(kR, 120, 120), Drag(kR, 120, 2000)},
                           Sel(100, 751, 49, 49, -20, -20), 1, 518},
                      Case{"UpFollowStopsAtMinimum", kBig, Rest(100, 100, 49, 49), 1, 100,
                           {Press(kR, 120, 120), Drag(kR, 120, -500)},
                           Sel(100, 1, 49, 49, -20, -20), 1, 1},
                      Case{"MovingRightPastVisibleRightScrolls", kBig, Rest(100, 100, 49, 49), 1, 1,
                           {Press(kR, 120, 120), Drag(kR, 500, 120)},
                           Sel(480, 100, 49, 49, -20, -20), 128, 1},
                      Case{"MovingLeftPastVisibleLeftScrolls", kBig, Rest(300, 100, 49, 49), 200, 1,
                           {Press(kR, 320, 120), Drag(kR, 150, 120)},
                           Sel(130, 100, 49, 49, -20, -20), 129, 1},
                      Case{"DiagonalFollowsBothWays", kBig, Rest(100, 100, 49, 49), 1, 1,
                           {Press(kR, 120, 120), Drag(kR, 500, 300)},
                           Sel(480, 280, 49, 49, -20, -20), 128, 47},
                      // The follow direction is the pointer's own motion since the last event.
                      Case{"SecondMoveDownFollowsAgain", kBig, Rest(100, 100, 49, 49), 1, 1,
                           {Press(kR, 120, 120), Drag(kR, 120, 300), Drag(kR, 120, 301)},
                           Sel(100, 281, 49, 49, -20, -20), 1, 48}),
    [](const auto& info) { return std::string(info.param.name); });

// --- keys ---------------------------------------------------------------------------

constexpr int kShift = kShiftBit, kCtrl = kCtrlBit, kAlt = kAltBit;

class Keys : public ::testing::TestWithParam<Case> {};
TEST_P(Keys, EndWithTheExpectedSelectionAndScroll) { RunCase(GetParam()); }

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, Keys,
    ::testing::Values(Case{"ArrowsMoveByOne", kSmall, kBlock, 1, 1,
                           {KeyPress(kKeyRight), KeyPress(kKeyRight), KeyPress(kKeyDown), KeyPress(kKeyLeft), KeyPress(kKeyUp), KeyPress(kKeyUp)},
                           Rest(11, 9, 20, 20), 1, 1},
                      Case{"ShiftMovesByTen", kSmall, kBlock, 1, 1,
                           {KeyPress(kKeyRight, kShift), KeyPress(kKeyDown, kShift)},
                           Rest(20, 20, 20, 20), 1, 1},
                      Case{"UpAtRowOneStaysThere", kSmall, Rest(5, 1, 20, 20), 1, 1,
                           {KeyPress(kKeyUp)},
                           Rest(5, 1, 20, 20), 1, 1},
                      Case{"ShiftUpAtRowOneStaysThere", kSmall, Rest(5, 1, 20, 20), 1, 1,
                           {KeyPress(kKeyUp, kShift)},
                           Rest(5, 1, 20, 20), 1, 1},
                      Case{"ShiftLeftNearColumnOne", kSmall, Rest(5, 5, 20, 20), 1, 1,
                           {KeyPress(kKeyLeft, kShift)},
                           Rest(1, 5, 20, 20), 1, 1},
                      Case{"ShiftRightNearRightEdgeStopsAtWidth", kSmall, Rest(85, 1, 9, 9), 1, 1,
                           {KeyPress(kKeyRight, kShift)},
                           Rest(91, 1, 9, 9), 1, 1},
                      Case{"ShiftDownNearBottomStopsAtHeight", kSmall, Rest(1, 65, 9, 9), 1, 1,
                           {KeyPress(kKeyDown, kShift)},
                           Rest(1, 71, 9, 9), 1, 1},
                      Case{"CtrlArrowsMoveTheFarEdges", kSmall, kBlock, 1, 1,
                           {KeyPress(kKeyRight, kCtrl), KeyPress(kKeyDown, kCtrl | kShift), KeyPress(kKeyLeft, kCtrl | kShift), KeyPress(kKeyUp, kCtrl)},
                           Rest(10, 10, 11, 29), 1, 1},
                      Case{"CtrlLeftOnOnePixelWideStaysAtZero", kSmall, Rest(10, 10, 0, 0), 1, 1,
                           {KeyPress(kKeyLeft, kCtrl), KeyPress(kKeyUp, kCtrl)},
                           Rest(10, 10, 0, 0), 1, 1},
                      Case{"CtrlShiftLeftOnFiveGivesZero", kSmall, Rest(10, 10, 5, 5), 1, 1,
                           {KeyPress(kKeyLeft, kCtrl | kShift)},
                           Rest(10, 10, 0, 5), 1, 1},
                      Case{"CtrlRightBeyondPictureStopsAtWidth", kSmall, Rest(90, 10, 10, 5), 1, 1,
                           {KeyPress(kKeyRight, kCtrl)},
                           Rest(90, 10, 10, 5), 1, 1},
                      Case{"CtrlShiftDownBeyondPictureStopsAtHeight", kSmall, Rest(10, 60, 10, 15), 1, 1,
                           {KeyPress(kKeyDown, kCtrl | kShift)},
                           Rest(10, 60, 10, 20), 1, 1},
                      // After a click at 0, 0 a key brings the corner back into the picture.
                      Case{"KeyAfterClickOnFirstPixel", kSmall, Sel(0, 0, 0, 0, 0, 0), 1, 1,
                           {KeyPress(kKeyRight)},
                           Rest(1, 1, 0, 0), 1, 1},
                      Case{"ResizeLeavesACornerAtZero", kSmall, Sel(0, 0, 0, 0, 0, 0), 1, 1,
                           {KeyPress(kKeyRight, kCtrl)},
                           Rest(0, 0, 1, 0), 1, 1},
                      Case{"OtherKeysChangeNothing", kSmall, Sel(12, 13, 4, 5, 12, 13), 1, 1,
                           {KeyPress(36), KeyPress(34, kShift), KeyPress(65, kCtrl), KeyPress(16, kShift), KeyPress(0, kAlt), KeyPress(41)},
                           Sel(12, 13, 4, 5, 12, 13), 1, 1},
                      // Without Alt there is never a scroll.
                      Case{"NoAltNoScroll", kBig, Rest(390, 270, 20, 20), 1, 1,
                           {KeyPress(kKeyRight, kShift), KeyPress(kKeyDown, kShift)},
                           Rest(400, 280, 20, 20), 1, 1},
                      // Alt+Up at row 1: the follow always holds, the value goes to the minimum.
                      Case{"AltUpAtRowOneJumpsToTop", kBig, Rest(5, 1, 20, 20), 1, 10,
                           {KeyPress(kKeyUp, kAlt)},
                           Rest(5, 1, 20, 20), 1, 1},
                      Case{"AltUpAtRowOneAtTopStays", kBig, Rest(5, 1, 20, 20), 1, 1,
                           {KeyPress(kKeyUp, kAlt | kShift)},
                           Rest(5, 1, 20, 20), 1, 1},
                      // Moving up tests the new top edge with >= and scrolls to that edge minus 1.
                      Case{"AltUpOntoVisibleTopScrolls", kBig, Rest(5, 10, 20, 20), 1, 10,
                           {KeyPress(kKeyUp, kAlt)},
                           Rest(5, 9, 20, 20), 1, 8},
                      Case{"AltUpStillBelowVisibleTopDoesNotScroll", kBig, Rest(5, 11, 20, 20), 1, 10,
                           {KeyPress(kKeyUp, kAlt)},
                           Rest(5, 10, 20, 20), 1, 10},
                      Case{"AltLeftOntoVisibleLeftScrolls", kBig, Rest(10, 5, 20, 20), 10, 1,
                           {KeyPress(kKeyLeft, kAlt)},
                           Rest(9, 5, 20, 20), 8, 1},
                      Case{"AltLeftStillRightOfVisibleLeftDoesNotScroll", kBig, Rest(11, 5, 20, 20), 10, 1,
                           {KeyPress(kKeyLeft, kAlt)},
                           Rest(10, 5, 20, 20), 10, 1},
                      // Alt+Down: no scroll while the bottom is inside, then a jump, then the step.
                      Case{"AltDownBottomOnVisibleBottomDoesNotScroll", kBig, Rest(1, 261, 20, 20), 1, 1,
                           {KeyPress(kKeyDown, kAlt)},
                           Rest(1, 262, 20, 20), 1, 1},
                      Case{"AltDownPastVisibleBottomJumps", kBig, Rest(1, 261, 20, 20), 1, 1,
                           {KeyPress(kKeyDown, kAlt | kShift)},
                           Rest(1, 271, 20, 20), 1, 9},
                      Case{"AltDownKeepsScrollingByTheStep", kBig, Rest(1, 261, 20, 20), 1, 1,
                           {KeyPress(kKeyDown, kAlt | kShift), KeyPress(kKeyDown, kAlt | kShift), KeyPress(kKeyDown, kAlt)},
                           Rest(1, 282, 20, 20), 1, 20},
                      Case{"AltDownStopsAtMaximum", kBig, Rest(1, 775, 20, 20), 1, 1,
                           {KeyPress(kKeyDown, kAlt | kShift)},
                           Rest(1, 780, 20, 20), 1, 518},
                      Case{"AltRightPastVisibleRightJumps", kBig, Rest(380, 1, 20, 20), 1, 1,
                           {KeyPress(kKeyRight, kAlt | kShift)},
                           Rest(390, 1, 20, 20), 9, 1},
                      Case{"AltRightBringsRightEdgeToViewportEdge", kBig, Rest(975, 1, 20, 20), 1, 1,
                           {KeyPress(kKeyRight, kAlt)},
                           Rest(976, 1, 20, 20), 595, 1},
                      // The follow uses the numbers before the clamp: a step past the picture's
                      // edge still scrolls to the unclamped edge (here beyond Max, so Max).
                      Case{"AltFollowUsesNumbersBeforeTheClamp", kBig, Rest(970, 1, 29, 20), 1, 1,
                           {KeyPress(kKeyRight, kAlt | kShift)},
                           Rest(971, 1, 29, 20), 599, 1},
                      // Ctrl+Up tests the unchanged top strictly and targets the bottom edge.
                      Case{"AltCtrlUpWithTopVisibleDoesNotScroll", kBig, Rest(1, 50, 20, 400), 1, 10,
                           {KeyPress(kKeyUp, kAlt | kCtrl)},
                           Rest(1, 50, 20, 399), 1, 10},
                      Case{"AltCtrlUpTopOnVisibleTopDoesNotScroll", kBig, Rest(1, 9, 20, 400), 1, 10,
                           {KeyPress(kKeyUp, kAlt | kCtrl)},
                           Rest(1, 9, 20, 399), 1, 10},
                      Case{"AltCtrlUpTopHiddenScrollsToBottom", kBig, Rest(1, 5, 20, 400), 1, 10,
                           {KeyPress(kKeyUp, kAlt | kCtrl)},
                           Rest(1, 5, 20, 399), 1, 122},
                      Case{"AltCtrlUpTargetAtLeastMinimum", kBig, Rest(1, 5, 20, 30), 1, 10,
                           {KeyPress(kKeyUp, kAlt | kCtrl | kShift)},
                           Rest(1, 5, 20, 20), 1, 1},
                      Case{"AltCtrlLeftTopHiddenScrollsToRightEdge", kBig, Rest(5, 1, 600, 20), 10, 1,
                           {KeyPress(kKeyLeft, kAlt | kCtrl | kShift)},
                           Rest(5, 1, 590, 20), 194, 1},
                      Case{"AltCtrlLeftLeftOnVisibleLeftDoesNotScroll", kBig, Rest(9, 1, 600, 20), 10, 1,
                           {KeyPress(kKeyLeft, kAlt | kCtrl)},
                           Rest(9, 1, 599, 20), 10, 1},
                      Case{"AltCtrlDownGrowsAndFollows", kBig, Rest(1, 200, 20, 81), 1, 1,
                           {KeyPress(kKeyDown, kAlt | kCtrl | kShift)},
                           Rest(1, 200, 20, 91), 1, 9},
                      Case{"AltCtrlShiftRightGrowsAndFollows", kBig, Rest(300, 1, 100, 20), 1, 1,
                           {KeyPress(kKeyRight, kAlt | kCtrl | kShift)},
                           Rest(300, 1, 110, 20), 9, 1},
                      Case{"AltCtrlRightNoFollowWhileInside", kBig, Rest(300, 1, 99, 20), 1, 1,
                           {KeyPress(kKeyRight, kAlt | kCtrl)},
                           Rest(300, 1, 100, 20), 1, 1},
                      // A key during a left drag moves the anchor, the band's fixed corner.
                      Case{"KeyDuringLeftDragMovesTheFixedCorner", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 50, 50), Drag(kL, 60, 60), KeyPress(kKeyRight, kShift), Drag(kL, 70, 70), Release(kL, 70, 70)},
                           Rest(60, 50, 10, 20), 1, 1},
                      Case{"KeyDuringLeftDragThenDragAcross", kSmall, kWholeSmall, 1, 1,
                           {Press(kL, 50, 50), Drag(kL, 60, 60), KeyPress(kKeyDown, kShift), Drag(kL, 55, 55), Release(kL, 55, 55)},
                           Rest(50, 55, 5, 5), 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the swallow state after a resize -----------------------------------------------

TEST(SelectionEditorSwallow, FirstPointerEventAfterResizeIsDropped) {
    for (const Event& first : {Press(kL, 40, 40), Drag(kL, 40, 40), Drag(0, 40, 40),
                               Release(kL, 40, 40), Press(kR, 20, 20), Release(kR, 20, 20)}) {
        Rig rig(kSmall);
        rig.sel = kBlock;
        rig.run({Resized(), first});
        EXPECT_EQ(rig.sel, kBlock);
        EXPECT_FALSE(rig.editor.skipMouseEvent());
        // clang-format on
        EXPECT_EQ(rig.shows, 0);
        // The state has ended: the next press acts.
        rig.run({Press(kL, 40, 40)});
        EXPECT_EQ(rig.sel, Rest(40, 40, 0, 0));
    }
}

TEST(SelectionEditorSwallow, KeysAreNotSwallowedAndDoNotEndTheState) {
    Rig rig(kSmall);
    rig.sel = kBlock;
    rig.run({Resized(), KeyPress(kKeyRight)});
    EXPECT_EQ(rig.sel, Rest(11, 10, 20, 20));
    EXPECT_TRUE(rig.editor.skipMouseEvent());
}

TEST(SelectionEditorSwallow, PictureLoadEndsStateAndDisarmsMove) {
    Rig rig(kSmall);
    rig.sel = kBlock;
    rig.run({Press(kR, 15, 15), Resized()});
    EXPECT_TRUE(rig.editor.moveMode());
    rig.editor.pictureLoaded();
    EXPECT_FALSE(rig.editor.skipMouseEvent());
    EXPECT_FALSE(rig.editor.moveMode());
    rig.run({Drag(kR, 40, 40)});
    EXPECT_EQ(rig.sel, Sel(10, 10, 20, 20, -5, -5));
}

TEST(SelectionEditorSwallow, SeveralResizesSwallowOnlyOneEvent) {
    Rig rig(kSmall);
    rig.run({Resized(), Resized(), Press(kL, 5, 5), Press(kL, 7, 8)});
    EXPECT_EQ(rig.sel, Rest(7, 8, 0, 0));
}

// --- redraws, captions and the order of scroll and redraw ----------------------------

TEST(SelectionEditorRedraw, OnlySelectionChangesRedraw) {
    Rig rig(kSmall);
    rig.sel = kBlock;
    rig.run({Press(kR, 15, 15), Release(kR, 15, 15), KeyPress(36), KeyPress(16, kShift),
             Drag(0, 3, 3), Drag(kL | kR, 3, 3), Press(kM, 3, 3), Release(kL, 3, 3)});
    EXPECT_EQ(rig.shows, 0);  // right press, releases, other keys, plain moves: no redraw
    rig.run({Drag(kR, 20, 20)});
    EXPECT_EQ(rig.shows, 1);
    rig.run({Press(kL, 4, 4), Drag(kL, 9, 9), KeyPress(kKeyLeft)});
    EXPECT_EQ(rig.shows, 4);
}

TEST(SelectionEditorRedraw, CaptionsOfClicks) {
    Rig rig(kSmall);
    rig.run({Press(kL, 0, 0), Release(kL, 0, 0)});
    ASSERT_EQ(rig.captions.size(), 1u);
    EXPECT_EQ(rig.captions.back(), "選択なし");
    rig.run({Press(kL, 0, 5)});
    EXPECT_EQ(rig.captions.back(), "選択(0,5)-(0,5) W=1 H=1");
    rig.run({Press(kL, 10, 20), Drag(kL, 19, 20)});
    EXPECT_EQ(rig.captions.back(), "選択(10,20)-(19,20) W=10 H=1");
}

TEST(SelectionEditorRedraw, ScrollRunsBeforeTheRedraw) {
    Rig rig(kBig);
    std::vector<int> vsAtShow;
    SelectionEditor editor(rig.sel, rig.view, [&] { vsAtShow.push_back(rig.view.vs.value()); });
    rig.sel = Rest(1, 261, 20, 20);
    editor.keyDown(kKeyDown, kAlt | kShift);
    ASSERT_EQ(vsAtShow.size(), 1u);
    EXPECT_EQ(vsAtShow[0], 9);
    EXPECT_EQ(rig.vsChanges, 1);
    EXPECT_EQ(rig.hsChanges, 0);
}

TEST(SelectionEditorRedraw, LeftDragSeesTheImageWhereTheScrollPutIt) {
    // Two moves at the same pointer position just past the visible right: the first
    // scrolls, which moves the visible part, so the second no longer does.
    Rig rig(kBig);
    rig.run({Press(kL, 100, 100), Drag(kL, 402, 100), Drag(kL, 402, 100)});
    EXPECT_EQ(rig.view.hs.value(), 2);
    EXPECT_EQ(rig.hsChanges, 1);
}

// --- the right drag's remembered pointer --------------------------------------------

TEST(SelectionEditorRightDrag, LastMoveFollowsPressAndMoves) {
    Rig rig(kSmall);
    rig.sel = kBlock;
    rig.run({Press(kR, 12.25f, 13.5f)});
    EXPECT_FLOAT_EQ(rig.editor.lastMoveX(), 12.25f);
    EXPECT_FLOAT_EQ(rig.editor.lastMoveY(), 13.5f);
    rig.run({Drag(kR, 20, 21)});
    EXPECT_FLOAT_EQ(rig.editor.lastMoveX(), 20.f);
    EXPECT_FLOAT_EQ(rig.editor.lastMoveY(), 21.f);
    // A press outside does not touch them; resetLastMove clears them.
    rig.run({Release(kR, 20, 21), Press(kR, 90, 70)});
    EXPECT_FLOAT_EQ(rig.editor.lastMoveX(), 20.f);
    rig.editor.resetLastMove();
    EXPECT_EQ(rig.editor.lastMoveX(), 0.f);
    EXPECT_EQ(rig.editor.lastMoveY(), 0.f);
}

// --- a picture that fits the viewport -------------------------------------------------
// Its bars are disabled and their range runs from below 1 up to 1; a follow rule must
// not push the picture away from the viewport's top-left corner.

class PictureThatFits : public ::testing::TestWithParam<Case> {};
TEST_P(PictureThatFits, NeverScrolls) { RunCase(GetParam()); }

constexpr Geometry kAlmostTall{300, 277, 401, 282};  // VS range -5..1
constexpr Geometry kExact{401, 282, 401, 282};       // both ranges 0..1

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, PictureThatFits,
    ::testing::Values(Case{"AltShiftDownPastTheVisibleBottom", kAlmostTall, Rest(1, 250, 10, 26), 1, 1,
                           {KeyPress(kKeyDown, kAlt | kShift)},
                           Rest(1, 251, 10, 26), 1, 1},
                      Case{"AltCtrlDownOnTheWholeExactPicture", kExact, Rest(1, 1, 400, 281), 1, 1,
                           {KeyPress(kKeyDown, kAlt | kCtrl), KeyPress(kKeyRight, kAlt | kCtrl)},
                           Rest(1, 1, 400, 281), 1, 1},
                      Case{"AltUpAndLeftStayAtTheCorner", kExact, Rest(5, 5, 10, 10), 1, 1,
                           {KeyPress(kKeyUp, kAlt | kShift), KeyPress(kKeyLeft, kAlt | kShift)},
                           Rest(1, 1, 10, 10), 1, 1}));
// clang-format on

}  // namespace
}  // namespace trimlet

namespace trimlet {
namespace {

// A whole new selection (trimmed, typed, remembered) scrolls the view as Alt with an
// arrow would: to the near edge when that is out of view on its side, else to the far
// edge when that one is; the picture that fits never scrolls.
TEST(SelectionEditorSelect, FollowsLikeAltWithAnArrow) {
    struct SelectCase {
        const char* what;
        Geometry geometry;
        int hs0, vs0;
        Selection next;
        int wantHs, wantVs;
    };
    const SelectCase cases[] = {
        {"inside the view", kBig, 1, 1, Rest(10, 10, 100, 100), 1, 1},
        {"beyond the bottom right", kBig, 1, 1, Rest(500, 400, 99, 49), 198, 167},
        {"above and left of a scrolled view", kBig, 300, 300, Rest(20, 30, 5, 5), 19, 29},
        {"larger than the view: its near edge", kBig, 300, 300, Rest(1, 1, 999, 799), 1, 1},
        {"the whole block past the far edge", kBig, 1, 1, Rest(900, 700, 99, 99), 598, 517},
        {"a picture that fits", kSmall, 1, 1, Rest(50, 40, 49, 39), 1, 1},
    };
    for (const SelectCase& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(c.geometry, c.hs0, c.vs0);
        rig.editor.select(c.next);
        EXPECT_EQ(rig.sel, c.next);
        EXPECT_EQ(rig.shows, 1);
        EXPECT_EQ(rig.view.hs.value(), c.wantHs);
        EXPECT_EQ(rig.view.vs.value(), c.wantVs);
    }
}

}  // namespace
}  // namespace trimlet
