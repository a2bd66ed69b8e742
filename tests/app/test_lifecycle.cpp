// Start-up and shutdown of the main window with a settings file: what is read, what
// is written, in which order and as which texts.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "app/frmcrop.h"
#include "support/fakes.h"
#include "support/frmcroppeer.h"
#include "support/tempini.h"

namespace trimlet {
namespace {

class LifecycleTest : public ::testing::Test, protected testing::TempIniFile {
protected:
    testing::FakeClipboard clipboard;
    std::unique_ptr<frmCrop> window;
    int pathRequests = 0;

    // Form_Load without showing the window.
    void load(bool withSettings = true) {
        clipboard.image = testing::PatternImage(64, 48);
        CropServices s;
        s.clipboard = &clipboard;
        if (withSettings)
            s.settingsFile = [this] {
                ++pathRequests;
                return path();
            };
        window = std::make_unique<frmCrop>(s);
        window->Form_Load(QString());
    }
    void start(bool withSettings = true) {
        load(withSettings);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        settle();
    }
    static void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    void closeWindow() {
        window->close();
        settle();
    }
    int checkedWait() const {
        int checked = -1;
        for (int i = 0; i < 4; ++i)
            if (Peer(window).mnWait(i)->isChecked()) {
                EXPECT_EQ(checked, -1) << "two wait items checked";
                checked = i;
            }
        return checked;
    }
};

TEST_F(LifecycleTest, FirstStartWithoutAFileUsesTheDefaultsAndWritesThemAtClose) {
    start();
    EXPECT_EQ(window->frameGeometry(), QRect(0, 0, 425, 364));
    EXPECT_FALSE(window->isMaximized());
    EXPECT_EQ(checkedWait(), 1);
    EXPECT_EQ(Peer(window).captureWait(), 1000);
    EXPECT_FALSE(QFile::exists(path())) << "start-up wrote the settings";
    closeWindow();
    EXPECT_EQ(contents(), QByteArray("[Window]\nLeft= 0\nTop= 0\nWidth= 6375\nHeight= 5460\n"
                                     "WindowState= 0\n[Wait]\nCapture=1000\n[View]\nLoupe=1\n"));
    // The path is built anew for each step that uses it: the placement, the wait, the
    // last rectangle and the loupe switch at start-up, and the one write at shutdown.
    EXPECT_EQ(pathRequests, 5);
}

TEST_F(LifecycleTest, StoredPlacementIsAppliedAndWrittenBack) {
    put("; kept\n[Window]\nLeft= 1500\nTop=1200\nWidth=6990\nHeight=6000\nWindowState=0\n"
        "[Wait]\nCapture=3000\n[Other]\nKey=value\n");
    start();
    EXPECT_EQ(window->frameGeometry(), QRect(100, 80, 466, 400));
    EXPECT_EQ(checkedWait(), 3);
    closeWindow();
    EXPECT_EQ(contents(), QByteArray("; kept\n[Window]\nLeft= 1500\nTop= 1200\nWidth= 6990\n"
                                     "Height= 6000\nWindowState= 0\n[Wait]\nCapture=3000\n"
                                     "[Other]\nKey=value\n[View]\nLoupe=1\n"));
}

TEST_F(LifecycleTest, StoredWaitChoosesTheMenuItem) {
    struct Row {
        const char* stored;
        int item;
        const char* written;
    } rows[] = {
        {"2000", 2, "2000"}, {"3000", 3, "3000"}, {"500.4", 0, "500"},
        {"1500", 1, "1000"}, {"abc", 1, "1000"},  {"", 1, "1000"},
        {"-500", 1, "1000"}, {" 500", 0, "500"},  {"1E12", 1, "1000"},  // beyond 32 bits
    };
    for (const Row& r : rows) {
        put(QByteArray("[Wait]\nCapture=") + r.stored + "\n");
        load();
        EXPECT_EQ(checkedWait(), r.item) << r.stored;
        EXPECT_EQ(Peer(window).captureWait(), QList<int>({500, 1000, 2000, 3000})[r.item])
            << r.stored;
        window->Form_Unload();
        EXPECT_TRUE(contents().startsWith(QByteArray("[Wait]\nCapture=") + r.written + "\n"))
            << r.stored << " -> " << contents().toStdString();
        window.reset();
    }
}

TEST_F(LifecycleTest, MaximisedCloseStoresTheNormalRectangleAndStartsMaximised) {
    start();
    window->move(30, 45);
    window->resize(496, 396);  // outside 500 x 400 with the 2-pixel offscreen frame
    settle();
    ASSERT_EQ(window->frameGeometry(), QRect(30, 45, 500, 400));
    window->showMaximized();
    settle();
    ASSERT_TRUE(window->isMaximized());
    closeWindow();
    EXPECT_EQ(contents(), QByteArray("[Window]\nLeft= 450\nTop= 675\nWidth= 7500\nHeight= 6000\n"
                                     "WindowState= 2\n[Wait]\nCapture=1000\n[View]\nLoupe=1\n"));

    window.reset();
    load();
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(Peer(window).placement().normal(), (NormalPlacement{450, 675, 7500, 6000}));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    settle();
    EXPECT_TRUE(window->isMaximized());
    window->showNormal();
    settle();
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(30, 45));
}

TEST_F(LifecycleTest, MinimisedCloseIsStoredAsNormal) {
    put("[Window]\nLeft=750\nTop=450\nWidth=6000\nHeight=4500\n");
    start();
    window->showMinimized();
    settle();
    ASSERT_TRUE(window->isMinimized());
    closeWindow();
    EXPECT_EQ(contents(), QByteArray("[Window]\nLeft= 750\nTop= 450\nWidth= 6000\nHeight= 4500\n"
                                     "WindowState=0\n[Wait]\nCapture=1000\n[View]\nLoupe=1\n"));
}

TEST_F(LifecycleTest, AWindowOffEveryScreenComesBack) {
    put("[Window]\nLeft=90000\nTop=90000\nWidth=6990\nHeight=6000\n");
    start();
    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->frameGeometry(), QRect(primary.topLeft(), QSize(466, 400)));
}

TEST_F(LifecycleTest, ValuesTheWindowCannotTakeGiveTheDefaults) {
    put("[Window]\nLeft=1E40\nTop=abc\nWidth=100\nHeight=-6000\nWindowState=7\n");
    start();
    EXPECT_EQ(window->frameGeometry(), QRect(0, 0, 425, 364));
    EXPECT_EQ(window->windowState(), Qt::WindowNoState);
}

TEST_F(LifecycleTest, WithoutASettingsFileNothingIsStored) {
    start(false);
    EXPECT_EQ(window->frameGeometry(), QRect(0, 0, 425, 364));
    closeWindow();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(LifecycleTest, TheSizeBoundHoldsFromStartUpToShutdown) {
    load();
    EXPECT_EQ(Peer(window).session().minimumOuter(), QSize(400, 240));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    settle();
    window->resize(100, 50);
    settle();
    EXPECT_EQ(window->frameGeometry().size(), QSize(400, 240));
    // The whole button strip stays visible at the smallest size.
    const QWidget* client = window->centralWidget();
    for (const QPushButton* button : client->findChildren<QPushButton*>())
        EXPECT_LE(button->geometry().right(), client->width() - 1) << button->text().toStdString();
    const QSize screen = window->screen()->geometry().size();
    window->resize(screen.width() + 300, screen.height() + 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->frameGeometry().size() == screen; }, 3000));
    window->resize(500, 300);
    settle();
    EXPECT_EQ(window->frameGeometry().size(), QSize(504, 304));
    closeWindow();
    // Shutdown took the bound away again.
    EXPECT_LT(window->minimumWidth(), 300);
}

}  // namespace
}  // namespace trimlet
