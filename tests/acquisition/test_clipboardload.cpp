#include <gtest/gtest.h>

#include "acquisition/clipboardload.h"
#include "support/fakes.h"

namespace trimlet {
namespace {

using testing::FakeClipboard;
using testing::FakeGrabber;

struct Rig {
    FakeClipboard clipboard;
    FakeGrabber grabber;
    int presses = 0;
    int pumps = 0;
    std::vector<bool> pressed;  // what each Print Screen reported
    std::optional<QImage> read() {
        return ReadClipboardPicture(clipboard, [this] {
            ++presses;
            pressed.push_back(SendPrintScreen(grabber, clipboard, [this] { ++pumps; }));
        });
    }
};

TEST(ReadClipboardPicture, APictureOnTheClipboardIsUsedAsItIs) {
    Rig rig;
    QImage argb(800, 600, QImage::Format_ARGB32);
    argb.fill(qRgb(10, 20, 30));
    rig.clipboard.image = argb;
    const auto picture = rig.read();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size(), QSize(800, 600));
    EXPECT_EQ(picture->format(), QImage::Format_RGB32);
    EXPECT_EQ(picture->pixel(799, 599), qRgb(10, 20, 30));
    EXPECT_EQ(rig.presses, 0);
    EXPECT_EQ(rig.clipboard.reads, 1);
}

TEST(ReadClipboardPicture, NoPicturePressesPrintScreenOnceAndShowsTheScreen) {
    Rig rig;
    rig.grabber.screen = QImage(1280, 1024, QImage::Format_RGB32);
    rig.grabber.screen.fill(Qt::green);
    const auto picture = rig.read();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size(), QSize(1280, 1024));
    EXPECT_EQ(rig.presses, 1);
    EXPECT_EQ(rig.pumps, 1);
    EXPECT_EQ(rig.clipboard.writes, 1);  // the screen went onto the clipboard
    EXPECT_EQ(rig.pressed, std::vector<bool>{true});
    EXPECT_EQ(rig.clipboard.reads, 2);
}

TEST(ReadClipboardPicture, StillEmptyAfterThePressGivesAnEmptyPictureWithoutASecondPress) {
    Rig rig;  // the grabber gives nothing either
    const auto picture = rig.read();
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->isNull());
    EXPECT_EQ(picture->width(), 0);
    EXPECT_EQ(rig.presses, 1);
    EXPECT_EQ(rig.clipboard.writes, 0);  // nothing was grabbed, nothing written
    EXPECT_EQ(rig.pressed, std::vector<bool>{false});
}

TEST(ReadClipboardPicture, AnUnreadableClipboardIsAFailure) {
    Rig rig;
    rig.clipboard.image = std::nullopt;
    EXPECT_FALSE(rig.read());
    EXPECT_EQ(rig.presses, 0);
}

}  // namespace
}  // namespace trimlet
