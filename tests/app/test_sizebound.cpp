// The bound on the main window's outer size: the arithmetic, and a window that keeps it.
#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <QWidget>

#include "app/sizebound.h"

namespace trimlet {
namespace {

TEST(SizeBoundArithmetic, InsideLimitsFromOuterBoundsAndFrame) {
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

TEST(SizeBoundArithmetic, SizesAreBroughtIntoTheLimits) {
    const SizeLimits limits{{352, 208}, {1272, 992}};
    EXPECT_EQ(BoundedSize({100, 100}, limits), QSize(352, 208));
    EXPECT_EQ(BoundedSize({400, 100}, limits), QSize(400, 208));
    EXPECT_EQ(BoundedSize({2000, 500}, limits), QSize(1272, 500));
    EXPECT_EQ(BoundedSize({500, 500}, limits), QSize(500, 500));
}

TEST(SizeBoundWindow, BoundsTheOuterSizeOnceTheMinimumIsSet) {
    QWidget window;
    window.setMinimumSize(10, 20);
    window.setMaximumSize(5000, 6000);
    SizeBound bound;
    bound.InstallSizeHook(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    // Installed but with no minimum yet: small sizes are allowed.
    window.resize(50, 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(50, 40));

    bound.setMinTrackSize(360, 240);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.frameGeometry().size(), QSize(360, 240)) << "a smaller window grows at once";
    window.resize(10, 10);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.frameGeometry().size(), QSize(360, 240));
    // The maximum told to the window system is never below the work area (window
    // managers hold maximising to it too); a window grown past the screen is brought
    // back once it is clear that it was not being maximised.
    const QSize work = window.screen()->availableGeometry().size();
    EXPECT_GE(window.maximumWidth(), work.width());
    EXPECT_GE(window.maximumHeight(), work.height());
    const QSize screen = window.screen()->geometry().size();
    window.resize(screen * 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.frameGeometry().size() == screen; }, 3000))
        << window.frameGeometry().width() << " x " << window.frameGeometry().height();

    // Maximising is left alone.
    window.showMaximized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isMaximized());
    window.showNormal();
    QCoreApplication::processEvents();

    bound.RemoveSizeHook(&window);
    EXPECT_EQ(window.minimumSize(), QSize(10, 20));
    EXPECT_EQ(window.maximumSize(), QSize(5000, 6000));
    window.resize(50, 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(50, 40));
}

}  // namespace
}  // namespace trimlet
