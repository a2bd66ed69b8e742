// The rectangle window: filled with the selection as far as its boxes allow, each box
// refusing what no rectangle can use, OK only for a rectangle the keys can reach, Enter
// for OK and Escape for キャンセル.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "modal.h"
#include "windows/frmrect.h"

namespace trimlet {
namespace {

TEST(FrmRect, FillsRefusesAndAnswers) {
    // A selection from a click on the first column reaches outside what the keys reach.
    frmRect w({0, 5, 700, 10}, 640, 480);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("範囲の指定"));
    EXPECT_EQ(w.rectangle(), (CaptionRect{1, 5, 640, 10}));
    EXPECT_TRUE(w.cmdOK()->isEnabled());
    w.box(RectField::Left)->setValue(600);
    EXPECT_FALSE(w.cmdOK()->isEnabled()) << "600 + 640 passes the right edge";
    w.box(RectField::Width)->setValue(41);
    EXPECT_TRUE(w.cmdOK()->isEnabled());
    // Typed digits beyond the range are refused as they come.
    QSpinBox* top = w.box(RectField::Top);
    top->findChild<QLineEdit*>()->clear();
    QTest::keyClicks(top, QStringLiteral("9999"));
    EXPECT_EQ(top->value(), 99);

    std::optional<CaptionRect> answer;
    testing::WhileModal([&] { answer = w.ask(); },
                        [](QDialog* d) { QTest::keyClick(d->focusWidget(), Qt::Key_Return); });
    EXPECT_EQ(answer, (CaptionRect{600, 99, 41, 10}));
    testing::WhileModal([&] { answer = w.ask(); },
                        [](QDialog* d) { QTest::keyClick(d->focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(answer, std::nullopt);
}

}  // namespace
}  // namespace trimlet
