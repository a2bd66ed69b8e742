// Editing the selection in the real main window on the offscreen platform: mouse and
// key events sent to the image box, read back from the caption, the selection, the
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
#include "support/fakes.h"

namespace trimlet {

static std::ostream& operator<<(std::ostream& os, const Selection& s) {
    return os << "{left " << s.selLeft << ", top " << s.selTop << ", dx " << s.selDX << ", dy "
              << s.selDY << ", anchor " << s.anchorX << "," << s.anchorY << "}";
}

namespace {

using testing::FakeClipboard;
using testing::PatternImage;

constexpr QRgb kXor = 0x00C0FFFF;

class EditingTest : public ::testing::Test {
protected:
    FakeClipboard clipboard;
    std::unique_ptr<frmCrop> window;
    QImage picture;

    // The picture in a client area of 417 x 330 (viewport 401 x 282).
    void start(int width, int height, QSize client = QSize(417, 330)) {
        picture = PatternImage(width, height);
        clipboard.image = picture;
        CropServices s;
        s.clipboard = &clipboard;
        s.processEvents = [] {};
        window = std::make_unique<frmCrop>(s);
        window->Form_Load(QString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->resize(client.width(), client.height() + window->menuBar()->height());
        QCoreApplication::processEvents();
        ASSERT_EQ(window->centralWidget()->size(), client);
        window->picCropImg()->setFocus();
        window->activateWindow();
        QCoreApplication::processEvents();
        // The resize left the swallow state on: a plain move over the picture ends it,
        // as the user's first pointer move would.
        move(Qt::NoButton, {5, 5});
        ASSERT_FALSE(window->editor().skipMouseEvent());
    }

    ImageBox* box() const { return window->picCropImg(); }
    QString title() const { return window->windowTitle(); }

    void mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPointF at,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QMouseEvent e(type, at, box()->mapToGlobal(at), button, buttons, mods);
        QCoreApplication::sendEvent(box(), &e);
    }
    void press(Qt::MouseButton b, QPointF at) { mouse(QEvent::MouseButtonPress, b, b, at); }
    void move(Qt::MouseButtons held, QPointF at) {
        mouse(QEvent::MouseMove, Qt::NoButton, held, at);
    }
    void release(Qt::MouseButton b, QPointF at) {
        mouse(QEvent::MouseButtonRelease, b, Qt::NoButton, at);
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(box(), k, mods);
    }

    // What the window shows now: the backing store as the incremental repaints left
    // it, cut to the viewport.
    QImage shownViewport() {
        QCoreApplication::processEvents();
        const QImage all = window->screen()->grabWindow(window->winId()).toImage();
        const QPoint origin = window->picCrop()->mapTo(window.get(), QPoint(0, 0));
        return all.copy(QRect(origin, window->picCrop()->size()))
            .convertToFormat(QImage::Format_RGB32);
    }

    // Every visible pixel of the picture is shown as it is, except the selected block
    // (image-box columns selLeft-1 .. selLeft+selDX-1), shown XOR-ed with 192,255,255.
    void expectShownHighlight() {
        const QImage shown = shownViewport();
        const Selection& s = window->selection();
        const QRect block(s.selLeft - 1, s.selTop - 1, s.selDX + 1, s.selDY + 1);
        const QPoint at = box()->pos();
        const QRect visible = QRect(-at, window->picCrop()->size()) & box()->rect();
        int wrong = 0;
        for (int y = visible.top(); y <= visible.bottom(); ++y)
            for (int x = visible.left(); x <= visible.right(); ++x) {
                const QRgb pic = picture.pixel(x, y) & 0xFFFFFF;
                const QRgb want = block.contains(x, y) ? pic ^ kXor : pic;
                if ((shown.pixel(x + at.x(), y + at.y()) & 0xFFFFFF) != want && wrong++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << " of block " << block.x() << ","
                                  << block.y() << " " << block.width() << "x" << block.height();
            }
        EXPECT_EQ(wrong, 0);
    }
};

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
    EXPECT_EQ(window->selection(), (Selection{20, 31, 40, 19, 20, 31}));
    EXPECT_EQ(title(), QStringLiteral("選択(20,31)-(60,50) W=41 H=20"));
    expectShownHighlight();
}

TEST_F(EditingTest, DragPastThePictureStopsAtItsEdges) {
    start(200, 150);
    press(Qt::LeftButton, {60, 50});
    move(Qt::LeftButton, {-40, 900});
    release(Qt::LeftButton, {-40, 900});
    EXPECT_EQ(window->selection(), (Selection{1, 50, 59, 100, 1, 50}));
    EXPECT_EQ(title(), QStringLiteral("選択(1,50)-(60,150) W=60 H=101"));
    expectShownHighlight();
}

TEST_F(EditingTest, DragPastTheVisibleEdgeScrollsOnePixelPerMove) {
    start(1000, 800);  // viewport 401 x 282: HS 1..599, VS 1..518
    press(Qt::LeftButton, {100, 100});
    for (int i = 0; i < 5; ++i) {
        // The pointer stays at the same place on the screen, beyond the bottom right of
        // the viewport; the box moves under it.
        const QPoint onScreen(405, 290);
        move(Qt::LeftButton, QPointF(onScreen - box()->pos()));
    }
    EXPECT_EQ(window->HS()->value(), 6);
    EXPECT_EQ(window->VS()->value(), 6);
    EXPECT_EQ(box()->pos(), QPoint(-5, -5));
    EXPECT_EQ(window->selection(), (Selection{100, 100, 309, 194, 100, 100}));
    expectShownHighlight();
    // Back inside the view: no further scroll.
    move(Qt::LeftButton, {300, 200});
    EXPECT_EQ(window->HS()->value(), 6);
    release(Qt::LeftButton, {300, 200});
}

TEST_F(EditingTest, NarrowTallPictureDoesNotScrollDuringADrag) {
    start(300, 1000);
    press(Qt::LeftButton, {10, 10});
    move(Qt::LeftButton, {10, 400});
    EXPECT_EQ(window->VS()->value(), 1);
    EXPECT_EQ(box()->pos(), QPoint(0, 0));
}

TEST_F(EditingTest, RightDragInsideMovesOutsideDoesNothing) {
    start(200, 150);
    press(Qt::LeftButton, {20, 20});
    move(Qt::LeftButton, {40, 30});
    release(Qt::LeftButton, {40, 30});
    press(Qt::RightButton, {40, 30});  // the last column and row count as inside
    move(Qt::RightButton, {50, 45});
    release(Qt::RightButton, {50, 45});
    EXPECT_EQ(window->selection(), (Selection{30, 35, 20, 10, 30, 35}));
    expectShownHighlight();
    press(Qt::RightButton, {190, 140});
    move(Qt::RightButton, {100, 100});
    release(Qt::RightButton, {100, 100});
    EXPECT_EQ(window->selection(), (Selection{30, 35, 20, 10, 30, 35}));
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
    press(Qt::RightButton, {120, 120});
    move(Qt::RightButton, {120, 300});
    EXPECT_EQ(window->VS()->value(), 47);  // bottom row 329 - viewport height 282
    EXPECT_EQ(box()->pos(), QPoint(0, -46));
    EXPECT_EQ(window->HS()->value(), 1);
    release(Qt::RightButton, {120, 300});
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
    EXPECT_TRUE(window->editor().moveMode());
}

TEST_F(EditingTest, TheFirstPointerEventAfterAResizeIsDropped) {
    start(200, 150);
    window->resize(window->width() + 20, window->height() + 10);
    QCoreApplication::processEvents();
    ASSERT_TRUE(window->editor().skipMouseEvent());
    press(Qt::LeftButton, {30, 30});  // swallowed
    release(Qt::LeftButton, {30, 30});
    EXPECT_EQ(title(), QStringLiteral("選択(1,1)-(200,150) W=200 H=150"));
    EXPECT_FALSE(window->editor().skipMouseEvent());
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
    ASSERT_TRUE(window->editor().skipMouseEvent());
    window->cmdCBChk()->click();
    EXPECT_FALSE(window->editor().skipMouseEvent());
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
    EXPECT_EQ(window->selection(), (Selection{20, 20, 0, 0, 20, 20}));
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
    press(Qt::LeftButton, {380, 10});
    move(Qt::LeftButton, {399, 20});
    release(Qt::LeftButton, {399, 20});
    key(Qt::Key_Right, Qt::AltModifier);  // right edge 400 still inside: no scroll
    EXPECT_EQ(window->HS()->value(), 1);
    key(Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(title(), QStringLiteral("選択(391,10)-(410,20) W=20 H=11"));
    EXPECT_EQ(window->HS()->value(), 9);  // 410 - viewport width 401
    EXPECT_EQ(box()->pos(), QPoint(-8, 0));
    // Alt pressed and released alone: no menu keyboard mode, the focus stays.
    QTest::keyPress(box(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(box(), Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->menuBar()->activeAction(), nullptr);
    EXPECT_TRUE(box()->hasFocus());
    key(Qt::Key_Left, Qt::AltModifier);  // still reaches the picture
    EXPECT_EQ(title(), QStringLiteral("選択(390,10)-(409,20) W=20 H=11"));
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
    window->cmdSave(0)->setFocus();
    QTest::keyPress(window->cmdSave(0), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(window->cmdSave(0), Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::processEvents();
    EXPECT_NE(window->menuBar()->activeAction(), nullptr);
    window.reset();
    QApplication::setStyle(QStyleFactory::create(previous));
}

// While a button is held the image box keeps the pointer: moves and the release
// outside it reach the handlers with positions below 0 or beyond the picture.
TEST_F(EditingTest, ADragKeepsThePointerOutsideThePicture) {
    start(200, 150);
    QTest::mousePress(box(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 40));
    // Onto the grey viewport right of and below the picture, then onto the buttons.
    QTest::mouseMove(box(), QPoint(300, 200));
    EXPECT_EQ(window->selection(), (Selection{50, 40, 150, 110, 50, 40}));
    QTest::mouseMove(box(), QPoint(-5, -20));
    QTest::mouseRelease(box(), Qt::LeftButton, Qt::NoModifier, QPoint(-5, -20));
    EXPECT_EQ(window->selection(), (Selection{1, 1, 49, 39, 1, 1}));
    EXPECT_EQ(title(), QStringLiteral("選択(1,1)-(50,40) W=50 H=40"));
}

}  // namespace
}  // namespace trimlet
