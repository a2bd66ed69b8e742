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
    if (value > 100)
        check.newText = "100";
    else if (value < 1)
        check.newText = "1";
    return check;
}

}  // namespace trimlet
