#pragma once
// Recording stand-ins for the platform services.

#include <QImage>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/clipboard.h"
#include "platform/savedialog.h"
#include "platform/screengrab.h"
#include "platform/sound.h"
#include "platform/urlopener.h"

namespace trimlet::testing {

class FakeClipboard final : public Clipboard {
public:
    std::optional<QImage> image = QImage();  // empty optional: unreadable
    int reads = 0;
    int writes = 0;
    std::optional<QImage> readImage() override {
        ++reads;
        return image;
    }
    bool writeImage(const QImage& picture) override {
        ++writes;
        image = picture;
        return true;
    }
    std::function<void()> watcher;
    void watchChanges(std::function<void()> changed) override { watcher = std::move(changed); }
};

class FakeGrabber final : public ScreenGrabber {
public:
    QImage screen;
    int grabs = 0;
    QImage grabDesktop() override {
        ++grabs;
        return screen;
    }
};

class FakeSound final : public SoundPlayer {
public:
    std::vector<SystemSound> played;
    void play(SystemSound sound) override { played.push_back(sound); }
};

class FakeSaveDialog final : public SaveFileDialog {
public:
    struct Call {
        QString filter;
        QString initialName;
        QString folder;
    };
    std::vector<Call> calls;
    std::deque<std::optional<QString>> answers;  // empty optional: cancel
    std::optional<QString> askFileName(const QString& filter, const QString& initialName,
                                       const QString& folder) override {
        calls.push_back({filter, initialName, folder});
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

class FakeUrlOpener final : public UrlOpener {
public:
    std::vector<QString> opened;
    void open(const QString& address) override { opened.push_back(address); }
};

// A picture whose every pixel is different, so a wrong offset shows.
inline QImage PatternImage(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixel(x, y, qRgb((x * 7 + y) & 0xFF, (y * 5 + x / 3) & 0xFF, (x ^ y) & 0xFF));
    return img;
}

}  // namespace trimlet::testing
