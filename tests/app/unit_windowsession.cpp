// The window's session: every window-manager behaviour the end-to-end runs met, one row
// each, played against a simulated window that applies what the session answers.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/windowsession.h"

namespace trimlet {
namespace {

using State = WindowShowState;

constexpr QSize kScreen(1280, 1024);
constexpr QSize kWork(1280, 994);  // a 30-pixel panel
const QMargins kBorder(4, 28, 4, 4);
const QMargins kNoSides(0, 28, 0, 0);  // a maximised window's frame under some managers

// One thing the window system does at a moment: the window's new facts (unchanged
// fields left empty) and the event it sends.
struct Step {
    std::int64_t at;
    WindowEvent event;
    std::optional<State> state = {};
    std::optional<QRect> frame = {};
    std::optional<QMargins> border = {};
    std::optional<bool> visible = {};
};

// A window that does what the session says and remembers what the settings would.
class SimulatedWindow {
public:
    explicit SimulatedWindow(WindowSession& session) : session_(session) {
        facts.screen = kScreen;
        facts.workArea = kWork;
    }

    void play(const Step& s) {
        settleUntil(s.at);
        if (s.state) facts.state = *s.state;
        if (s.frame) facts.frame = *s.frame;
        if (s.border) facts.border = *s.border;
        if (s.visible) facts.visible = *s.visible;
        apply(session_.changed(s.event, facts, s.at), s.at);
    }
    // Runs the settle timer as the widget layer would, up to the moment.
    void settleUntil(std::int64_t moment) {
        while (const std::optional<std::int64_t> due = session_.settleDue()) {
            if (*due > moment) break;
            apply(session_.settled(facts, *due), *due);
            settledAt.push_back(*due);
        }
    }
    // A change the window makes comes back as its event, as from a window system.
    void apply(const WindowCommand& c, std::int64_t now) {
        const QRect before = facts.frame;
        if (c.limits) limits = *c.limits;
        if (c.insideGeometry) facts.frame = c.insideGeometry->marginsAdded(facts.border);
        if (c.resizeInside) facts.frame.setSize(c.resizeInside->grownBy(facts.border));
        if (c.moveFrameTo) facts.frame.moveTopLeft(*c.moveFrameTo);
        // The settings remember only a normal window's rectangle.
        if (c.rememberNormal && facts.state == State::Normal) remembered = facts.frame;
        if (facts.frame != before)
            apply(session_.changed(facts.frame.size() != before.size() ? WindowEvent::Resized
                                                                       : WindowEvent::Moved,
                                   facts, now),
                  now);
    }

    WindowFacts facts;
    std::optional<SizeLimits> limits;
    std::optional<QRect> remembered;
    std::vector<std::int64_t> settledAt;

private:
    WindowSession& session_;
};

TEST(WindowSessionArithmetic, InsideLimitsFromOuterBoundsAndFrame) {
    struct Row {
        QSize minOuter;
        QSize screen;
        QMargins frame;
        SizeLimits expected;
    } rows[] = {
        // No frame known yet: the inside is the outside.
        {{360, 240}, {1280, 1024}, {0, 0, 0, 0}, {{360, 240}, {1280, 1024}}},
        // A frame of 4 at the sides, 28 above and 4 below.
        {{360, 240}, {1280, 1024}, {4, 28, 4, 4}, {{352, 208}, {1272, 992}}},
        // Before start-up sets it the minimum is 0: never negative inside.
        {{0, 0}, {1280, 1024}, {4, 28, 4, 4}, {{0, 0}, {1272, 992}}},
        // A screen smaller than the minimum: the maximum does not fall below it.
        {{360, 240}, {320, 200}, {0, 0, 0, 0}, {{360, 240}, {360, 240}}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ClientSizeLimits(r.minOuter, r.screen, r.frame), r.expected);
}

TEST(WindowSessionArithmetic, SizesAreBroughtIntoTheLimits) {
    const SizeLimits limits{{352, 208}, {1272, 992}};
    EXPECT_EQ(BoundedSize({100, 100}, limits), QSize(352, 208));
    EXPECT_EQ(BoundedSize({400, 100}, limits), QSize(400, 208));
    EXPECT_EQ(BoundedSize({2000, 500}, limits), QSize(1272, 500));
    EXPECT_EQ(BoundedSize({500, 500}, limits), QSize(500, 500));
}

TEST(WindowSession, WindowManagerBehaviours) {
    const QRect normal(200, 150, 600, 450);
    const QRect maximised(QPoint(0, 0), kWork);
    struct Row {
        std::string behaviour;
        std::optional<QRect> requested;  // the settings' rectangle before the first show
        QRect startFrame;
        std::vector<Step> steps;
        QRect expectedFrame;
        std::optional<QRect> expectedRemembered;
    } rows[] = {
        {"first show: the rectangle asked for is applied exactly once the frame is known",
         normal, QRect(200, 150, 592, 418),
         {{0, WindowEvent::Shown, {}, QRect(200, 150, 600, 450).adjusted(0, 0, 8, 32), kBorder, true}},
         normal, normal},
        {"no window manager: no frame, the window keeps what it was given",
         normal, normal,
         {{0, WindowEvent::Shown, {}, {}, QMargins(), true}},
         normal, {}},
        {"started maximised (openbox): the normal frame comes after the state; the "
         "rectangle is applied with the normal frame once the manager settled",
         normal, maximised,
         {{0, WindowEvent::Shown, State::Maximised, maximised, kNoSides, true},
          {500, WindowEvent::StateChanged, State::Normal, QRect(200, 150, 600, 450), kNoSides},
          {560, WindowEvent::Resized, {}, QRect(196, 150, 608, 450), kBorder}},
         normal, normal},
        {"the user resizes a normal window: remembered at once",
         {}, normal,
         {{0, WindowEvent::Shown, {}, {}, kBorder, true},
          {100, WindowEvent::Resized, {}, QRect(200, 150, 700, 500)}},
         QRect(200, 150, 700, 500), QRect(200, 150, 700, 500)},
        {"fluxbox maximises one direction after the other: the half-maximised size is "
         "never remembered",
         {}, normal,
         {{0, WindowEvent::Shown, {}, {}, kBorder, true},
          {100, WindowEvent::Resized, {}, QRect(200, 150, 600, 450)},
          {1000, WindowEvent::Resized, {}, QRect(200, 0, 600, 990)},
          {1040, WindowEvent::Resized, {}, QRect(0, 0, 1276, 990)},
          {1060, WindowEvent::StateChanged, State::Maximised}},
         QRect(0, 0, 1276, 990), normal},
        {"a window manager that maximises by size alone (still normal later): remembered",
         {}, normal,
         {{0, WindowEvent::Shown, {}, {}, kBorder, true},
          {100, WindowEvent::Resized, {}, QRect(0, 0, 1280, 994)}},
         QRect(0, 0, 1280, 994), QRect(0, 0, 1280, 994)},
        {"a border drag past the screen without a window manager to stop it: brought back "
         "to the screen once settled, not while maximising",
         {}, normal,
         {{0, WindowEvent::Shown, {}, {}, kBorder, true},
          {100, WindowEvent::Resized, {}, QRect(200, 150, 1500, 450)}},
         QRect(200, 150, 1280, 450), QRect(200, 150, 1280, 450)},
        {"a maximise that gives the size first (larger than the screen less the frame) is "
         "left alone",
         {}, normal,
         {{0, WindowEvent::Shown, {}, {}, kBorder, true},
          {50, WindowEvent::Resized},
          {100, WindowEvent::Resized, {}, QRect(-4, -28, 1288, 1056)},
          {150, WindowEvent::StateChanged, State::Maximised}},
         QRect(-4, -28, 1288, 1056), normal},
        {"smaller than the least size: grown at once",
         {}, normal,
         {{0, WindowEvent::Shown, {}, {}, kBorder, true},
          {100, WindowEvent::Resized, {}, QRect(200, 150, 100, 50)}},
         QRect(200, 150, 400, 240), QRect(200, 150, 400, 240)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.behaviour);
        WindowSession session;
        SimulatedWindow window(session);
        window.facts.frame = r.startFrame;
        session.setMinimumOuter({kMinTrackWidth, kMinTrackHeight});
        if (r.requested) session.requestOuter(*r.requested);
        for (const Step& s : r.steps) window.play(s);
        window.settleUntil(1'000'000);
        EXPECT_EQ(window.facts.frame, r.expectedFrame);
        EXPECT_EQ(window.remembered, r.expectedRemembered);
        EXPECT_FALSE(session.settleDue()) << "nothing may wait for ever";
        EXPECT_FALSE(session.requestedOuter() && !window.facts.border.isNull() &&
                     window.facts.state == State::Normal)
            << "a framed normal window has had its rectangle applied";
    }
}

TEST(WindowSession, TheLimitsNeverHoldMaximisingBelowTheWorkArea) {
    WindowSession session;
    SimulatedWindow window(session);
    session.setMinimumOuter({kMinTrackWidth, kMinTrackHeight});
    window.play({0, WindowEvent::Shown, State::Normal, QRect(0, 0, 600, 450), kBorder, true});
    ASSERT_TRUE(window.limits);
    EXPECT_EQ(window.limits->minimum, QSize(392, 208));
    // The screen less the frame would be 1272 x 992; the work area is announced instead
    // where larger.
    EXPECT_EQ(window.limits->maximum, QSize(1280, 994));
}

TEST(WindowSession, ACaptureBringsTheWindowBackWhereItWas) {
    const QRect at(200, 150, 600, 450);
    struct Row {
        std::string manager;
        bool positionKnown;
        QPoint placedAt;  // where the window manager maps the window again
        QPoint expected;
    } rows[] = {
        // By the client's position taken as the frame's: one title bar higher each time.
        {"mutter", true, QPoint(200, 122), QPoint(200, 150)},
        {"kwin_x11 and the light managers", true, QPoint(200, 150), QPoint(200, 150)},
        // Wayland neither tells nor takes positions: nothing is moved.
        {"Wayland", false, QPoint(0, 0), QPoint(0, 0)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.manager);
        WindowSession session;
        SimulatedWindow window(session);
        window.play({0, WindowEvent::Shown, State::Normal, at, kBorder, true});
        for (int capture = 0; capture < 3; ++capture) {
            const std::int64_t t = 1000 * (capture + 1);
            session.hiding(window.facts, r.positionKnown);
            window.facts.visible = false;
            const std::optional<QPoint> before = session.showing(t);
            EXPECT_EQ(before.has_value(), r.positionKnown);
            window.play({t + 20, WindowEvent::Shown, {}, QRect(r.placedAt, at.size()), {}, true});
            window.play({t + 40, WindowEvent::Moved});
            window.settleUntil(t + 900);
            EXPECT_EQ(window.facts.frame.topLeft(), r.expected) << "capture " << capture;
        }
    }
}

TEST(WindowSession, SettlingWaitsForQuietButNotForEver) {
    WindowSession session;
    SimulatedWindow window(session);
    window.play({0, WindowEvent::Shown, State::Normal, QRect(0, 0, 600, 450), kBorder, true});
    // A window reaching the work area waits for the manager; events 100 ms apart keep it
    // waiting until 600 ms after the first of them at the latest.
    for (std::int64_t t = 100; t <= 1000; t += 100)
        window.play({t, WindowEvent::Resized, {}, QRect(0, 0, 600 + int(t), 994)});
    window.settleUntil(2000);
    ASSERT_FALSE(window.settledAt.empty());
    EXPECT_EQ(window.settledAt.front(), 700);
    // Alone, it settles 150 ms after the event.
    WindowSession quiet;
    SimulatedWindow other(quiet);
    other.play({0, WindowEvent::Shown, State::Normal, QRect(0, 0, 600, 450), kBorder, true});
    other.play({50, WindowEvent::Resized, {}, QRect(0, 0, 600, 994)});
    other.settleUntil(2000);
    EXPECT_EQ(other.settledAt, std::vector<std::int64_t>{200});
}

TEST(WindowSession, StartUp) {
    // A read that waits for the clipboard's owner shows the window after a second.
    WindowSession session;
    session.startupBegan(100, false);
    EXPECT_FALSE(session.showWhileWaiting(false, 1099, 1000)) << "not running yet";
    session.startupReadRunning(true);
    EXPECT_FALSE(session.showWhileWaiting(false, 1099, 1000));
    EXPECT_TRUE(session.showWhileWaiting(false, 1100, 1000));
    EXPECT_FALSE(session.showWhileWaiting(true, 1100, 1000)) << "shown already";
    session.startupReadRunning(false);
    EXPECT_FALSE(session.showWhileWaiting(false, 5000, 1000)) << "the read is over";
    EXPECT_FALSE(session.startupLoadPending());

    // Where only a focused window may use the clipboard: once active and handed over, or
    // at the end of the wait, exactly once; never after closing.
    WindowSession focused;
    focused.startupBegan(0, true);
    EXPECT_FALSE(focused.startupLoadReady(true)) << "not handed the clipboard yet";
    focused.clipboardHandedOver();
    EXPECT_FALSE(focused.startupLoadReady(false)) << "not active";
    EXPECT_TRUE(focused.startupLoadReady(true));
    EXPECT_TRUE(focused.takeStartupLoad());
    EXPECT_FALSE(focused.takeStartupLoad());
    EXPECT_FALSE(focused.startupLoadReady(true));

    WindowSession closing;
    closing.startupBegan(0, true);
    EXPECT_TRUE(closing.closing());
    EXPECT_FALSE(closing.closing()) << "the shutdown runs once";
    EXPECT_FALSE(closing.takeStartupLoad());
    closing.startupReadRunning(true);
    EXPECT_FALSE(closing.showWhileWaiting(false, 5000, 1000));
}

}  // namespace
}  // namespace trimlet
