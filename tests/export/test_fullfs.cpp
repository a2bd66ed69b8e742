// Saving onto a disk that fills up: the previous file stays byte for byte, nothing
// half-written is left, and the save says it failed.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

#include "export/decode_util.h"
#include "export/encoders.h"
#include "support/fakes.h"
#include "support/fullfs.h"

namespace trimlet {
namespace {

using testing::PatternImage;
using testing::ReadWholeFile;
using testing::SmallFilesystem;

QByteArray EncodeToMemory(ImageFormat format, const QImage& image) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ExportResult r = format == ImageFormat::Bmp    ? EncodeBmp(image, buffer)
                     : format == ImageFormat::Jpeg ? EncodeJpeg(image, 60, buffer)
                     : format == ImageFormat::Png  ? EncodePng(image, buffer)
                                                   : EncodeGif(image, buffer);
    return r ? buffer.data() : QByteArray();
}

TEST(SaveImageOnFullDisk, KeepsThePreviousFileAndReportsTheFailure) {
    const QByteArray previous = "the user's previous picture, which must survive";
    const struct {
        ImageFormat format;
        const char* name;
    } formats[] = {{ImageFormat::Bmp, "pic.bmp"},
                   {ImageFormat::Gif, "pic.gif"},
                   {ImageFormat::Jpeg, "pic.jpg"},
                   {ImageFormat::Png, "pic.png"}};
    // From files of a few dozen bytes to several hundred KiB, well past any write buffer.
    const QSize sizes[] = {{1, 1}, {8, 8}, {40, 30}, {100, 80}, {300, 200}, {500, 400}};

    for (const auto& f : formats) {
        for (const QSize size : sizes) {
            const QImage picture = PatternImage(size.width(), size.height());
            const QByteArray encoded = EncodeToMemory(f.format, picture);
            ASSERT_FALSE(encoded.isEmpty());
            const std::size_t n = static_cast<std::size_t>(encoded.size());
            // No room at all, and room for all but the last page of the file.
            for (const std::size_t leave : {std::size_t{0}, ((n - 1) / 4096) * 4096}) {
                SCOPED_TRACE(std::string(f.name) + " " + std::to_string(size.width()) + "x" +
                             std::to_string(size.height()) + ", " + std::to_string(n) + " bytes, " +
                             std::to_string(leave) + " free");
                SmallFilesystem fs(4 << 20);
                if (!fs.ready()) GTEST_SKIP() << fs.whyNot();
                const QString target = fs.path(QString::fromLatin1(f.name));
                {
                    QFile old(target);
                    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
                    ASSERT_EQ(old.write(previous), previous.size());
                }
                ASSERT_TRUE(fs.fillLeaving(leave));
                const ExportResult r = SaveImage(target, f.format, picture, 60);
                EXPECT_FALSE(r.ok());
                EXPECT_FALSE(r.error().empty());
                EXPECT_EQ(ReadWholeFile(target), previous);
                EXPECT_EQ(fs.files(), QStringList{QString::fromLatin1(f.name)});

                // With the space back, the same save goes through.
                fs.removeFiller();
                const ExportResult again = SaveImage(target, f.format, picture, 60);
                EXPECT_TRUE(again.ok()) << again.error();
                EXPECT_EQ(ReadWholeFile(target), encoded);
            }
        }
    }
}

TEST(SaveImageOnFullDisk, LeavesNoNewFileWhenThereWasNone) {
    SmallFilesystem fs(1 << 20);
    if (!fs.ready()) GTEST_SKIP() << fs.whyNot();
    ASSERT_TRUE(fs.fillLeaving(0));
    for (const ImageFormat format :
         {ImageFormat::Bmp, ImageFormat::Gif, ImageFormat::Jpeg, ImageFormat::Png}) {
        EXPECT_FALSE(SaveImage(fs.path("new.img"), format, PatternImage(2, 2), 60).ok());
        EXPECT_TRUE(fs.files().isEmpty()) << fs.files().join(',').toStdString();
    }
}

}  // namespace
}  // namespace trimlet
