#include "settings/viewsettings.h"

#include <array>
#include <cstdint>

#include "common/numtext.h"
#include "settings/inifile.h"

namespace trimlet {
namespace {

const QString kSelectionSection = QStringLiteral("Selection");
const QString kViewSection = QStringLiteral("View");
const QString kLoupeKey = QStringLiteral("Loupe");
constexpr std::array<const char*, 4> kRectangleKeys = {"Left", "Top", "Width", "Height"};

}  // namespace

std::optional<PixelRect> LoadLastRectangle(const QString& path) {
    std::array<std::int32_t, 4> v{};
    for (std::size_t i = 0; i < kRectangleKeys.size(); ++i) {
        const QString text = ReadIniValue(kSelectionSection, QString::fromLatin1(kRectangleKeys[i]),
                                          QString(), path);
        if (text.isEmpty()) return std::nullopt;
        const std::optional<std::int32_t> n = RoundToInt32(Val(text.toStdString()));
        if (!n) return std::nullopt;
        v[i] = *n;
    }
    // The caption's column 1 is the block's column 0; the smallest column has no block.
    if (v[2] < 1 || v[3] < 1 || v[0] == INT32_MIN || v[1] == INT32_MIN) return std::nullopt;
    return PixelRect{v[0] - 1, v[1] - 1, v[2], v[3]};
}

std::vector<IniEntry> LastRectangleEntries(const PixelRect& block) {
    const std::array<std::int64_t, 4> v = {std::int64_t{block.left} + 1,
                                           std::int64_t{block.top} + 1, block.width, block.height};
    std::vector<IniEntry> entries;
    for (std::size_t i = 0; i < kRectangleKeys.size(); ++i)
        entries.push_back({kSelectionSection, QString::fromLatin1(kRectangleKeys[i]),
                           QString::fromStdString(TrimmedNumberText(static_cast<double>(v[i])))});
    return entries;
}

bool LoadLoupeOn(const QString& path) {
    return ReadIniValue(kViewSection, kLoupeKey, QStringLiteral("1"), path) != QStringLiteral("0");
}

IniEntry LoupeEntry(bool on) {
    return {kViewSection, kLoupeKey, on ? QStringLiteral("1") : QStringLiteral("0")};
}

}  // namespace trimlet
