#include "app/cropservices.h"

#include "platform/clipboard.h"
#include "platform/savedialog.h"
#include "platform/screengrab.h"
#include "platform/sound.h"
#include "platform/urlopener.h"

namespace trimlet {
namespace {

class NoClipboard final : public Clipboard {
public:
    std::optional<QImage> readImage() override { return std::nullopt; }
    bool writeImage(const QImage&) override { return false; }
    void watchChanges(std::function<void()>) override {}
};

class NoScreen final : public ScreenGrabber {
public:
    QImage grabDesktop() override { return {}; }
};

class Silence final : public SoundPlayer {
public:
    void play(SystemSound) override {}
};

class CancelledDialog final : public SaveFileDialog {
public:
    std::optional<QString> askFileName(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

class NoBrowser final : public UrlOpener {
public:
    void open(const QString&) override {}
};

// Stateless, so one of each serves every window.
template <typename Service, typename StandIn>
void Fill(Service*& service) {
    static StandIn standIn;
    if (!service) service = &standIn;
}

}  // namespace

CropServices WithStandIns(CropServices services) {
    Fill<Clipboard, NoClipboard>(services.clipboard);
    Fill<ScreenGrabber, NoScreen>(services.grabber);
    Fill<SoundPlayer, Silence>(services.sound);
    Fill<SaveFileDialog, CancelledDialog>(services.saveDialog);
    Fill<UrlOpener, NoBrowser>(services.urlOpener);
    if (!services.sleep) services.sleep = [](int) { return true; };
    if (!services.processEvents) services.processEvents = [] {};
    if (!services.settingsFile) services.settingsFile = [] { return QString(); };
    if (!services.storeSettings) services.storeSettings = WriteIniValues;
    return services;
}

}  // namespace trimlet
