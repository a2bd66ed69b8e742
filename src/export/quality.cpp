#include "export/quality.h"

#include "common/numtext.h"

namespace trimlet {

namespace {
constexpr int kDefaultQuality = 60;
}

int JpegQualityFromText(std::string_view text) {
    const std::optional<std::int32_t> q = RoundToInt32(Val(text));
    if (!q || *q < 1 || *q > 100) return kDefaultQuality;
    return *q;
}

QualityCheck ValidateQualityText(std::string_view text) {
    const double value = Val(text);
    QualityCheck check;
    check.keepFocus = TrimmedNumberText(value) != text;
    // Built in place: GCC 12 at -O3 reports a false overlap (-Wrestrict) for assigning
    // a literal into the optional string.
    if (value > 100)
        check.newText.emplace(std::string_view("100"));
    else if (value < 1)
        check.newText.emplace(std::string_view("1"));
    return check;
}

}  // namespace trimlet
