// Editing the selection in the real main window on the offscreen platform: mouse and
// key events sent to the viewport, read back from the caption, the selection, the
// scroll bars, the image box position and the painted pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include "app/frmcrop.h"
#include "app/viewtest.h"
#include "support/frmcroppeer.h"

namespace trimlet {

static std::ostream& operator<<(std::ostream& os, const Selection& s) {
    return os << "{left " << s.selLeft << ", top " << s.selTop << ", dx " << s.selDX << ", dy "
              << s.selDY << ", anchor " << s.anchorX << "," << s.anchorY << "}";
}

namespace {

using EditingTest = testing::ViewTest;

TEST_F(EditingTest, LeftClickLeavesOnePixelAndClickOnFirstPixelClearsTheCaption) {
    start(200, 150);
    press(Qt::LeftButton, {10, 20});
    release(Qt::LeftButton, {10, 20});
    EXPECT_EQ(title(), QStringLiteral("選択(10,20)-(10,20) W=1 H=1"));
    expectShownHighlight();  // image-box pixel 9, 19 alone
    press(Qt::LeftButton, {0, 0});
    release(Qt::LeftButton, {0, 0});
    EXPECT_EQ(title(), QStringLiteral("選択なし"));
    expectShownHighlight();
    press(Qt::LeftButton, {0, 5});
    release(Qt::LeftButton, {0, 5});
    EXPECT_EQ(title(), QStringLiteral("選択(0,5)-(0,5) W=1 H=1"));
}

TEST_F(EditingTest, LeftDragDrawsRubberBandAndPaintsOnlyTheBlock) {
    start(200, 150);
    press(Qt::LeftButton, {60, 50});
    move(Qt::LeftButton, {90, 80});
    EXPECT_EQ(title(), QStringLiteral("選択(60,50)-(90,80) W=31 H=31"));
    expectShownHighlight();
    move(Qt::LeftButton, {20.4, 30.6});  // left of and above the press
    release(Qt::LeftButton, {20.4, 30.6});
    EXPECT_EQ(Peer(window).selection(), (Selection{20, 31, 40, 19, 20, 31}));
    EXPECT_EQ(title(), QStringLiteral("選択(20,31)-(60,50) W=41 H=20"));
    expectShownHighlight();
}

// The loupe during a drag shows the pointer's pixel and its neighbours, one picture pixel
// to 8 x 8 device pixels at every scale; the release hides it. After an arrow key it
// shows the moved corner for a moment (the bottom-right one with Ctrl) and then goes.
TEST_F(EditingTest, TheLoupeShowsThePicturePixelsAroundTheEditedPoint) {
    start(200, 150);
    press(Qt::LeftButton, {60, 50});
    move(Qt::LeftButton, {3.5, 140.2});  // near the bottom-left corner: grey round it
    expectShownLoupe({3, 140});
    // Its caption fits under the pixels at every scale: the loupe is as wide as they are.
    EXPECT_EQ(box()->loupe()->box.width(), box()->loupe()->pixels.width() + 2 * kLoupeFrame);
    expectShownHighlight();
    release(Qt::LeftButton, {3.5, 140.2});
    EXPECT_FALSE(box()->loupe());
    expectShownHighlight();
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(title(), QStringLiteral("選択(4,50)-(61,140) W=58 H=91"));
    expectShownLoupe({60, 139});
    key(Qt::Key_Left);
    expectShownLoupe({2, 49});
    expectShownHighlight();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !box()->loupe(); }, 5000)) << "the loupe stayed";
    expectShownHighlight();
}

TEST_F(EditingTest, DragPastThePictureStopsAtItsEdges) {
    start(200, 150);
    press(Qt::LeftButton, {60, 50});
    move(Qt::LeftButton, {-40, 900});
    release(Qt::LeftButton, {-40, 900});
    EXPECT_EQ(Peer(window).selection(), (Selection{1, 50, 59, 100, 1, 50}));
    EXPECT_EQ(title(), QStringLiteral("選択(1,50)-(60,150) W=60 H=101"));
    expectShownHighlight();
}

TEST_F(EditingTest, DragPastTheVisibleEdgeScrollsOnePixelPerMove) {
    start(1000, 800);  // viewport V x U = 401 x 282 at ratio 1: HS 1..599, VS 1..518
    const int V = Peer(window).view().viewportWidth, U = Peer(window).view().viewportHeight;
    press(Qt::LeftButton, {100, 100});
    for (int i = 0; i < 5; ++i) {
        // The pointer stays at the same place on the screen, beyond the bottom right of
        // the viewport; the box moves under it.
        const QPoint onScreen(V + 4, U + 8);
        move(Qt::LeftButton, QPointF(onScreen - imagePos()));
        // Each scroll moves what the view shows: nothing of it may be left behind.
        expectShownHighlight();
    }
    expectShownLoupe({V + 8, U + 12});
    // The scroll bars, repainted only where their handles moved, show what a full
    // repaint shows.
    for (QScrollBar* bar : {Peer(window).HS(), Peer(window).VS()}) {
        const QRect device = QRectF(QPointF(bar->mapTo(window.get(), QPoint(0, 0))) * ratio(),
                                    QSizeF(bar->size()) * ratio())
                                 .toAlignedRect();
        const QImage incremental = shownWindow().copy(device);
        bar->repaint();
        EXPECT_EQ(shownWindow().copy(device), incremental) << bar->objectName().toStdString();
    }
    EXPECT_EQ(Peer(window).HS()->value(), 6);
    EXPECT_EQ(Peer(window).VS()->value(), 6);
    EXPECT_EQ(imagePos(), QPoint(-5, -5));
    // The last move was at V + 4 + 4, U + 8 + 4: the box had moved by 4 then.
    EXPECT_EQ(Peer(window).selection(), (Selection{100, 100, V + 8 - 100, U + 12 - 100, 100, 100}));
    expectShownHighlight();
    // Back inside the view: no further scroll.
    move(Qt::LeftButton, {300, 200});
    EXPECT_EQ(Peer(window).HS()->value(), 6);
    release(Qt::LeftButton, {300, 200});
}

TEST_F(EditingTest, NarrowTallPictureDoesNotScrollDuringADrag) {
    start(300, 1000);
    press(Qt::LeftButton, {10, 10});
    move(Qt::LeftButton, {10, 400});
    EXPECT_EQ(Peer(window).VS()->value(), 1);
    EXPECT_EQ(imagePos(), QPoint(0, 0));
}

TEST_F(EditingTest, RightDragInsideMovesOutsideDoesNothing) {
    start(200, 150);
    press(Qt::LeftButton, {20, 20});
    move(Qt::LeftButton, {40, 30});
    release(Qt::LeftButton, {40, 30});
    press(Qt::RightButton, {40, 30});  // the last column and row count as inside
    move(Qt::RightButton, {50, 45});
    release(Qt::RightButton, {50, 45});
    EXPECT_EQ(Peer(window).selection(), (Selection{30, 35, 20, 10, 30, 35}));
    expectShownHighlight();
    press(Qt::RightButton, {190, 140});
    move(Qt::RightButton, {100, 100});
    release(Qt::RightButton, {100, 100});
    EXPECT_EQ(Peer(window).selection(), (Selection{30, 35, 20, 10, 30, 35}));
    // Pushed beyond the right edge it stops with its right column at the width.
    press(Qt::RightButton, {35, 40});
    move(Qt::RightButton, {500, 40});
    release(Qt::RightButton, {500, 40});
    EXPECT_EQ(title(), QStringLiteral("選択(180,35)-(200,45) W=21 H=11"));
}

TEST_F(EditingTest, RightDragFollowsTheMovedSelection) {
    start(1000, 800);
    window->SelectWholePicture();
    press(Qt::LeftButton, {100, 100});
    move(Qt::LeftButton, {149, 149});
    release(Qt::LeftButton, {149, 149});
    // Moved down so that its bottom row is 47 rows below the viewport (329 at ratio 1).
    const int U = Peer(window).view().viewportHeight;  // 282 at ratio 1
    const double to = 120 + (U + 47 - 149);
    press(Qt::RightButton, {120, 120});
    move(Qt::RightButton, {120, to});
    EXPECT_EQ(Peer(window).VS()->value(), 47);  // bottom row - viewport height
    EXPECT_EQ(imagePos(), QPoint(0, -46));
    EXPECT_EQ(Peer(window).HS()->value(), 1);
    release(Qt::RightButton, {120, to});
    expectShownHighlight();
}

TEST_F(EditingTest, DoubleClickSelectsAllAgainAndRightDoubleClickIsAPress) {
    start(200, 150);
    press(Qt::LeftButton, {30, 30});
    release(Qt::LeftButton, {30, 30});
    mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {30, 30});
    release(Qt::LeftButton, {30, 30});
    EXPECT_EQ(title(), QStringLiteral("選択(1,1)-(200,150) W=200 H=150"));
    mouse(QEvent::MouseButtonDblClick, Qt::RightButton, Qt::RightButton, {30, 30});
    EXPECT_TRUE(Peer(window).editor().moveMode());
}

TEST_F(EditingTest, TheFirstPointerEventAfterAResizeIsDropped) {
    start(200, 150);
    window->resize(window->width() + 20, window->height() + 10);
    QCoreApplication::processEvents();
    ASSERT_TRUE(Peer(window).editor().skipMouseEvent());
    press(Qt::LeftButton, {30, 30});  // swallowed
    release(Qt::LeftButton, {30, 30});
    EXPECT_EQ(title(), QStringLiteral("選択(1,1)-(200,150) W=200 H=150"));
    EXPECT_FALSE(Peer(window).editor().skipMouseEvent());
    // A resize, then a plain move: the move is what gets dropped; the press acts.
    window->resize(window->width() - 20, window->height() - 10);
    QCoreApplication::processEvents();
    move(Qt::NoButton, {40, 40});
    press(Qt::LeftButton, {40, 40});
    EXPECT_EQ(title(), QStringLiteral("選択(40,40)-(40,40) W=1 H=1"));
}

TEST_F(EditingTest, ALoadEndsTheSwallowState) {
    start(200, 150);
    window->resize(window->width() + 20, window->height() + 10);
    QCoreApplication::processEvents();
    ASSERT_TRUE(Peer(window).editor().skipMouseEvent());
    Peer(window).cmdCBChk()->click();
    EXPECT_FALSE(Peer(window).editor().skipMouseEvent());
    press(Qt::LeftButton, {40, 40});
    EXPECT_EQ(title(), QStringLiteral("選択(40,40)-(40,40) W=1 H=1"));
}

TEST_F(EditingTest, ArrowKeysMoveCtrlResizesShiftStepsTen) {
    start(200, 150);
    press(Qt::LeftButton, {20, 20});
    move(Qt::LeftButton, {40, 30});
    release(Qt::LeftButton, {40, 30});
    key(Qt::Key_Right);
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(title(), QStringLiteral("選択(21,30)-(41,40) W=21 H=11"));
    key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(title(), QStringLiteral("選択(21,30)-(51,39) W=31 H=10"));
    key(Qt::Key_Left, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(title(), QStringLiteral("選択(1,30)-(31,39) W=31 H=10"));
    EXPECT_TRUE(box()->hasFocus());  // the arrows never move the focus
    expectShownHighlight();
}

TEST_F(EditingTest, OtherKeysLeaveTheCaptionAlone) {
    start(200, 150);
    press(Qt::LeftButton, {20, 20});
    release(Qt::LeftButton, {20, 20});
    window->setWindowTitle(QStringLiteral("marker"));  // any rewrite would show
    for (Qt::Key k :
         {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_A, Qt::Key_Shift, Qt::Key_Space, Qt::Key_Escape})
        key(k);
    key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(title(), QStringLiteral("marker"));
    EXPECT_EQ(Peer(window).selection(), (Selection{20, 20, 0, 0, 20, 20}));
}

// Alt+arrow reaches the picture as a key press with Alt held, and Alt never brings
// the menu bar into play, also with a style that navigates the menu bar with Alt.
class AltKeyTest : public EditingTest, public ::testing::WithParamInterface<const char*> {
protected:
    QString previousStyle;
    void SetUp() override {
        previousStyle = QApplication::style()->name();
        QApplication::setStyle(QStyleFactory::create(QString::fromLatin1(GetParam())));
    }
    void TearDown() override {
        window.reset();
        QApplication::setStyle(QStyleFactory::create(previousStyle));
    }
};

TEST_P(AltKeyTest, AltArrowScrollsAndTheMenuBarStaysInactive) {
    start(1000, 800);
    const int V = Peer(window).view().viewportWidth;  // 401 at ratio 1
    press(Qt::LeftButton, {V - 21.0, 10});
    move(Qt::LeftButton, {V - 2.0, 20});
    release(Qt::LeftButton, {V - 2.0, 20});
    key(Qt::Key_Right, Qt::AltModifier);  // right edge V - 1 still inside: no scroll
    EXPECT_EQ(Peer(window).HS()->value(), 1);
    key(Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(title(), QStringLiteral("選択(%1,10)-(%2,20) W=20 H=11").arg(V - 10).arg(V + 9));
    EXPECT_EQ(Peer(window).HS()->value(), 9);  // right edge V + 9 - viewport width V
    EXPECT_EQ(imagePos(), QPoint(-8, 0));
    // Alt pressed and released alone: no menu keyboard mode, the focus stays.
    QTest::keyPress(box(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(box(), Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->menuBar()->activeAction(), nullptr);
    EXPECT_TRUE(box()->hasFocus());
    key(Qt::Key_Left, Qt::AltModifier);  // still reaches the picture
    EXPECT_EQ(title(), QStringLiteral("選択(%1,10)-(%2,20) W=20 H=11").arg(V - 11).arg(V + 8));
    EXPECT_EQ(window->menuBar()->activeAction(), nullptr);
    expectShownHighlight();
}

INSTANTIATE_TEST_SUITE_P(Styles, AltKeyTest, ::testing::Values("Fusion", "Windows"));

TEST_F(EditingTest, WindowsStyleReallyNavigatesTheMenuBarWithAlt) {
    // Guards the test above: the style does take Alt for the menu bar when the focus
    // is on another control.
    std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
    ASSERT_TRUE(windows);
    EXPECT_TRUE(windows->styleHint(QStyle::SH_MenuBar_AltKeyNavigation));
    const QString previous = QApplication::style()->name();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    start(200, 150);
    Peer(window).cmdSave(0)->setFocus();
    QTest::keyPress(Peer(window).cmdSave(0), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(Peer(window).cmdSave(0), Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::processEvents();
    EXPECT_NE(window->menuBar()->activeAction(), nullptr);
    window.reset();
    QApplication::setStyle(QStyleFactory::create(previous));
}

// While a button is held the image box keeps the pointer: moves and the release
// outside it reach the handlers with positions below 0 or beyond the picture.
TEST_F(EditingTest, ADragKeepsThePointerOutsideThePicture) {
    start(200, 150);
    // QTest sends whole logical positions; at a fractional ratio they lie anywhere
    // inside a device pixel.
    const QPoint pressAt(50, 40);
    const QPointF device = deviceAt(pressAt);
    const int left = static_cast<int>(std::lrint(device.x()));
    const int top = static_cast<int>(std::lrint(device.y()));
    QTest::mousePress(box(), Qt::LeftButton, Qt::NoModifier, pressAt);
    // Onto the grey viewport right of and below the picture, then onto the buttons.
    QTest::mouseMove(box(), QPoint(300, 200));
    EXPECT_EQ(Peer(window).selection(), (Selection{left, top, 200 - left, 150 - top, left, top}));
    QTest::mouseMove(box(), QPoint(-5, -20));
    QTest::mouseRelease(box(), Qt::LeftButton, Qt::NoModifier, QPoint(-5, -20));
    EXPECT_EQ(Peer(window).selection(), (Selection{1, 1, left - 1, top - 1, 1, 1}));
    EXPECT_EQ(title(), QStringLiteral("選択(1,1)-(%1,%2) W=%1 H=%2").arg(left).arg(top));
}

}  // namespace
}  // namespace trimlet
