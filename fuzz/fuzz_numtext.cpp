// The number-text reader and writer and the quality box rules on any text.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/numtext.h"
#include "export/quality.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trimlet;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double v = Val(text);
    if (std::isfinite(v)) {
        // Written and read again, a value comes back to fifteen significant digits.
        const double again = Val(GeneralNumberText(v));
        if (!(std::fabs(again - v) <= 1e-14 * std::fabs(v) || std::fabs(v) < 1e-300)) std::abort();
        if (const auto r = RoundToInt32(v); r && std::fabs(double(*r) - v) > 0.5) std::abort();
        if (const auto r = RoundToInt16(v); r && std::fabs(double(*r) - v) > 0.5) std::abort();
    }
    const int quality = JpegQualityFromText(text);
    if (quality < 1 || quality > 100) std::abort();
    const QualityCheck check = ValidateQualityText(text);
    if (check.newText && *check.newText != "1" && *check.newText != "100") std::abort();
    return 0;
}
