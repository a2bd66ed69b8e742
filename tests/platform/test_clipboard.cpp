// The clipboard as the program reads it: another program's picture under the same
// limits as a file, an unreadable picture as a failed read, and our own picture shared.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <QWindow>

#include "platform/clipboard.h"

namespace trimlet {
namespace {

QByteArray Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", 1);
    return bytes;
}

void Offer(const char* format, const QByteArray& bytes) {
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(format), bytes);
    QGuiApplication::clipboard()->setMimeData(mime);
}

TEST(QtClipboard, AnotherProgramsLargePictureIsRead) {
    // 8000 x 8000 at 32 bits is 244 MiB: more than Qt's own default image limit.
    QImage big(8000, 8000, QImage::Format_RGB32);
    big.fill(qRgb(10, 200, 30));
    big.setPixel(7999, 7999, qRgb(1, 2, 3));
    Offer("image/png", Png(big));
    big = QImage();
    QtClipboard clipboard;
    const std::optional<QImage> read = clipboard.readImage();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), QSize(8000, 8000));
    EXPECT_EQ(read->format(), QImage::Format_RGB32);
    EXPECT_EQ(read->pixel(7999, 7999), qRgb(1, 2, 3));
    EXPECT_EQ(read->pixel(0, 0), qRgb(10, 200, 30));
}

TEST(QtClipboard, WhatHoldsAPictureOrNot) {
    QImage small(3, 2, QImage::Format_ARGB32);
    small.fill(qRgba(255, 0, 0, 128));
    // A PNG header declaring 100000 x 100000 (the rest of the file is missing).
    QByteArray huge = Png(QImage(1, 1, QImage::Format_RGB32)).left(33);
    huge[16] = 0, huge[17] = 1, huge[18] = char(0x86), huge[19] = char(0xA0);
    huge[20] = 0, huge[21] = 1, huge[22] = char(0x86), huge[23] = char(0xA0);
    const struct {
        const char* what;
        const char* format;
        QByteArray bytes;
        enum { Picture, NoPicture, Unreadable } expected;
        QSize size;
    } rows[] = {
        {"a small picture with alpha", "image/png", Png(small), rows[0].Picture, {3, 2}},
        {"garbage called a picture", "image/png", "not a picture at all", rows[0].Unreadable, {}},
        {"a picture beyond the budget", "image/png", huge, rows[0].Unreadable, {}},
        {"text", "text/plain", "hello", rows[0].NoPicture, {}},
    };
    QtClipboard clipboard;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Offer(r.format, r.bytes);
        const std::optional<QImage> read = clipboard.readImage();
        switch (r.expected) {
            case rows[0].Picture:
                ASSERT_TRUE(read.has_value());
                EXPECT_EQ(read->size(), r.size);
                EXPECT_EQ(read->format(), QImage::Format_RGB32);
                break;
            case rows[0].NoPicture:
                ASSERT_TRUE(read.has_value());
                EXPECT_TRUE(read->isNull());
                break;
            case rows[0].Unreadable:
                EXPECT_FALSE(read.has_value());
                break;
        }
    }
}

TEST(QtClipboard, OurOwnPictureIsSharedNotCopied) {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QtClipboard clipboard;
    ASSERT_TRUE(clipboard.writeImage(picture));
    const std::optional<QImage> read = clipboard.readImage();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->constBits(), picture.constBits());
}

// Programs that paste take the first picture format offered: PNG, served as the very
// picture (not Qt's own image type, which it serves as BMP).
TEST(QtClipboard, OurPictureIsOfferedAsPngFirst) {
    QImage picture(37, 21, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) picture.setPixel(x, y, qRgb(x * 7, y * 11, 99));
    QtClipboard clipboard;
    ASSERT_TRUE(clipboard.writeImage(picture));
    const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(offered, nullptr);
    ASSERT_FALSE(offered->formats().isEmpty());
    EXPECT_EQ(offered->formats().first(), QStringLiteral("image/png"));
    const QByteArray png = offered->data(QStringLiteral("image/png"));
    EXPECT_TRUE(png.startsWith("\x89PNG"));
    EXPECT_EQ(QImage::fromData(png).convertToFormat(QImage::Format_RGB32), picture);
}

// Where the compositor lets only a focused window set the clipboard, a picture written
// while no window of ours has the focus (a capture, with the window hidden) is read back
// at once and offered once a window of ours is focused again.
TEST(QtClipboard, WithoutTheFocusThePictureWaitsForIt) {
    auto* before = new QMimeData;
    before->setText(QStringLiteral("someone else's"));
    QGuiApplication::clipboard()->setMimeData(before);
    ASSERT_EQ(QGuiApplication::focusWindow(), nullptr);
    QImage picture(5, 4, QImage::Format_RGB32);
    picture.fill(qRgb(1, 2, 3));
    QtClipboard clipboard(ClipboardWriter::FocusedToolkit);
    ASSERT_TRUE(clipboard.writeImage(picture));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), QStringLiteral("someone else's"));
    std::optional<QImage> read = clipboard.readImage();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, picture);

    QWindow window;
    window.show();
    window.requestActivate();
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::focusWindow(), &window, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->mimeData()->formats().value(0),
                              QStringLiteral("image/png"), 5000);
    read = clipboard.readImage();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, picture);
}

// Which way the pictures leave the program, from what the compositor announces and what
// the installed wl-copy speaks.
TEST(ChooseClipboardWriter, DataControlOnlyWhereBothSpeakIt) {
    const QStringList none;
    const QStringList wlr = {QStringLiteral("wl_seat"),
                             QStringLiteral("zwlr_data_control_manager_v1")};
    const QStringList ext = {QStringLiteral("wl_seat"),
                             QStringLiteral("ext_data_control_manager_v1")};
    const QStringList both = wlr + ext;
    const struct {
        const char* what;
        bool wayland;
        QStringList globals, wlCopy;
        ClipboardWriter expected;
    } rows[] = {
        {"X11", false, wlr, wlr, ClipboardWriter::Toolkit},
        {"wlroots", true, wlr, wlr, ClipboardWriter::DataControlTool},
        {"no data-control (mutter)",
         true,
         {QStringLiteral("wl_seat")},
         both,
         ClipboardWriter::FocusedToolkit},
        {"ext only, an older wl-copy", true, ext, wlr, ClipboardWriter::FocusedToolkit},
        {"ext only, a newer wl-copy", true, ext, both, ClipboardWriter::DataControlTool},
        {"no wl-copy", true, both, none, ClipboardWriter::FocusedToolkit},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ChooseClipboardWriter(r.wayland, r.globals, r.wlCopy), r.expected) << r.what;
}

}  // namespace
}  // namespace trimlet
