// The window placement restored from any settings file. Oracles: the window always
// lands at least partly on a screen and never below its minimum size, and what is then
// stored restores to a window that is on a screen too.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "settings/windowplacement.h"

namespace {

class FuzzWindow final : public trimlet::PlacementWindow {
public:
    float l = 0, t = 0, w = 0, h = 0;
    trimlet::WindowShowState s = trimlet::WindowShowState::Normal;
    std::vector<QRect> screenList{QRect(0, 0, 19200, 15360), QRect(19200, -3000, 28800, 16200)};
    float left() const override { return l; }
    float top() const override { return t; }
    float width() const override { return w; }
    float height() const override { return h; }
    void setLeft(float v) override { l = v; }
    void setTop(float v) override { t = v; }
    void setWidth(float v) override { w = v; }
    void setHeight(float v) override { h = v; }
    trimlet::WindowShowState state() const override { return s; }
    void setState(trimlet::WindowShowState v) override { s = v; }
    std::vector<QRect> screens() const override { return screenList; }
    QSize minimumSize() const override { return {5400, 3600}; }

    bool onScreen() const {
        for (const QRect& r : screenList) {
            if (double(l) < double(r.x()) + r.width() && double(l) + w > r.x() &&
                double(t) < double(r.y()) + r.height() && double(t) + h > r.y())
                return true;
        }
        return false;
    }
};

void Check(const QString& path) {
    FuzzWindow window;
    trimlet::WindowPlacement placement;
    placement.LoadWindowPlacement(window, path, 0, 0, 6375, 5460);
    if (!window.onScreen() || window.w < 5400 || window.h < 3600) std::abort();
    // What was stored is checked by the second call's load: a refused write keeps the
    // fuzzed file, which must restore on screen too.
    (void)placement.SaveWindowPlacement(window, path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString path =
        QDir::tempPath() + "/trimlet-fuzz-placement-" + QString::number(::getpid()) + ".ini";
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) std::abort();
        f.write(QByteArray("[Window]\n") +
                QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    }
    Check(path);  // from the fuzzed file
    Check(path);  // from what the first run stored
    return 0;
}
