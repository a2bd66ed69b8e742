#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <tuple>

#include "export/decode_util.h"
#include "export/savesequence.h"
#include "selection/selection.h"
#include "support/fakes.h"

namespace trimlet {
namespace {

using testing::DecodeGif;
using testing::DecodeJpeg;
using testing::FakeSaveDialog;
using testing::FakeSound;
using testing::PatternImage;
using testing::ReadWholeFile;

Selection Select(int left, int top, int dx, int dy) {
    Selection s;
    s.selLeft = s.anchorX = left;
    s.selTop = s.anchorY = top;
    s.selDX = dx;
    s.selDY = dy;
    return s;
}

TEST(CutOut, IsAViewOfThePictureWhenTheBlockLiesInside) {
    const QImage picture = PatternImage(40, 30);
    const QImage block = CutOut(picture, PixelRect{5, 7, 10, 4});
    ASSERT_EQ(block.size(), QSize(10, 4));
    EXPECT_EQ(block, picture.copy(5, 7, 10, 4));
    // No copy: the block's first pixel is the picture's own memory.
    EXPECT_EQ(block.constBits(), picture.constBits() + 7 * picture.bytesPerLine() + 5 * 4);

    const QImage whole = CutOut(picture, PixelRect{0, 0, 40, 30});
    EXPECT_EQ(whole, picture);
    EXPECT_TRUE(CutOut(picture, PixelRect{0, 0, 0, 5}).isNull());
    EXPECT_TRUE(CutOut(picture, PixelRect{0, 0, 3, -1}).isNull());
}

TEST(CutOut, IsGreyWhereTheBlockReachesOutsideThePicture) {
    const QImage picture = PatternImage(6, 5);
    const PixelRect blocks[] = {
        {-1, -1, 3, 3},    // a left click on the very first pixel: one grey column and row
        {-1, 2, 2, 1},     // first column only
        {4, 3, 5, 4},      // past the right and bottom edges
        {-3, -3, 12, 11},  // around the whole picture
        {10, 10, 2, 2},    // wholly outside
    };
    for (const PixelRect& b : blocks) {
        const QImage out = CutOut(picture, b);
        ASSERT_EQ(out.size(), QSize(b.width, b.height));
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) {
                const QPoint p(b.left + x, b.top + y);
                const QRgb expected =
                    picture.rect().contains(p) ? picture.pixel(p) : qRgb(128, 128, 128);
                ASSERT_EQ(out.pixel(x, y), expected)
                    << "block " << b.left << "," << b.top << " pixel " << x << "," << y;
            }
    }
    // An empty picture gives an all-grey block.
    const QImage grey = CutOut(QImage(), PixelRect{0, 0, 2, 2});
    ASSERT_EQ(grey.size(), QSize(2, 2));
    EXPECT_EQ(grey.pixel(1, 1), qRgb(128, 128, 128));
}

TEST(CutOut, CopiesFromPicturesOfOtherFormats) {
    const QImage picture = PatternImage(12, 9).convertToFormat(QImage::Format_RGB888);
    QImage block = CutOut(picture, PixelRect{2, 3, 4, 5});
    EXPECT_EQ(block, PatternImage(12, 9).copy(2, 3, 4, 5));
}

class SaveSelectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    SaveReport Save(int index, const Selection& sel, std::string_view quality = "60") {
        return SaveSelection(kSaveFormats.at(static_cast<std::size_t>(index)), sel.highlight(),
                             picture, quality, dialog, sound);
    }
    QTemporaryDir dir;
    QImage picture = PatternImage(64, 48);
    FakeSaveDialog dialog;
    FakeSound sound;
};

TEST_F(SaveSelectionTest, AsksWithEachFormatsFilterAndNameAndCancelWritesNothing) {
    for (std::size_t i = 0; i < kSaveFormats.size(); ++i) {
        const SaveReport r = Save(static_cast<int>(i), Select(1, 1, 63, 47));  // cancel
        EXPECT_EQ(r.outcome, SaveOutcome::Cancelled);
        ASSERT_EQ(dialog.calls.size(), i + 1);
        EXPECT_EQ(dialog.calls.back().filter.toStdString(), kSaveFormats[i].filter);
        EXPECT_EQ(dialog.calls.back().initialName.toStdString(), kSaveFormats[i].initialName);
    }
    EXPECT_TRUE(sound.played.empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(SaveSelectionTest, WritesExactlyTheSelectedBlockAsBmp) {
    struct Case {
        Selection sel;
        QRect block;  // in picture pixels
    };
    const Case cases[] = {
        {Select(11, 5, 9, 0), QRect(10, 4, 10, 1)},
        {Select(1, 1, 63, 47), QRect(0, 0, 64, 48)},  // the whole picture
        {Select(64, 48, 0, 0), QRect(63, 47, 1, 1)},  // the last pixel
        {Select(3, 7, 0, 0), QRect(2, 6, 1, 1)},      // one pixel
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath("out.bmp");
        dialog.answers.push_back(path);
        const SaveReport r = Save(0, c.sel);
        ASSERT_EQ(r.outcome, SaveOutcome::Saved) << r.error;
        const QImage saved = QImage(path, "BMP").convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(saved, picture.copy(c.block)) << c.block.x() << "," << c.block.y();
    }
    EXPECT_EQ(sound.played, std::vector<SystemSound>(std::size(cases), SystemSound::Information));
    // Nothing but the target: no temporary file.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.bmp"});
}

TEST_F(SaveSelectionTest, PaintsGreyWhereAClickOnTheFirstPixelReachesOutside) {
    // BMP and the lossless PNG give the same pixels.
    for (const auto& [index, name, format] :
         {std::tuple{0, "corner.bmp", "BMP"}, std::tuple{3, "corner.png", "PNG"}}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        dialog.answers.push_back(path);
        ASSERT_EQ(Save(index, Select(0, 0, 1, 1)).outcome, SaveOutcome::Saved);
        const QImage saved = QImage(path, format).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(saved.size(), QSize(2, 2)) << format;
        EXPECT_EQ(saved.pixel(0, 0), qRgb(128, 128, 128)) << format;
        EXPECT_EQ(saved.pixel(1, 0), qRgb(128, 128, 128)) << format;
        EXPECT_EQ(saved.pixel(0, 1), qRgb(128, 128, 128)) << format;
        EXPECT_EQ(saved.pixel(1, 1), picture.pixel(0, 0)) << format;
    }
}

TEST_F(SaveSelectionTest, WritesPngThatDecodesToExactlyTheBlock) {
    const QString path = dir.filePath("pic.png");
    dialog.answers.push_back(path);
    ASSERT_EQ(Save(3, Select(3, 4, 20, 10)).outcome, SaveOutcome::Saved);
    EXPECT_EQ(QImage(path, "PNG").convertToFormat(QImage::Format_RGB32),
              picture.copy(2, 3, 21, 11));
    EXPECT_EQ(sound.played, std::vector{SystemSound::Information});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"pic.png"});
}

TEST_F(SaveSelectionTest, UsesTheQualityFromTheBoxRoundedHalfToEven) {
    const QImage block = CutOut(picture, Select(1, 1, 40, 30).highlight());
    auto jpegAt = [&](int q) {
        QBuffer b;
        b.open(QIODevice::WriteOnly);
        EXPECT_TRUE(EncodeJpeg(block, q, b).ok());
        return b.data();
    };
    struct Case {
        const char* text;
        int quality;
    };
    const Case cases[] = {{"60.5", 60}, {"61.5", 62}, {"0", 60}, {"101", 60},
                          {"abc", 60},  {"80", 80},   {"1", 1},  {"100", 100}};
    for (const Case& c : cases) {
        const QString path = dir.filePath("q.jpg");
        dialog.answers.push_back(path);
        ASSERT_EQ(Save(2, Select(1, 1, 40, 30), c.text).outcome, SaveOutcome::Saved);
        const QByteArray saved = ReadWholeFile(path);
        EXPECT_EQ(saved, jpegAt(c.quality)) << "text " << c.text;
        EXPECT_NE(saved, jpegAt(c.quality == 60 ? 61 : 60)) << "text " << c.text;
    }
}

TEST_F(SaveSelectionTest, WritesGifAndJpegThatDecodeBack) {
    const QString gif = dir.filePath("pic.gif");
    const QString jpg = dir.filePath("pic.jpg");
    dialog.answers = {gif, jpg};
    ASSERT_EQ(Save(1, Select(3, 4, 20, 10)).outcome, SaveOutcome::Saved);
    ASSERT_EQ(Save(2, Select(3, 4, 20, 10)).outcome, SaveOutcome::Saved);
    const testing::DecodedGif g = DecodeGif(ReadWholeFile(gif));
    EXPECT_EQ(g.image.size(), QSize(21, 11));
    EXPECT_LE(g.paletteSize, 256);
    EXPECT_EQ(DecodeJpeg(ReadWholeFile(jpg)).size(), QSize(21, 11));
    EXPECT_EQ(sound.played, (std::vector{SystemSound::Information, SystemSound::Information}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(SaveSelectionTest, AFailedSavePlaysTheErrorSoundAndLeavesNoFile) {
    for (int index : {0, 1, 2, 3}) {
        sound.played.clear();
        const QString path = dir.filePath("missing/folder/out");
        dialog.answers.push_back(path);
        const SaveReport r = Save(index, Select(1, 1, 10, 10));
        EXPECT_EQ(r.outcome, SaveOutcome::Failed);
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(sound.played, std::vector{SystemSound::Error});
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    // An empty picture with an empty selection: nothing to write, the old file stays.
    const QString old = dir.filePath("old.bmp");
    dialog.answers.push_back(old);
    ASSERT_EQ(Save(0, Select(1, 1, 3, 3)).outcome, SaveOutcome::Saved);
    const QByteArray before = ReadWholeFile(old);
    sound.played.clear();
    dialog.answers.push_back(old);
    picture = QImage();
    EXPECT_EQ(Save(0, Select(1, 1, -1, -1)).outcome, SaveOutcome::Failed);
    EXPECT_EQ(sound.played, std::vector{SystemSound::Error});
    EXPECT_EQ(ReadWholeFile(old), before);
}

}  // namespace
}  // namespace trimlet
