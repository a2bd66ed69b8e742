// The version window: texts, fonts, layout, the link and modality.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "app/frmcrop.h"
#include "support/fakes.h"
#include "support/frmcroppeer.h"
#include "windows/frmversion.h"
#include "windows/modal.h"
#include "windows/siteinfo.h"

namespace trimlet {
namespace {

TEST(FrmVersion, CaptionSizeAndTexts) {
    testing::FakeUrlOpener opener;
    frmVersion v(&opener);
    EXPECT_EQ(v.windowTitle(), QStringLiteral("トリムレット"));
    EXPECT_EQ(v.size(), QSize(292, 74));
    EXPECT_EQ(v.minimumSize(), v.maximumSize());
    EXPECT_TRUE(v.isModal());
    EXPECT_FALSE(v.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(v.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(v.windowIcon().isNull());
    EXPECT_EQ(v.lblVersion()->text(), QStringLiteral("トリムレット ver 1.1.0"));
    EXPECT_EQ(v.lblSite()->text(), QString::fromUtf8(kSiteName));
}

TEST(FrmVersion, VersionTextWritesTheNumbersPlain) {
    EXPECT_EQ(VersionText(1, 1, 0), QStringLiteral("トリムレット ver 1.1.0"));
    EXPECT_EQ(VersionText(2, 10, 305), QStringLiteral("トリムレット ver 2.10.305"));
}

TEST(FrmVersion, LayoutAndLook) {
    frmVersion v(nullptr);
    EXPECT_EQ(v.Picture1()->geometry(), QRect(16, 8, 33, 33));
    ASSERT_FALSE(v.Picture1()->pixmap().isNull());
    EXPECT_EQ(v.Picture1()->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(v.lblVersion()->geometry(), QRect(56, 16, 217, 25));
    EXPECT_EQ(v.lblSite()->geometry(), QRect(224, 56, 57, 17));

    const QFont big = v.lblVersion()->font();
    EXPECT_TRUE(big.bold());
    EXPECT_DOUBLE_EQ(big.pointSizeF(), 14.25);
    EXPECT_EQ(QFontInfo(big).family(), QStringLiteral("IPAPGothic"));

    const QFont link = v.lblSite()->font();
    EXPECT_TRUE(link.bold());
    EXPECT_TRUE(link.underline());
    EXPECT_DOUBLE_EQ(link.pointSizeF(), 9);
    EXPECT_EQ(v.lblSite()->palette().color(QPalette::WindowText), QColor(0, 0, 255));

    // Both texts fit their designed boxes.
    for (QLabel* l : {v.lblVersion(), v.lblSite()}) {
        const QFontMetrics m(l->font());
        EXPECT_LE(m.horizontalAdvance(l->text()), l->width()) << l->objectName().toStdString();
        EXPECT_LE(m.height(), l->height()) << l->objectName().toStdString();
    }
}

TEST(FrmVersion, ClickingTheLinkOpensTheSiteAndKeepsTheWindow) {
    testing::FakeUrlOpener opener;
    frmVersion v(&opener);
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    QTest::mouseClick(v.lblSite(), Qt::RightButton);
    EXPECT_TRUE(opener.opened.empty()) << "a right click opened the site";
    // Pressed on the link, let go elsewhere: no click.
    QTest::mousePress(v.lblSite(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(v.lblSite(), Qt::LeftButton, {}, QPoint(-20, 40));
    EXPECT_TRUE(opener.opened.empty());
    QTest::mouseClick(v.lblSite(), Qt::LeftButton);
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0], QString::fromLatin1(kSiteAddress));
    EXPECT_TRUE(v.isVisible());
    // Clicking the version text does nothing.
    QTest::mouseClick(v.lblVersion(), Qt::LeftButton);
    EXPECT_EQ(opener.opened.size(), 1u);
}

TEST(FrmVersion, OpenedFromTheMenuModallyWithTheMainWindowsOpener) {
    testing::FakeClipboard clipboard;
    clipboard.image = testing::PatternImage(20, 20);
    testing::FakeUrlOpener opener;
    CropServices s;
    s.clipboard = &clipboard;
    s.urlOpener = &opener;
    frmCrop window(s);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int opening = 0; opening < 2; ++opening) {
        const int seen = testing::WhileModal(
            [&] { Peer(window).mnVersion()->trigger(); },
            [&](QDialog* d) {
                auto* v = qobject_cast<frmVersion*>(d);
                ASSERT_NE(v, nullptr);
                EXPECT_EQ(v->parentWidget(), &window);
                EXPECT_EQ(QApplication::activeModalWidget(), v);
                const QPoint offset = v->frameGeometry().center() - window.frameGeometry().center();
                EXPECT_LE(offset.manhattanLength(), 4);
                QTest::mouseClick(v->lblSite(), Qt::LeftButton);
            });
        EXPECT_EQ(seen, 1);
    }
    EXPECT_EQ(opener.opened.size(), 2u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace trimlet
