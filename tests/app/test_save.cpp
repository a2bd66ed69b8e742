// The save buttons and the quality box of the real main window, offscreen, with a
// recording dialog and sound; and the Qt save dialog and the sound player themselves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/frmcrop.h"
#include "export/decode_util.h"
#include "export/encoders.h"
#include "platform/savedialog_qt.h"
#include "platform/sound.h"
#include "support/fakes.h"
#include "support/frmcroppeer.h"

namespace trimlet {
namespace {

using testing::DecodeGif;
using testing::DecodeJpeg;
using testing::FakeClipboard;
using testing::FakeGrabber;
using testing::FakeSaveDialog;
using testing::FakeSound;
using testing::PatternImage;
using testing::ReadWholeFile;

class SaveTest : public ::testing::Test {
protected:
    FakeClipboard clipboard;
    FakeGrabber grabber;
    FakeSaveDialog dialog;
    FakeSound sound;
    QTemporaryDir dir;
    std::unique_ptr<frmCrop> window;

    void start(const QImage& picture) {
        ASSERT_TRUE(dir.isValid());
        clipboard.image = picture;
        CropServices s;
        s.clipboard = &clipboard;
        s.grabber = &grabber;
        s.saveDialog = &dialog;
        s.sound = &sound;
        s.sleep = [](int) { return true; };
        window = std::make_unique<frmCrop>(s);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->cmdCBChk_Click();  // load the picture and select all of it
    }
    void select(int left, int top, int dx, int dy) {
        Selection& s = Peer(window).selection();
        s.selLeft = s.anchorX = left;
        s.selTop = s.anchorY = top;
        s.selDX = dx;
        s.selDY = dy;
        window->ShowSelection();
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

TEST_F(SaveTest, EachButtonAsksWithItsFormatsFilterAndNameAndCancelWritesNothing) {
    start(PatternImage(50, 40));
    for (std::size_t i = 0; i < kSaveFormats.size(); ++i) {
        dialog.answers.push_back(std::nullopt);  // cancel
        QTest::mouseClick(Peer(window).cmdSave(static_cast<int>(i)), Qt::LeftButton);
        ASSERT_EQ(dialog.calls.size(), i + 1);
        EXPECT_EQ(dialog.calls.back().filter.toStdString(), kSaveFormats[i].filter);
        EXPECT_EQ(dialog.calls.back().initialName.toStdString(), kSaveFormats[i].initialName);
    }
    // No such button: not even the dialog.
    window->cmdSave_Click(static_cast<int>(kSaveFormats.size()));
    window->cmdSave_Click(-1);
    EXPECT_EQ(dialog.calls.size(), kSaveFormats.size());
    EXPECT_TRUE(sound.played.empty());
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(SaveTest, BmpHoldsExactlyTheSelectedBlockNeverTheHighlight) {
    const QImage picture = PatternImage(120, 90);
    start(picture);
    struct Case {
        int left, top, dx, dy;
        QRect block;
    };
    const Case cases[] = {
        {11, 5, 9, 0, QRect(10, 4, 10, 1)},  // columns 11 to 20, row 5
        {30, 20, 49, 39, QRect(29, 19, 50, 40)},
        {7, 9, 0, 0, QRect(6, 8, 1, 1)},        // one pixel
        {120, 90, 0, 0, QRect(119, 89, 1, 1)},  // the last pixel
    };
    for (const Case& c : cases) {
        select(c.left, c.top, c.dx, c.dy);
        const QString path = dir.filePath(QString("b%1_%2.bmp").arg(c.left).arg(c.top));
        dialog.answers.push_back(path);
        Peer(window).cmdSave(0)->click();
        const QImage saved = QImage(path, "BMP").convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(saved, picture.copy(c.block)) << c.left << "," << c.top;
    }
    // Double click's action: the whole picture.
    window->SelectWholePicture();
    dialog.answers.push_back(dir.filePath("whole.bmp"));
    Peer(window).cmdSave(0)->click();
    EXPECT_EQ(QImage(dir.filePath("whole.bmp")).convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_EQ(sound.played,
              std::vector<SystemSound>(std::size(cases) + 1, SystemSound::Information));
    EXPECT_EQ(files().size(), static_cast<qsizetype>(std::size(cases) + 1));
}

TEST_F(SaveTest, OnePixelPictureAndAClickOnTheFirstPixel) {
    start(PatternImage(1, 1));
    dialog.answers.push_back(dir.filePath("one.bmp"));
    Peer(window).cmdSave(0)->click();
    EXPECT_EQ(QImage(dir.filePath("one.bmp")).convertToFormat(QImage::Format_RGB32),
              PatternImage(1, 1));

    // A click at pointer position 0, 0 leaves all numbers 0: the block starts one pixel
    // outside the picture, which is saved as the view's grey.
    select(0, 0, 0, 0);
    dialog.answers.push_back(dir.filePath("corner.bmp"));
    Peer(window).cmdSave(0)->click();
    const QImage corner = QImage(dir.filePath("corner.bmp")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(corner.size(), QSize(1, 1));
    EXPECT_EQ(corner.pixel(0, 0), qRgb(128, 128, 128));
}

TEST_F(SaveTest, JpegAndGifDecodeBackAndJpegUsesTheBoxsQuality) {
    const QImage picture = PatternImage(80, 60);
    start(picture);
    select(5, 6, 39, 29);
    Peer(window).cbJpg()->setEditText("61.5");
    dialog.answers = {dir.filePath("pic.jpg"), dir.filePath("pic.gif"), dir.filePath("noext")};
    Peer(window).cmdSave(2)->click();
    Peer(window).cmdSave(1)->click();
    Peer(window).cmdSave(2)->click();  // a name without extension is written as typed

    const QByteArray jpeg = ReadWholeFile(dir.filePath("pic.jpg"));
    EXPECT_EQ(DecodeJpeg(jpeg).size(), QSize(40, 30));
    QBuffer expected;
    expected.open(QIODevice::WriteOnly);
    ASSERT_TRUE(EncodeJpeg(picture.copy(4, 5, 40, 30), 62, expected).ok());
    EXPECT_EQ(jpeg, expected.data());
    EXPECT_EQ(Peer(window).cbJpg()->currentText(), "61.5");  // the save leaves the text alone

    const testing::DecodedGif gif = DecodeGif(ReadWholeFile(dir.filePath("pic.gif")));
    EXPECT_EQ(gif.image.size(), QSize(40, 30));
    EXPECT_LE(gif.paletteSize, 256);
    EXPECT_EQ(DecodeJpeg(ReadWholeFile(dir.filePath("noext"))).size(), QSize(40, 30));
    EXPECT_EQ(files(), (QStringList{"noext", "pic.gif", "pic.jpg"}));
    // Encoded from memory: no temporary file beside the program either.
    EXPECT_FALSE(QFileInfo::exists(QCoreApplication::applicationDirPath() + "/temp.bmp"));
    EXPECT_EQ(sound.played, std::vector<SystemSound>(3, SystemSound::Information));
}

TEST_F(SaveTest, AFailedSavePlaysTheErrorSoundAndLeavesNoFile) {
    start(PatternImage(30, 20));
    QFile blocker(dir.filePath("afile"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString targets[] = {dir.filePath("missing/pic.bmp"), dir.filePath("afile/pic.gif"),
                               dir.filePath("missing/pic.jpg")};
    for (int i = 0; i < 3; ++i) {
        sound.played.clear();
        dialog.answers.push_back(targets[i]);
        Peer(window).cmdSave(i)->click();
        EXPECT_EQ(sound.played, std::vector{SystemSound::Error}) << i;
        EXPECT_FALSE(QFileInfo::exists(targets[i]));
    }
    EXPECT_EQ(files(), QStringList{"afile"});
}

// "前回の範囲" selects the block of the last save that worked (or copy), on any picture;
// with none, or after only cancelled and failed saves, it plays the error sound.
TEST_F(SaveTest, TheLastRectangleIsTheBlockOfTheLastSaveThatWorked) {
    start(PatternImage(30, 20));
    Peer(window).mnLast()->trigger();
    EXPECT_EQ(sound.played, std::vector{SystemSound::Error});
    select(0, 3, 4, 5);  // reaching outside the picture, as after a click on its first column
    dialog.answers.push_back(dir.filePath("a.png"));
    Peer(window).cmdSave(3)->click();
    select(5, 5, 1, 1);
    dialog.answers.push_back(std::nullopt);  // cancelled
    Peer(window).cmdSave(0)->click();
    dialog.answers.push_back(dir.filePath("missing/b.bmp"));  // failed
    Peer(window).cmdSave(0)->click();
    window->cmdCBChk_Click();  // another load: the whole picture
    sound.played.clear();
    Peer(window).mnLast()->trigger();
    EXPECT_EQ(Peer(window).selection(), (Selection{0, 3, 4, 5, 0, 3}));
    EXPECT_TRUE(sound.played.empty());
    select(2, 2, 1, 1);
    Peer(window).mnCopy()->trigger();
    Peer(window).mnLast()->trigger();
    EXPECT_EQ(Peer(window).selection(), (Selection{2, 2, 1, 1, 2, 2}));
}

struct ValidateCase {
    const char* text;
    bool staysInBox;
    const char* after;
};
TEST_F(SaveTest, PngHoldsExactlyTheBlockAlsoWhereItReachesOutside) {
    const QImage picture = PatternImage(60, 40);
    start(picture);
    struct Case {
        int left, top, dx, dy;
    };
    for (const Case& c : {Case{11, 5, 20, 9}, Case{0, 0, 3, 2}, Case{1, 1, 59, 39}}) {
        select(c.left, c.top, c.dx, c.dy);
        const QString png = dir.filePath(QString("p%1.png").arg(c.left));
        const QString bmp = dir.filePath(QString("p%1.bmp").arg(c.left));
        dialog.answers = {png, bmp};
        Peer(window).cmdSave(3)->click();
        Peer(window).cmdSave(0)->click();
        // Qt's PNG reader against the BMP of the same selection.
        const QImage fromPng = QImage(png, "PNG").convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(fromPng.size(), QSize(c.dx + 1, c.dy + 1));
        EXPECT_EQ(fromPng, QImage(bmp, "BMP").convertToFormat(QImage::Format_RGB32)) << c.left;
    }
    EXPECT_EQ(sound.played, std::vector<SystemSound>(6, SystemSound::Information));
}

TEST_F(SaveTest, EachDialogOpensInTheFolderOfTheLastSaveThatWorked) {
    start(PatternImage(20, 20));
    ASSERT_TRUE(QDir(dir.path()).mkpath("a/b"));
    const QString a = QDir(dir.path()).filePath("a"), b = QDir(dir.path()).filePath("a/b");
    dialog.answers = {QDir(a).filePath("1.png"),      // saved: a
                      std::nullopt,                   // cancelled: still a
                      dir.filePath("missing/2.bmp"),  // failed: still a
                      QDir(b).filePath("3.jpg"),      // saved: b
                      QDir(b).filePath("4.gif")};
    const int indices[] = {3, 0, 0, 2, 1, 0};
    for (int i : indices) Peer(window).cmdSave(i)->click();
    ASSERT_EQ(dialog.calls.size(), std::size(indices));
    const QString expected[] = {QString(), a, a, a, b, b};
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(dialog.calls[i].folder, expected[i]) << "dialog " << i;
    // Every button's own name still comes first.
    EXPECT_EQ(dialog.calls[4].initialName, "pic.gif");
}

TEST_F(SaveTest, CtrlCCopiesWhatASaveWritesWhereverTheFocusIs) {
    const QImage picture = PatternImage(80, 60);
    start(picture);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    struct Case {
        int left, top, dx, dy;
        bool onBox;  // focus in the quality box instead of on the picture
    };
    const Case cases[] = {
        {11, 5, 20, 9, false}, {0, 0, 4, 3, true}, {70, 50, 15, 15, false}, {1, 1, 79, 59, true}};
    int writes = clipboard.writes;
    for (const Case& c : cases) {
        select(c.left, c.top, c.dx, c.dy);
        const QString caption = window->windowTitle();
        QWidget* focus = c.onBox ? static_cast<QWidget*>(Peer(window).cbJpg())
                                 : static_cast<QWidget*>(Peer(window).picCrop());
        focus->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(focus->hasFocus());
        sound.played.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        ASSERT_EQ(clipboard.writes, ++writes) << c.left << (c.onBox ? " box" : " picture");
        EXPECT_EQ(sound.played, std::vector{SystemSound::Information});

        const QString bmp = dir.filePath(QString("c%1.bmp").arg(c.left));
        dialog.answers.push_back(bmp);
        Peer(window).cmdSave(0)->click();
        ASSERT_TRUE(clipboard.image.has_value());
        EXPECT_EQ(clipboard.image->convertToFormat(QImage::Format_RGB32),
                  QImage(bmp, "BMP").convertToFormat(QImage::Format_RGB32))
            << c.left;
        // Neither the selection nor the view changed; the box kept its text.
        EXPECT_EQ(window->windowTitle(), caption);
        EXPECT_EQ(Peer(window).picCrop()->picture(), picture);
        EXPECT_EQ(Peer(window).cbJpg()->currentText(), "60");
    }
    // The copy is the picture's own, and the next reload shows it.
    const QImage copied = *clipboard.image;
    Peer(window).cmdCBChk()->click();
    EXPECT_EQ(Peer(window).picCrop()->picture().convertToFormat(QImage::Format_RGB32),
              copied.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(Peer(window).picCrop()->picture().size(), copied.size());
}

const ValidateCase kValidateTable[] = {
    {"80", false, "80"},     {"150", false, "100"}, {"-3", false, "1"},
    {"60.5", false, "60.5"}, {"060", true, "060"},  {"0.5", true, "1"},
    {"abc", true, "1"},      {"", true, "1"},       {"150abc", true, "100"},
};

TEST_F(SaveTest, TheQualityBoxCheckRunsWhenTheFocusLeavesIt) {
    start(PatternImage(20, 20));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QComboBox* box = Peer(window).cbJpg();
    for (const ValidateCase& c : kValidateTable) {
        box->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(box->hasFocus()) << c.text;
        box->setEditText(QString::fromUtf8(c.text));
        Peer(window).cmdCBChk()->setFocus(Qt::TabFocusReason);  // another control takes it
        QCoreApplication::processEvents();
        EXPECT_EQ(box->hasFocus(), c.staysInBox) << "text \"" << c.text << "\"";
        EXPECT_EQ(box->currentText(), QString::fromUtf8(c.after)) << "text \"" << c.text << "\"";
    }
    // Another window taking the focus is not leaving for a control of this one.
    box->setFocus(Qt::MouseFocusReason);
    box->setEditText("abc");
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(box->currentText(), "abc");
}

TEST_F(SaveTest, ValidateCalledDirectlyFollowsTheSameTable) {
    start(PatternImage(4, 4));
    for (const ValidateCase& c : kValidateTable) {
        Peer(window).cbJpg()->setEditText(QString::fromUtf8(c.text));
        EXPECT_EQ(window->cbJpg_Validate(), c.staysInBox) << c.text;
        EXPECT_EQ(Peer(window).cbJpg()->currentText(), QString::fromUtf8(c.after)) << c.text;
    }
}

TEST(QtSaveDialog, ConvertsTheFilterAndAsksWithTheInitialName) {
    EXPECT_EQ(ToQtNameFilter(QString::fromUtf8("BMPファイル (*.bmp)|*.bmp")),
              QString::fromUtf8("BMPファイル (*.bmp)"));
    EXPECT_EQ(ToQtNameFilter("Pictures|*.png;*.jpg"), "Pictures (*.png *.jpg)");
    EXPECT_EQ(ToQtNameFilter("A (*.a)|*.a|B|*.b"), "A (*.a);;B (*.b)");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto saver = std::make_unique<QtSaveFileDialog>();
    struct Seen {
        QStringList filters;
        QString suffix;
        bool confirmsOverwrite = false;
        bool saving = false;
        QString typed;
    } seen;
    // Answers the dialog once it is up: looked for again every few milliseconds, so a
    // slow start never leaves exec() waiting for an answer that was already tried.
    std::function<void(const QString&, int)> answer = [&](const QString& path, int tries) {
        QTimer::singleShot(tries == 0 ? 0 : 10, [&, path, tries] {
            QFileDialog* d = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* f = qobject_cast<QFileDialog*>(w); f && f->isVisible()) d = f;
            if (!d) {
                if (tries < 500) answer(path, tries + 1);
                return;
            }
            seen.filters = d->nameFilters();
            seen.suffix = d->defaultSuffix();
            seen.confirmsOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
            seen.saving = d->acceptMode() == QFileDialog::AcceptSave;
            seen.typed = d->selectedFiles().value(0);
            if (path.isEmpty()) {
                d->reject();
            } else {
                d->selectFile(path);
                static_cast<QDialog*>(d)->accept();  // public there
            }
        });
    };
    answer(QString(), 0);
    EXPECT_FALSE(saver->askFileName(QString::fromUtf8("GIFファイル (*.gif)|*.gif"), "pic.gif", {}));
    EXPECT_EQ(seen.filters, QStringList{QString::fromUtf8("GIFファイル (*.gif)")});
    EXPECT_TRUE(seen.suffix.isEmpty());
    EXPECT_TRUE(seen.confirmsOverwrite);
    EXPECT_TRUE(seen.saving);
    EXPECT_EQ(QFileInfo(seen.typed).fileName(), "pic.gif");

    // Given a folder, the dialog opens there with the initial name.
    answer(QString(), 0);
    EXPECT_FALSE(
        saver->askFileName(QString::fromUtf8("PNGファイル (*.png)|*.png"), "pic.png", dir.path()));
    EXPECT_EQ(seen.typed, QDir(dir.path()).filePath("pic.png"));

    const QString plain = dir.filePath("typed");
    answer(plain, 0);
    EXPECT_EQ(saver->askFileName(QString::fromUtf8("JPGファイル (*.jpg)|*.jpg"), "pic.jpg", {}),
              std::optional<QString>(plain));
}

}  // namespace
}  // namespace trimlet
