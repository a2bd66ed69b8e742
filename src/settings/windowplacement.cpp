#include "settings/windowplacement.h"

#include <cmath>
#include <optional>

#include "common/numtext.h"
#include "settings/inifile.h"

namespace trimlet {
namespace {

const QString kSection = QStringLiteral("Window");
const QString kWaitSection = QStringLiteral("Wait");
const QString kWaitKey = QStringLiteral("Capture");

QString NumberText(double value) { return QString::fromStdString(GeneralNumberText(value)); }
QString NumberText(float value) { return QString::fromStdString(GeneralNumberText(value)); }

// A stored coordinate in twips, reduced to single precision; empty when it does not
// fit a 32-bit integer (the window could not take it).
std::optional<float> StoredTwips(const QString& path, const char* key, std::int32_t fallback) {
    const QString text =
        ReadIniValue(kSection, QString::fromLatin1(key), NumberText(double(fallback)), path);
    const double value = Val(text.toStdString());
    if (!std::isfinite(value) || !RoundToInt32(value)) return std::nullopt;
    const float reduced = static_cast<float>(value);
    if (!RoundToInt32(reduced)) return std::nullopt;  // rounded up past the 32-bit range
    return reduced;
}

WindowShowState StoredState(const QString& path) {
    const QString text =
        ReadIniValue(kSection, QStringLiteral("WindowState"), QStringLiteral("0"), path);
    const std::optional<std::int16_t> state = RoundToInt16(Val(text.toStdString()));
    if (!state || *state < 0 || *state > 2) return WindowShowState::Normal;
    return static_cast<WindowShowState>(*state);
}

// Whether any part of the rectangle lies on a screen. Worked in 64 bits: a stored
// position near the end of the 32-bit range plus a width must not wrap around.
bool OnSomeScreen(float left, float top, float width, float height,
                  const std::vector<QRect>& screens) {
    const std::int64_t l = RoundClampInt32(left);
    const std::int64_t t = RoundClampInt32(top);
    const std::int64_t r = l + RoundClampInt32(width);
    const std::int64_t b = t + RoundClampInt32(height);
    for (const QRect& s : screens) {
        const std::int64_t sl = s.x();
        const std::int64_t st = s.y();
        const std::int64_t sr = sl + s.width();
        const std::int64_t sb = st + s.height();
        if (l < sr && r > sl && t < sb && b > st) return true;
    }
    return false;
}

}  // namespace

void WindowPlacement::LoadWindowPlacement(PlacementWindow& window, const QString& path,
                                          std::int32_t defaultLeft, std::int32_t defaultTop,
                                          std::int32_t defaultWidth, std::int32_t defaultHeight) {
    const float left = StoredTwips(path, "Left", defaultLeft).value_or(float(defaultLeft));
    const float top = StoredTwips(path, "Top", defaultTop).value_or(float(defaultTop));
    const QSize minimum = window.minimumSize();
    const auto sized = [&](std::optional<float> v, std::int32_t fallback, int least) {
        // Narrower than the window may be made (an empty or broken entry reads as 0).
        if (!v || *v < float(least)) return float(fallback);
        return *v;
    };
    const float width =
        sized(StoredTwips(path, "Width", defaultWidth), defaultWidth, minimum.width());
    const float height =
        sized(StoredTwips(path, "Height", defaultHeight), defaultHeight, minimum.height());
    const WindowShowState state = StoredState(path);

    float placedLeft = left;
    float placedTop = top;
    const std::vector<QRect> screens = window.screens();
    if (!screens.empty() && !OnSomeScreen(left, top, width, height, screens)) {
        // A monitor that is gone: bring the window to where the user can reach it.
        placedLeft = float(screens.front().left());
        placedTop = float(screens.front().top());
    }

    window.setLeft(placedLeft);
    window.setTop(placedTop);
    window.setWidth(width);
    window.setHeight(height);
    window.setState(state);

    // Whatever the state: the rectangle underneath a maximised window.
    normal_ = {RoundClampInt32(window.left()), RoundClampInt32(window.top()),
               RoundClampInt32(window.width()), RoundClampInt32(window.height())};
}

bool WindowPlacement::SaveWindowPlacement(const PlacementWindow& window,
                                          const QString& path) const {
    return WriteIniValues(PlacementEntries(window), path);
}

std::vector<IniEntry> WindowPlacement::PlacementEntries(const PlacementWindow& window) const {
    const bool normal = window.state() == WindowShowState::Normal;
    std::vector<IniEntry> entries;
    // A normal window's own value (single precision, as the window holds it), else the
    // remembered normal rectangle's.
    const auto put = [&](const char* key, float current, std::int32_t remembered) {
        entries.push_back({kSection, QString::fromLatin1(key),
                           normal ? NumberText(current) : NumberText(double(remembered))});
    };
    if (window.positionKnown()) {
        put("Left", window.left(), normal_.left);
        put("Top", window.top(), normal_.top);
    }
    put("Width", window.width(), normal_.width);
    put("Height", window.height(), normal_.height);
    // A minimised window comes back normal: the program never starts minimised by itself.
    const WindowShowState state = window.state();
    entries.push_back({kSection, QStringLiteral("WindowState"),
                       state == WindowShowState::Minimised
                           ? QStringLiteral("0")
                           : NumberText(double(static_cast<int>(state)))});
    return entries;
}

void WindowPlacement::RememberNormalPlacement(const PlacementWindow& window) {
    if (window.state() != WindowShowState::Normal) return;
    normal_ = {RoundClampInt32(window.left()), RoundClampInt32(window.top()),
               RoundClampInt32(window.width()), RoundClampInt32(window.height())};
}

std::optional<std::int32_t> LoadCaptureWait(const QString& path) {
    const QString text = ReadIniValue(kWaitSection, kWaitKey, QString(), path);
    if (text.isEmpty()) return std::nullopt;
    return RoundToInt32(Val(text.toStdString()));
}

bool SaveCaptureWait(std::int32_t milliseconds, const QString& path) {
    return WriteIniValues({CaptureWaitEntry(milliseconds)}, path);
}

IniEntry CaptureWaitEntry(std::int32_t milliseconds) {
    return {kWaitSection, kWaitKey, QString::fromStdString(TrimmedNumberText(milliseconds))};
}

}  // namespace trimlet
