// What the help and version windows share: their place over the main window, and that
// they do not stay maximised.
#include <gtest/gtest.h>

#include <QTest>

#include "windows/auxwindow.h"

namespace trimlet {
namespace {

TEST(AuxWindow, CentredOverTheMainWindowsFrameAndKeptInTheWorkArea) {
    struct Case {
        const char* what;
        QRect over;
        QSize client;
        QMargins frame;
        QRect area;
        QPoint expected;
    };
    const QRect screen(0, 0, 1280, 1024);
    const Case cases[] = {
        // openbox's frame: 1 round, a 20-pixel title; the frames' middles meet.
        {"centred", {200, 150, 600, 450}, {300, 584}, {1, 20, 1, 1}, screen, {350, 92}},
        {"no frame", {200, 150, 600, 450}, {300, 584}, {}, screen, {350, 83}},
        // xfwm4's thicker frame: the client sits its left and top parts inside the frame.
        {"thick frame", {200, 150, 600, 450}, {300, 584}, {5, 29, 5, 5}, screen, {350, 95}},
        // Odd differences drop the half pixel on both axes alike.
        {"odd", {0, 0, 101, 51}, {50, 20}, {}, screen, {25, 15}},
        // Over a main window at the top-left corner the frame stays on the screen.
        {"top left", {0, 0, 400, 300}, {300, 584}, {1, 20, 1, 1}, screen, {50, 20}},
        // ... and at the bottom-right corner, and in a work area smaller than the screen.
        {"bottom right", {1000, 900, 280, 124}, {300, 584}, {1, 20, 1, 1}, screen, {979, 439}},
        {"work area", {0, 0, 400, 300}, {300, 584}, {1, 20, 1, 1}, {0, 30, 1280, 994}, {50, 50}},
        // A second screen to the right: kept inside it, not the first.
        {"second screen",
         {1300, 0, 300, 200},
         {292, 74},
         {1, 20, 1, 1},
         {1280, 0, 1920, 1080},
         {1304, 72}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CentredClientPosition(c.over, c.client, c.frame, c.area), c.expected) << c.what;
}

TEST(AuxWindow, AMaximiseIsUndone) {
    QWidget main;
    main.resize(600, 450);
    main.show();
    AuxWindow w(&main, QStringLiteral("つかいかた"), QSize(300, 200));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (const Qt::WindowState state : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
        w.setWindowState(state);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return !(w.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)); },
            2000))
            << state;
        EXPECT_EQ(w.size(), QSize(300, 200)) << state;
    }
}

}  // namespace
}  // namespace trimlet
