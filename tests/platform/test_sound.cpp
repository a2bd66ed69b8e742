// A program started from a menu has no terminal to speak to: playing a sound where no
// sound device exists must not fill the log with the sound library's complaints.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>

#include "platform/sound.h"

namespace trimlet {
namespace {

TEST(SoundPlayer, PlaysWithoutNoiseOnStandardError) {
    QTemporaryFile log;
    ASSERT_TRUE(log.open());
    const int saved = ::dup(STDERR_FILENO);
    ASSERT_GE(saved, 0);
    ASSERT_GE(::dup2(log.handle(), STDERR_FILENO), 0);
    {
        const std::unique_ptr<SoundPlayer> player = CreateSoundPlayer();
        player->play(SystemSound::Information);
        player->play(SystemSound::Error);
        // The player's end waits for its playback threads: all they print is in by then.
    }
    ::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    QFile read(log.fileName());
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray printed = read.readAll();
    EXPECT_FALSE(printed.contains("ALSA")) << printed.toStdString();
    EXPECT_LE(printed.count('\n'), 1) << printed.toStdString();
}

}  // namespace
}  // namespace trimlet
