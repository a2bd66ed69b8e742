// The ways in, with a recording window and recording services: the order of the steps
// of each sequence, without a display.
#include <gtest/gtest.h>

#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "acquisition/acquirer.h"
#include "support/fakes.h"

namespace trimlet {
namespace {

using testing::PatternImage;
using Steps = std::vector<std::string>;

struct Rig : AcquisitionWindow, Clipboard, ScreenGrabber, SoundPlayer {
    Steps steps;
    bool shown = true;
    std::optional<QImage> clip = QImage();
    QImage screen = PatternImage(64, 48);
    bool ending = false;  // the capture wait is cut short by the program's end
    bool asks = false;    // the desktop asks the user before a screenshot
    bool grants = true;   // and the user allows it (then it asks no more)
    Acquirer acquirer{*this,
                      {*this, *this,
                       [this](int ms) {
                           note("sleep " + std::to_string(ms));
                           return !ending;
                       },
                       [this] { note("events"); }, nullptr, this}};

    void note(std::string s) { steps.push_back(std::move(s)); }
    static std::string sizeText(const QImage& i) {
        return std::to_string(i.width()) + "x" + std::to_string(i.height());
    }

    bool isShownOnScreen() const override { return shown; }
    void hideFromScreen() override {
        shown = false;
        note("hide");
    }
    void showOnScreen() override {
        shown = true;
        note("show");
    }
    void showPicture(const QImage& picture) override {
        note("view " + sizeText(picture) +
             (picture.format() == QImage::Format_RGB32 ? "" : " !32"));
    }
    void selectWholePicture() override { note("select"); }

    std::optional<QImage> readImage() override {
        note("read");
        return clip;
    }
    bool writeImage(const QImage& image) override {
        note("write " + sizeText(image));
        clip = image;
        return true;
    }
    void watchChanges(std::function<void()>) override {}
    QImage grabDesktop() override {
        note(shown ? "grab (window shown)" : "grab");
        return screen;
    }
    bool wouldAsk() override { return asks; }
    GrabPermission askPermission() override {
        if (!asks) return {};
        note(shown ? "ask (window shown)" : "ask");
        asks = !grants;
        return {grants, grants ? QString() : QStringLiteral("refused")};
    }
    void play(SystemSound sound) override {
        note(sound == SystemSound::Error ? "error sound" : "sound");
    }
};

TEST(Acquirer, Sequences) {
    struct Case {
        const char* name;
        std::optional<QImage> clip;
        QImage screen;
        std::function<void(Acquirer&)> run;
        Steps steps;
    };
    const QImage argb = PatternImage(30, 20).convertToFormat(QImage::Format_ARGB32);
    const Case cases[] = {
        {"reload",
         PatternImage(30, 20),
         PatternImage(64, 48),
         [](Acquirer& a) { a.reload(); },
         {"read", "view 30x20", "select"}},
        {"reload converts to 32-bit RGB",
         argb,
         PatternImage(64, 48),
         [](Acquirer& a) { a.reload(); },
         {"read", "view 30x20", "select"}},
        {"reload of an unreadable clipboard keeps the view",
         std::nullopt,
         PatternImage(64, 48),
         [](Acquirer& a) { a.reload(); },
         {"read", "select"}},
        {"reload of a clipboard without a picture presses Print Screen",
         QImage(),
         PatternImage(64, 48),
         [](Acquirer& a) { a.reload(); },
         {"read", "grab (window shown)", "write 64x48", "events", "read", "view 64x48", "select"}},
        {"capture",
         PatternImage(30, 20),
         PatternImage(64, 48),
         [](Acquirer& a) { a.capture(2000); },
         {"hide", "sleep 2000", "grab", "write 64x48", "events", "show", "read", "view 64x48",
          "select"}},
        {"capture without a screen picture keeps the view",
         PatternImage(30, 20),
         QImage(),
         [](Acquirer& a) { a.capture(500); },
         {"hide", "sleep 500", "grab", "events", "show"}},
        {"start-up with the window off the screen for Print Screen",
         QImage(),
         PatternImage(64, 48),
         [](Acquirer& a) { a.startUp({}, true); },
         {"read", "hide", "grab", "write 64x48", "events", "show", "read", "view 64x48", "select"}},
        {"start-up with a file that is no picture goes on",
         PatternImage(30, 20),
         PatternImage(64, 48),
         [](Acquirer& a) { a.startUp("/nonexistent/x.png", false); },
         {"events", "read", "view 30x20", "select"}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.clip = c.clip;
        rig.screen = c.screen;
        c.run(rig.acquirer);
        EXPECT_EQ(rig.steps, c.steps) << c.name;
    }
}

// A desktop that asks the user before its first screenshot asks over the shown window, and
// never at start-up.
TEST(Acquirer, WhereTheDesktopAsksFirst) {
    const struct {
        const char* name;
        bool grants;
        std::function<void(Acquirer&)> run;
        Steps steps;
    } cases[] = {
        {"capture asks before the window leaves",
         true,
         [](Acquirer& a) { a.capture(500); },
         {"ask (window shown)", "hide", "sleep 500", "grab", "write 64x48", "events", "show",
          "read", "view 64x48", "select"}},
        {"a refused capture ends at once, the window never leaving",
         false,
         [](Acquirer& a) { a.capture(500); },
         {"ask (window shown)", "error sound"}},
        {"start-up takes no picture and asks nothing",
         true,
         [](Acquirer& a) { a.startUp({}, true); },
         {"read", "read", "view 0x0 !32", "select"}},
        {"the reload's Print Screen asks over the shown window",
         true,
         [](Acquirer& a) { a.reload(); },
         {"read", "ask (window shown)", "grab (window shown)", "write 64x48", "events", "read",
          "view 64x48", "select"}},
        {"a refused reload shows the empty view",
         false,
         [](Acquirer& a) { a.reload(); },
         {"read", "ask (window shown)", "read", "view 0x0 !32", "select"}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.asks = true;
        rig.grants = c.grants;
        c.run(rig.acquirer);
        EXPECT_EQ(rig.steps, c.steps) << c.name;
    }
    // Once allowed, later captures ask nothing.
    Rig rig;
    rig.asks = true;
    rig.acquirer.capture(500);
    rig.steps.clear();
    rig.acquirer.capture(500);
    EXPECT_EQ(rig.steps.front(), "hide");
}

TEST(Acquirer, ACaptureWaitCutShortByTheProgramsEndGrabsAndReadsNothing) {
    Rig rig;
    rig.ending = true;
    rig.acquirer.capture(3000);
    EXPECT_EQ(rig.steps, (Steps{"hide", "sleep 3000", "show"}));
}

TEST(Acquirer, ADropLoadsOnlyTheFirstFileAndOnlyWhenItIsAPicture) {
    QTemporaryDir dir;
    const QString picture = dir.filePath("a.png"), text = dir.filePath("b.txt");
    ASSERT_TRUE(PatternImage(12, 8).save(picture));
    QFile(text).open(QIODevice::WriteOnly);
    struct Case {
        QStringList files;
        Steps steps;
    };
    const Case cases[] = {
        {{picture, text}, {"write 12x8", "events", "read", "view 12x8", "select"}},
        {{text, picture}, {}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        Rig rig;
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& f : c.files) urls << QUrl::fromLocalFile(f);
        data.setUrls(urls);
        rig.acquirer.drop(&data);
        EXPECT_EQ(rig.steps, c.steps) << c.files.join(',').toStdString();
    }
    Rig rig;
    QMimeData words;
    words.setText(picture);
    rig.acquirer.drop(&words);
    rig.acquirer.drop(nullptr);
    EXPECT_TRUE(rig.steps.empty());
}

}  // namespace
}  // namespace trimlet
