// The main window on the offscreen platform: controls, the clipboard load, the
// highlight, the scroll bars and the layout after loads.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <string>
#include <vector>

#include "app/frmcrop.h"
#include "support/fakes.h"
#include "support/frmcroppeer.h"

namespace trimlet {
namespace {

using testing::FakeClipboard;
using testing::FakeGrabber;
using testing::PatternImage;

class FrmCropTest : public ::testing::Test {
protected:
    FakeClipboard clipboard;
    FakeGrabber grabber;
    std::unique_ptr<frmCrop> window;

    void start(const QImage& picture, QSize client = QSize(417, 330)) {
        clipboard.image = picture;
        CropServices s;
        s.clipboard = &clipboard;
        s.grabber = &grabber;
        window = std::make_unique<frmCrop>(s);
        window->Form_Load(QString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        setClient(client);
    }
    void setClient(QSize client) {
        window->resize(client.width(), client.height() + window->menuBar()->height());
        QCoreApplication::processEvents();
        ASSERT_EQ(window->centralWidget()->size(), client);
    }
    void reload(const QImage& picture) {
        clipboard.image = picture;
        Peer(window).cmdCBChk()->click();
    }
};

TEST_F(FrmCropTest, ShowsEveryControlOfTheButtonStripAndTheMenu) {
    start(PatternImage(10, 10));
    struct Button {
        QPushButton* button;
        std::string text;
        QRect geometry;
    };
    std::vector<Button> buttons = {
        {Peer(window).cmdCap(), "画面ｷｬﾌﾟﾁｬ", {200, 4, 73, 25}},
        {Peer(window).cmdCBChk(), "再読込", {272, 4, 73, 25}},
    };
    for (std::size_t i = 0; i < kSaveFormats.size(); ++i) {
        const SaveFormat& f = kSaveFormats[i];
        buttons.push_back({Peer(window).cmdSave(static_cast<int>(i)),
                           std::string(f.caption),
                           {f.button.left, f.button.top, f.button.width, f.button.height}});
    }
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->text().toStdString(), b.text);
        EXPECT_EQ(b.button->geometry(), b.geometry) << b.text;
        EXPECT_TRUE(b.button->isVisible()) << b.text;
        // Inside the strip, and neighbours share at most their one-pixel border.
        EXPECT_TRUE(window->centralWidget()->rect().contains(b.geometry)) << b.text;
        for (const auto& other : buttons) {
            if (other.button == b.button) continue;
            EXPECT_LE(b.geometry.intersected(other.geometry).width(), 1) << b.text;
        }
    }
    QComboBox* q = Peer(window).cbJpg();
    EXPECT_EQ(q->currentText(), "60");
    QStringList items;
    for (int i = 0; i < q->count(); ++i) items << q->itemText(i);
    EXPECT_EQ(items, (QStringList{"10", "30", "60", "70", "80", "100"}));
    EXPECT_TRUE(q->isEditable());
    const auto labels = window->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
                            [](QLabel* l) { return l->text() == "%" && l->isVisible(); }));

    const QList<QAction*> top = window->menuBar()->actions();
    ASSERT_EQ(top.size(), 1);
    EXPECT_EQ(top[0]->text(), "メニュー");
    QStringList menuTexts;
    for (QAction* a : top[0]->menu()->actions()) menuTexts << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(menuTexts, (QStringList{"選択範囲をコピー", "余白を除く", "範囲を指定...",
                                      "前回の範囲", "拡大鏡", "-", "キャプチャ時のウェイト", "-",
                                      "つかいかた", "バージョン", "-", "終了"}));
    EXPECT_EQ(Peer(window).mnCopy()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(Peer(window).mnTrim()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    EXPECT_EQ(Peer(window).mnRect()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(Peer(window).mnLast()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_EQ(Peer(window).mnLoupe()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    EXPECT_TRUE(Peer(window).mnLoupe()->isCheckable() && Peer(window).mnLoupe()->isChecked());
    EXPECT_EQ(Peer(window).mnHelp()->shortcut(), QKeySequence(Qt::Key_F1));
    const char* waits[] = {"0.5秒", "1.0秒(デフォルト)", "2.0秒", "3.0秒"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Peer(window).mnWait(i)->text(), QString::fromUtf8(waits[i]));
        EXPECT_EQ(Peer(window).mnWait(i)->isChecked(), i == 1);
    }
}

TEST_F(FrmCropTest, TabGoesThroughTheSaveButtonsWithPngLast) {
    start(PatternImage(10, 10));
    QWidget* const expected[] = {Peer(window).cmdSave(1), Peer(window).cmdSave(2),
                                 Peer(window).cmdSave(0), Peer(window).cmdSave(3),
                                 Peer(window).cbJpg(),    Peer(window).cmdCap(),
                                 Peer(window).cmdCBChk()};
    // The focus chain also holds inner widgets (the box's line edit): only ours count.
    std::vector<QWidget*> order;
    QWidget* w = expected[0];
    do {
        if (std::find(std::begin(expected), std::end(expected), w) != std::end(expected))
            order.push_back(w);
        w = w->nextInFocusChain();
    } while (w != expected[0] && order.size() < std::size(expected));
    EXPECT_EQ(order, std::vector<QWidget*>(std::begin(expected), std::end(expected)));
}

// The keys edit the picture from the start: the picture has the focus when the window
// first becomes active, whichever widget the focus chain happens to start with.
TEST_F(FrmCropTest, ThePictureHasTheFocusWhenTheWindowFirstBecomesActive) {
    start(PatternImage(10, 10));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), Peer(window).picCrop());
}

TEST_F(FrmCropTest, StartUpShowsTheClipboardPictureOneToOneAndFullySelected) {
    start(PatternImage(640, 480));
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(640,480) W=640 H=480");
    EXPECT_EQ(Peer(window).picCrop()->imagePos(), QPoint(0, 0));
    EXPECT_EQ(Peer(window).picCrop()->picture().size(), QSize(640, 480));
    EXPECT_EQ(Peer(window).picCrop()->geometry(), QRect(0, 32, 401, 282));
    EXPECT_EQ(Peer(window).HS()->geometry(), QRect(0, 314, 401, 17));
    EXPECT_EQ(Peer(window).VS()->geometry(), QRect(401, 32, 17, 282));
    EXPECT_EQ(grabber.grabs, 0);
}

TEST_F(FrmCropTest, HighlightXorsExactlyTheSelectedBlock) {
    const QImage picture = PatternImage(120, 90);
    start(picture);
    Peer(window).selection() = Selection{11, 5, 9, 3, 11, 5};  // columns 11..20, rows 5..8
    window->ShowSelection();
    EXPECT_EQ(window->windowTitle(), "選択(11,5)-(20,8) W=10 H=4");
    const QImage shown =
        Peer(window).picCrop()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(401, 282));
    int mismatches = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const bool inside = x >= 10 && x <= 19 && y >= 4 && y <= 7;
            QRgb expected = qRgb(128, 128, 128);  // the grey around the picture
            if (x < picture.width() && y < picture.height())
                expected = inside ? (picture.pixel(x, y) ^ 0x00C0FFFF) : picture.pixel(x, y);
            if (shown.pixel(x, y) != (expected | 0xFF000000)) ++mismatches;
        }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(FrmCropTest, DoubleClickSelectsTheWholePictureAgain) {
    start(PatternImage(300, 200));
    Peer(window).selection() = Selection{5, 5, 3, 3, 5, 5};
    window->ShowSelection();
    // On the grey beside the picture a double click does nothing.
    QTest::mouseDClick(Peer(window).picCrop(), Qt::LeftButton, {}, QPoint(350, 7));
    EXPECT_EQ(Peer(window).selection().selDX, 3);
    QTest::mouseDClick(Peer(window).picCrop(), Qt::LeftButton, {}, QPoint(7, 7));
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(300,200) W=300 H=200");
    // The right button's double click is no select-all.
    Peer(window).selection() = Selection{5, 5, 3, 3, 5, 5};
    window->ShowSelection();
    QTest::mouseDClick(Peer(window).picCrop(), Qt::RightButton, {}, QPoint(7, 7));
    EXPECT_EQ(Peer(window).selection().selDX, 3);
}

TEST_F(FrmCropTest, ScrollBarsFollowThePictureAndMoveItLive) {
    start(PatternImage(1000, 800));
    EXPECT_TRUE(Peer(window).HS()->isEnabled());
    EXPECT_TRUE(Peer(window).VS()->isEnabled());
    EXPECT_EQ(Peer(window).HS()->minimum(), 1);
    EXPECT_EQ(Peer(window).HS()->maximum(), 599);
    EXPECT_EQ(Peer(window).VS()->maximum(), 518);
    EXPECT_EQ(Peer(window).HS()->pageStep(), 1000);
    EXPECT_EQ(Peer(window).VS()->pageStep(), 800);
    // The user drags the thumb: the picture follows with every value.
    Peer(window).HS()->setSliderDown(true);
    Peer(window).HS()->setSliderPosition(300);
    EXPECT_EQ(Peer(window).picCrop()->imagePos().x(), -299);
    Peer(window).HS()->setSliderPosition(599);
    Peer(window).HS()->setSliderDown(false);
    EXPECT_EQ(Peer(window).picCrop()->imagePos().x(), -598);
    EXPECT_EQ(Peer(window).view().hs.value(), 599);
    // A trough click moves by the whole picture: it lands on an end.
    Peer(window).VS()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Peer(window).view().vs.value(), 518);
    EXPECT_EQ(Peer(window).picCrop()->imagePos().y(), -517);
    EXPECT_EQ(QApplication::focusWidget(), Peer(window).picCrop());
}

TEST_F(FrmCropTest, ResizingTheWindowRecomputesTheRanges) {
    start(PatternImage(500, 400));
    EXPECT_TRUE(Peer(window).HS()->isEnabled());
    setClient(QSize(516, 448));  // viewport 500 x 400: the picture fits exactly
    EXPECT_EQ(Peer(window).picCrop()->size(), QSize(500, 400));
    EXPECT_FALSE(Peer(window).HS()->isEnabled());
    EXPECT_FALSE(Peer(window).VS()->isEnabled());
    EXPECT_EQ(Peer(window).view().hs.max(), 0);
}

TEST_F(FrmCropTest, ABarIsEnabledOnlyWhenItHasSomewhereToGo) {
    // The viewport is 401 x 282: one pixel more gives Max = Min, a range of one value.
    start(PatternImage(402, 284));
    EXPECT_EQ(Peer(window).HS()->minimum(), Peer(window).HS()->maximum());
    EXPECT_FALSE(Peer(window).HS()->isEnabled());
    EXPECT_TRUE(Peer(window).VS()->isEnabled());
    // The bars follow their models by themselves: a range set on the model shows at once.
    Peer(window).view().hs.setMax(50);
    EXPECT_EQ(Peer(window).HS()->maximum(), 50);
    EXPECT_TRUE(Peer(window).HS()->isEnabled());
    Peer(window).view().vs.setMax(1);
    EXPECT_FALSE(Peer(window).VS()->isEnabled());
}

TEST_F(FrmCropTest, ALoadLaysTheViewOutAtOnce) {
    start(PatternImage(1000, 800));
    Peer(window).HS()->setValue(500);
    Peer(window).VS()->setValue(400);
    ASSERT_EQ(Peer(window).picCrop()->imagePos(), QPoint(-499, -399));
    // A narrower picture: no stale scroll position, the bars are disabled.
    reload(PatternImage(200, 100));
    EXPECT_EQ(Peer(window).picCrop()->imagePos(), QPoint(0, 0));
    EXPECT_EQ(Peer(window).view().imageWidth, 200);
    EXPECT_FALSE(Peer(window).HS()->isEnabled());
    EXPECT_FALSE(Peer(window).VS()->isEnabled());
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(200,100) W=200 H=100");
    // A larger one can be scrolled right away, without a resize.
    reload(PatternImage(3000, 2000));
    EXPECT_TRUE(Peer(window).HS()->isEnabled());
    EXPECT_EQ(Peer(window).HS()->maximum(), 3000 - 401);
    Peer(window).HS()->setValue(2599);
    EXPECT_EQ(Peer(window).picCrop()->imagePos().x(), -2598);
}

TEST_F(FrmCropTest, TheImageBoxHasExactlyThePicturesPixelSize) {
    // Wide pictures used to come out a pixel or two too large; they must not.
    for (const QSize size : {QSize(3852, 4), QSize(4130, 3), QSize(10000, 2), QSize(11868, 1)}) {
        start(PatternImage(size.width(), size.height()));
        EXPECT_EQ(Peer(window).picCrop()->picture().size(), size);
        EXPECT_EQ(Peer(window).view().imageWidth, size.width());
        EXPECT_EQ(Peer(window).selection().selDX, size.width() - 1);
    }
}

TEST_F(FrmCropTest, HugeAndEmptyPicturesKeepTheScrollBarsSane) {
    start(PatternImage(40000, 3));
    EXPECT_EQ(Peer(window).view().imageWidth, 40000);
    EXPECT_EQ(Peer(window).HS()->maximum(), 32767);
    EXPECT_EQ(Peer(window).HS()->pageStep(), 32767);
    Peer(window).HS()->setValue(32767);
    EXPECT_EQ(Peer(window).picCrop()->imagePos().x(), -32766);

    reload(QImage());  // nothing on the clipboard, and the screen gives nothing either
    EXPECT_EQ(grabber.grabs, 1);
    EXPECT_EQ(Peer(window).picCrop()->picture().size(), QSize(0, 0));
    EXPECT_EQ(Peer(window).picCrop()->imagePos(), QPoint(0, 0));
    EXPECT_FALSE(Peer(window).HS()->isEnabled());
    EXPECT_GE(Peer(window).HS()->pageStep(), 1);
    EXPECT_GE(Peer(window).VS()->pageStep(), 1);
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(0,0) W=0 H=0");
    Peer(window).picCrop()->repaint();  // painting nothing must not fail
}

TEST_F(FrmCropTest, AnEmptyClipboardShowsTheScreen) {
    grabber.screen = PatternImage(1280, 1024);
    start(QImage());
    EXPECT_EQ(grabber.grabs, 1);
    EXPECT_EQ(clipboard.writes, 1);
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(1280,1024) W=1280 H=1024");
}

TEST_F(FrmCropTest, AnUnreadableClipboardLeavesTheViewAsItWas) {
    start(PatternImage(300, 200));
    clipboard.image = std::nullopt;
    window->LoadFromClipboard();
    EXPECT_EQ(Peer(window).picCrop()->picture().size(), QSize(300, 200));
    EXPECT_EQ(grabber.grabs, 0);
}

TEST_F(FrmCropTest, ReloadTwiceResetsTheSelectionEachTime) {
    start(PatternImage(300, 200));
    for (int i = 0; i < 2; ++i) {
        Peer(window).selection() = Selection{3, 4, 5, 6, 3, 4};
        Peer(window).cmdCBChk()->click();
        EXPECT_EQ(Peer(window).selection(), (Selection{1, 1, 299, 199, 1, 1}));
    }
}

TEST_F(FrmCropTest, QuitClosesTheWindow) {
    start(PatternImage(10, 10));
    Peer(window).mnQuit()->trigger();
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace trimlet
