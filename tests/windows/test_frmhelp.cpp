// The usage help window: its texts and layout, the inert copies, modality.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "app/frmcrop.h"
#include "export/saveformats.h"
#include "support/fakes.h"
#include "support/frmcroppeer.h"
#include "windows/frmhelp.h"
#include "windows/modal.h"

namespace trimlet {
namespace {

template <class W>
W* Child(QWidget* dialog, const char* name) {
    W* w = dialog->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

TEST(FrmHelp, WindowIsAFixedDialogWithTheCaption) {
    frmHelp help;
    EXPECT_EQ(help.windowTitle(), QStringLiteral("つかいかた"));
    EXPECT_EQ(help.size(), QSize(300, 648));
    EXPECT_EQ(help.minimumSize(), help.maximumSize());
    EXPECT_TRUE(help.isModal());
    const Qt::WindowFlags f = help.windowFlags();
    EXPECT_FALSE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(help.windowIcon().isNull());
    EXPECT_EQ(help.windowIcon().availableSizes().value(0), QSize(32, 32));
}

TEST(FrmHelp, FramesAndButtonsSitWhereDesigned) {
    frmHelp help;
    struct Row {
        const char* name;
        const char* parent;
        const char* text;
        QRect pixels;
    } rows[] = {
        // The button frame grew by the PNG row (32), the operation frame by the Ctrl+C
        // row (24); what lies below moved down by that much.
        {"frButton", "frmHelp", "ボタン関係", {8, 8, 281, 241}},
        {"frOperation", "frmHelp", "操作関係", {8, 256, 281, 273}},
        {"frDragDrop", "frmHelp", "ドラッグ＆ドロップ関係", {8, 536, 281, 73}},
        {"cmdClose", "frmHelp", "とじる", {96, 616, 105, 25}},
        {"cmdCap", "frButton", "画面ｷｬﾌﾟﾁｬ", {8, 144, 73, 25}},
        {"cmdCBChk", "frButton", "再読込", {8, 176, 73, 25}},
    };
    for (const Row& r : rows) {
        QWidget* w = Child<QWidget>(&help, r.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), r.pixels) << r.name;
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(r.parent)) << r.name;
        QString text;
        if (auto* b = qobject_cast<QPushButton*>(w)) text = b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
        EXPECT_EQ(text, QString::fromUtf8(r.text)) << r.name;
    }
    // The save rows, from the format table: 15 twips to the pixel, each row inside the
    // frame and clear of the others.
    const QWidget* frame = Child<QWidget>(&help, "frButton");
    ASSERT_NE(frame, nullptr);
    std::vector<QRect> rowRects;
    for (std::size_t i = 0; i < kSaveFormats.size(); ++i) {
        const SaveFormat& f = kSaveFormats[i];
        auto* b = Child<QPushButton>(&help, ("cmdSave" + std::to_string(i)).c_str());
        auto* l = Child<QLabel>(&help, ("lbl" + std::string(f.caption)).c_str());
        ASSERT_TRUE(b && l);
        EXPECT_EQ(b->parentWidget(), frame);
        EXPECT_EQ(b->text().toStdString(), f.caption);
        EXPECT_EQ(b->geometry(), QRect(8, f.helpTop / 15, 41, 25)) << f.caption;
        EXPECT_EQ(l->text().toStdString(), f.helpText);
        EXPECT_EQ(l->geometry(), QRect(56, f.helpTop / 15, 209, 25)) << f.caption;
        EXPECT_LE(l->heightForWidth(l->width()), l->height() + 1) << f.caption;
        const QRect row = b->geometry().united(l->geometry());
        EXPECT_TRUE(frame->rect().contains(row)) << f.caption;
        for (const QRect& other : rowRects) EXPECT_FALSE(row.intersects(other)) << f.caption;
        rowRects.push_back(row);
    }
    auto* cb = Child<QComboBox>(&help, "cbJpg");
    ASSERT_NE(cb, nullptr);
    EXPECT_EQ(cb->geometry(), QRect(8, 114, 45, 20));
    EXPECT_EQ(cb->currentText(), QStringLiteral("60"));
    QStringList items;
    for (int i = 0; i < cb->count(); ++i) items << cb->itemText(i);
    EXPECT_EQ(items, (QStringList{"10", "30", "60", "70", "80", "100"}));
}

TEST(FrmHelp, LabelsCarryTheirTextsInTheirBoxes) {
    frmHelp help;
    struct Row {
        const char* name;
        const char* text;
        QRect pixels;
    } rows[] = {
        {"lblPercent", "%", {56, 120, 12, 17}},
        {"lblJPG2",
         "上のJPEGファイルの画質を指定。100に近いほど高画質でファイルサイズ大。",
         {72, 112, 201, 25}},
        {"lblCapture",
         "このソフトのウィンドウを隠して、画面をキャプチャする。",
         {88, 144, 161, 25}},
        {"lblCBChk", "現在クリップボードにある画像を再読み込みする。", {88, 176, 161, 25}},
        {"Label2", "左クリック", {16, 24, 129, 17}},
        {"Label1", "選択解除", {152, 24, 121, 17}},
        {"Label4", "左ドラッグ", {16, 40, 129, 17}},
        {"Label3", "選択", {152, 40, 121, 17}},
        {"Label6", "右ドラッグ", {16, 56, 129, 17}},
        {"Label5", "選択範囲の移動", {152, 56, 121, 17}},
        {"Label7", "方向キー", {16, 80, 129, 17}},
        {"Label8", "選択範囲の移動", {152, 80, 121, 17}},
        {"Label9", "CTRL+方向キー", {16, 96, 129, 17}},
        {"Label10", "選択範囲の変更", {152, 96, 121, 17}},
        {"Label15", "CTRL+C", {16, 184, 129, 17}},
        {"Label16", "選択範囲のコピー", {152, 184, 121, 17}},
        {"Label17", "CTRL+T", {16, 200, 129, 17}},
        {"Label18", "余白を除いて選択", {152, 200, 121, 17}},
        {"Label19", "CTRL+R", {16, 216, 129, 17}},
        {"Label20", "選択範囲を数値で指定", {152, 216, 121, 17}},
        {"Label21", "CTRL+L", {16, 232, 129, 17}},
        {"Label22", "前回の範囲を選択", {152, 232, 121, 17}},
        {"Label23", "CTRL+M", {16, 248, 129, 17}},
        {"Label24", "拡大鏡の表示切替", {152, 248, 121, 17}},
        {"Label11",
         "SHIFTを方向キー操作時に押していると、10ピクセルずつ移動・変更する。",
         {16, 120, 209, 25}},
        {"Label12",
         "ALTを方向キー操作時に押していると、選択範囲にあわせて画面がスクロールする。",
         {16, 152, 225, 25}},
        {"Label14",
         "トリムレットのアイコンに画像ファイルをドロップすると、ソフトとクリップボードに画像を読み"
         "込む。",
         {16, 16, 249, 25}},
        {"Label13", "トリムレットの画像表示部分にもドロップ可能。", {16, 48, 249, 17}},
    };
    for (const Row& r : rows) {
        auto* label = Child<QLabel>(&help, r.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromUtf8(r.text)) << r.name;
        EXPECT_EQ(label->geometry(), r.pixels) << r.name;
        EXPECT_TRUE(label->wordWrap()) << r.name;
        EXPECT_FALSE(label->font().bold()) << r.name << " took the frame's bold caption font";
        // Wrapped, the text fits its box (a pixel of leading may spill).
        EXPECT_LE(label->heightForWidth(label->width()), label->height() + 1) << r.name;
    }
}

TEST(FrmHelp, FrameCaptionsAreBoldGothic) {
    frmHelp help;
    for (const char* name : {"frButton", "frOperation", "frDragDrop"}) {
        auto* frame = Child<QGroupBox>(&help, name);
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(frame->font().bold()) << name;
        EXPECT_DOUBLE_EQ(frame->font().pointSizeF(), 9.75) << name;
        EXPECT_EQ(QFontInfo(frame->font()).family(), QStringLiteral("IPAPGothic")) << name;
    }
}

TEST(FrmHelp, TabOrderStartsAtTheReloadCopy) {
    frmHelp help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    QWidget* first = Child<QWidget>(&help, "cmdCBChk");
    EXPECT_EQ(help.focusWidget(), first);
    QStringList order;
    QWidget* w = first;
    for (int i = 0; i < 8; ++i) {
        order << w->objectName();
        do {
            w = w->nextInFocusChain();
        } while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&help) ||
                 qobject_cast<QComboBox*>(w->parentWidget()));  // the box's own editor
    }
    EXPECT_EQ(order, (QStringList{"cmdCBChk", "cmdCap", "cbJpg", "cmdSave2", "cmdSave1", "cmdSave0",
                                  "cmdSave3", "cmdClose"}));
    EXPECT_EQ(w, first);  // and round again
}

class HelpFromMainWindow : public ::testing::Test {
protected:
    testing::FakeClipboard clipboard;
    testing::FakeGrabber grabber;
    testing::FakeSaveDialog saveDialog;
    std::unique_ptr<frmCrop> window;

    void SetUp() override {
        clipboard.image = testing::PatternImage(50, 40);
        CropServices s;
        s.clipboard = &clipboard;
        s.grabber = &grabber;
        s.saveDialog = &saveDialog;
        window = std::make_unique<frmCrop>(s);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // Where the 648-pixel-high help fits on the screen when centred.
        window->move(400, 400);
        QCoreApplication::processEvents();
    }
};

TEST_F(HelpFromMainWindow, OpensModallyOverTheMainWindowAndTheCopiesDoNothing) {
    const QString caption = window->windowTitle();
    const int seen = testing::WhileModal(
        [&] { window->mnHelp_Click(); },
        [&](QDialog* d) {
            EXPECT_EQ(d->windowTitle(), QStringLiteral("つかいかた"));
            EXPECT_EQ(d->parentWidget(), window.get());
            const QPoint offset = d->frameGeometry().center() - window->frameGeometry().center();
            EXPECT_LE(offset.manhattanLength(), 4) << "not centred over the main window";
            for (const char* name :
                 {"cmdSave0", "cmdSave1", "cmdSave2", "cmdSave3", "cmdCap", "cmdCBChk"}) {
                auto* b = Child<QPushButton>(d, name);
                ASSERT_NE(b, nullptr);
                QTest::mouseClick(b, Qt::LeftButton);
                EXPECT_TRUE(d->isVisible()) << name;
            }
            auto* cb = Child<QComboBox>(d, "cbJpg");
            cb->setCurrentIndex(0);
            EXPECT_TRUE(d->isVisible());
            // The main window's own controls are still as they were and take no input.
            EXPECT_EQ(QApplication::activeModalWidget(), d);
        });
    EXPECT_EQ(seen, 1);
    EXPECT_TRUE(saveDialog.calls.empty()) << "a copy of a save button saved";
    EXPECT_EQ(grabber.grabs, 0) << "the capture copy captured";
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_EQ(Peer(window).cbJpg()->currentText(), QStringLiteral("60"));
}

TEST_F(HelpFromMainWindow, EachOpeningStartsAfresh) {
    testing::WhileModal([&] { window->mnHelp_Click(); },
                        [&](QDialog* d) {
                            Child<QComboBox>(d, "cbJpg")->setEditText(QStringLiteral("99"));
                            Child<QPushButton>(d, "cmdClose")->click();
                            EXPECT_FALSE(d->isVisible());
                        });
    testing::WhileModal([&] { window->mnHelp_Click(); },
                        [&](QDialog* d) {
                            EXPECT_EQ(Child<QComboBox>(d, "cbJpg")->currentText(),
                                      QStringLiteral("60"));
                            QTest::keyClick(d, Qt::Key_Escape);
                            EXPECT_FALSE(d->isVisible()) << "Escape does not close the help";
                        });
}

TEST_F(HelpFromMainWindow, F1OpensTheHelp) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const int seen = testing::WhileModal(
        [&] { QTest::keyClick(window.get(), Qt::Key_F1); },
        [&](QDialog* d) { EXPECT_EQ(d->windowTitle(), QStringLiteral("つかいかた")); });
    EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace trimlet
