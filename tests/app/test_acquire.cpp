// Capture, the wait menu, dropped files and the command-line file on the real main
// window (offscreen), with recording stand-ins for the clipboard and the screen.
#include <gtest/gtest.h>

#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/frmcrop.h"
#include "support/fakes.h"
#include "support/frmcroppeer.h"

namespace trimlet {
namespace {

using testing::FakeClipboard;
using testing::FakeSound;
using testing::PatternImage;

// Notes what happened in which order, and whether the window was visible at the grab.
struct Journal {
    std::vector<std::string> steps;
};

class JournalGrabber final : public ScreenGrabber {
public:
    JournalGrabber(Journal& j, QImage screen) : journal_(j), screen_(std::move(screen)) {}
    QWidget* window = nullptr;
    void setScreen(QImage screen) { screen_ = std::move(screen); }
    QImage grabDesktop() override {
        journal_.steps.push_back(window && window->isVisible() ? "grab (window visible)" : "grab");
        return screen_;
    }

private:
    Journal& journal_;
    QImage screen_;
};

class AcquireTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeClipboard clipboard;
    Journal journal;
    JournalGrabber grabber{journal, PatternImage(1280, 1024)};
    FakeSound sound;
    std::unique_ptr<frmCrop> window;
    // A Wayland-like window system: the clipboard is read only once the window has focus.
    bool clipboardNeedsFocus = false;
    int focusWaitMs = 2000;

    void create() {
        CropServices s;
        s.clipboard = &clipboard;
        s.grabber = &grabber;
        s.sound = &sound;
        s.clipboardNeedsFocus = clipboardNeedsFocus;
        s.focusWaitMs = focusWaitMs;
        s.sleep = [this](int ms) {
            journal.steps.push_back("sleep " + std::to_string(ms));
            return true;
        };
        s.processEvents = [] { QCoreApplication::processEvents(); };
        window = std::make_unique<frmCrop>(s);
        grabber.window = window.get();
    }
    void start(const QString& commandLine = QString()) {
        create();
        window->Form_Load(commandLine);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    QString picture(const QString& name, QSize size) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(PatternImage(size.width(), size.height()).save(path));
        return path;
    }
    void drop(QWidget* target, QMimeData* data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropEvent(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropEvent);
    }
    static QMimeData* files(const QStringList& paths) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        return data;
    }
};

TEST_F(AcquireTest, CaptureHidesWaitsGrabsShowsAndSelectsTheScreen) {
    clipboard.image = PatternImage(50, 40);
    start();
    window->mnWait_Click(3);
    journal.steps.clear();
    Peer(window).cmdCap()->click();
    EXPECT_EQ(journal.steps, (std::vector<std::string>{"sleep 3000", "grab"}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(1280,1024) W=1280 H=1024");
    EXPECT_EQ(clipboard.image->size(), QSize(1280, 1024));  // the capture stays there
}

TEST_F(AcquireTest, ACaptureThatGivesNoPictureKeepsTheViewAndMakesNoSound) {
    // A portal that fails, refuses or does not answer: the old picture stays in the view,
    // even when the clipboard meanwhile holds something else.
    clipboard.image = PatternImage(50, 40);
    start();
    Peer(window).selection() = Selection{3, 3, 4, 4, 3, 3};
    window->ShowSelection();
    const QString title = window->windowTitle();
    clipboard.image = PatternImage(70, 70);
    grabber.setScreen(QImage());
    journal.steps.clear();
    Peer(window).cmdCap()->click();
    EXPECT_EQ(journal.steps, (std::vector<std::string>{"sleep 1000", "grab"}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_EQ(Peer(window).picCrop()->picture().size(), QSize(50, 40));
    EXPECT_EQ(clipboard.writes, 0);
    EXPECT_TRUE(sound.played.empty());
}

TEST_F(AcquireTest, WhereTheClipboardNeedsFocusStartUpReadsItOnceTheShownWindowIsActive) {
    clipboardNeedsFocus = true;
    focusWaitMs = 60000;  // the activation, not the time limit, must start the read
    clipboard.image = PatternImage(50, 40);
    create();
    window->Form_Load(QString());
    EXPECT_EQ(clipboard.reads, 0);
    EXPECT_TRUE(Peer(window).startupLoadPending());
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // Active, but the window system has not handed over the clipboard yet.
    QCoreApplication::processEvents();
    EXPECT_EQ(clipboard.reads, 0);
    ASSERT_TRUE(clipboard.watcher);
    clipboard.watcher();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Peer(window).startupLoadPending(); }, 5000));
    EXPECT_EQ(clipboard.reads, 1);
    EXPECT_FALSE(clipboard.watcher);  // no longer watched
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(50,40) W=50 H=40");
    // Later activations read nothing more.
    window->LoadStartupClipboard();
    EXPECT_EQ(clipboard.reads, 1);
}

TEST_F(AcquireTest, WithoutTheFocusTheStartUpReadRunsWhenTheWaitIsOver) {
    clipboardNeedsFocus = true;
    focusWaitMs = 0;
    clipboard.image = PatternImage(20, 10);
    create();
    const QString file = picture("given.png", {33, 22});
    window->Form_Load(file);  // never shown, so never active
    // The file waits with the read: an unfocused window's clipboard write would not
    // reach the other programs.
    EXPECT_EQ(clipboard.writes, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Peer(window).startupLoadPending(); }, 5000));
    EXPECT_EQ(clipboard.image->size(), QSize(33, 22));
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(33,22) W=33 H=22");
}

TEST_F(AcquireTest, StartUpPrintScreenAfterTheFocusWaitTakesTheScreenWithoutTheWindow) {
    clipboardNeedsFocus = true;
    focusWaitMs = 60000;
    clipboard.image = QImage();  // nothing on the clipboard: the fallback grabs the screen
    create();
    window->Form_Load(QString());
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    clipboard.watcher();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Peer(window).startupLoadPending(); }, 5000));
    EXPECT_EQ(journal.steps, std::vector<std::string>{"grab"});  // not "(window visible)"
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(1280,1024) W=1280 H=1024");
}

TEST_F(AcquireTest, WaitMenuKeepsExactlyOneItemChecked) {
    clipboard.image = PatternImage(5, 5);
    start();
    EXPECT_EQ(Peer(window).captureWait(), 1000);
    const int waits[] = {500, 1000, 2000, 3000};
    for (int i : {0, 3, 3, 2, 1}) {
        Peer(window).mnWait(i)->trigger();
        EXPECT_EQ(Peer(window).captureWait(), waits[i]);
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(Peer(window).mnWait(j)->isChecked(), j == i) << i << j;
    }
}

TEST_F(AcquireTest, DroppingFilesLoadsTheFirstOneOntoTheClipboardAndIntoTheView) {
    clipboard.image = PatternImage(50, 40);
    start();
    const QStringList three = {picture("one.png", {120, 80}), picture("two.png", {30, 30}),
                               picture("three.bmp", {10, 10})};
    std::unique_ptr<QMimeData> data(files(three));
    drop(Peer(window).picCrop(), data.get());
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(120,80) W=120 H=80");
    EXPECT_EQ(clipboard.image->size(), QSize(120, 80));
    EXPECT_EQ(clipboard.writes, 1);
    // The grey viewport takes drops too.
    std::unique_ptr<QMimeData> second(files({three[1]}));
    drop(Peer(window).picCrop(), second.get());
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(30,30) W=30 H=30");
}

TEST_F(AcquireTest, DroppingTextOrANonPictureChangesNothing) {
    clipboard.image = PatternImage(50, 40);
    start();
    Peer(window).selection() = Selection{3, 3, 4, 4, 3, 3};
    window->ShowSelection();
    const QString title = window->windowTitle();

    auto text = std::make_unique<QMimeData>();
    text->setText(picture("looks-like-a-path.png", {9, 9}));  // text, not a file list
    const QString notAPicture = dir.filePath("readme.png");
    {
        QFile f(notAPicture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
    }
    std::unique_ptr<QMimeData> bogus(files({notAPicture, picture("second.png", {7, 7})}));
    auto remote = std::make_unique<QMimeData>();
    remote->setUrls({QUrl("https://example.invalid/pic.png")});
    for (QMimeData* data : {text.get(), bogus.get(), remote.get()}) {
        drop(Peer(window).picCrop(), data);
        EXPECT_EQ(window->windowTitle(), title);
        EXPECT_EQ(clipboard.writes, 0);
        EXPECT_EQ(Peer(window).picCrop()->picture().size(), QSize(50, 40));
    }
}

TEST_F(AcquireTest, CommandLineFileIsShownAtStart) {
    clipboard.image = PatternImage(50, 40);
    start(picture("with blank.png", {64, 32}));
    EXPECT_EQ(window->windowTitle(), "選択(1,1)-(64,32) W=64 H=32");
    EXPECT_EQ(clipboard.image->size(), QSize(64, 32));
}

TEST_F(AcquireTest, CommandLineThatIsNoSingleFileShowsTheClipboard) {
    const QString a = picture("a.png", {64, 32});
    for (const QString& line : {QLatin1Char('"') + a + QLatin1Char('"'), a + QLatin1Char(' ') + a,
                                dir.filePath("missing.png")}) {
        clipboard = FakeClipboard();
        clipboard.image = PatternImage(50, 40);
        start(line);
        EXPECT_EQ(window->windowTitle(), "選択(1,1)-(50,40) W=50 H=40") << line.toStdString();
        EXPECT_EQ(clipboard.writes, 0);
    }
}

}  // namespace
}  // namespace trimlet
