// The window's session on a real window: the bound on its outer size.
#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <QWidget>

#include "app/windowsession_qt.h"

namespace trimlet {
namespace {

TEST(WindowSessionOnAWindow, BoundsTheOuterSizeOnceTheMinimumIsSet) {
    QWidget window;
    window.setMinimumSize(10, 20);
    window.setMaximumSize(5000, 6000);
    QtWindowSession bound(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    // Not bounding yet: small sizes are allowed.
    window.resize(50, 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(50, 40));

    bound.start(QSize(360, 240));
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

    bound.stop();
    EXPECT_EQ(window.minimumSize(), QSize(10, 20));
    EXPECT_EQ(window.maximumSize(), QSize(5000, 6000));
    window.resize(50, 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(50, 40));
}

}  // namespace
}  // namespace trimlet
