#include <gtest/gtest.h>

#include "export/quality.h"

namespace trimlet {
namespace {

struct QualityCase {
    const char* text;
    int quality;
};

TEST(JpegQualityFromText, RoundsHalfToEvenAndFallsBackTo60) {
    const QualityCase cases[] = {
        {"60", 60},    {"80", 80},   {"1", 1},      {"100", 100},   {"60.5", 60},
        {"61.5", 62},  {"1.5", 2},   {"99.5", 100}, {"100.5", 100},  // halves to even
        {"100.6", 60}, {"0", 60},    {"0.5", 60},   {"0.6", 1},     {"101", 60},
        {"-5", 60},    {"abc", 60},  {"", 60},      {"60abc", 60},  {"6 0", 60},
        {"1e2", 100},  {"&H50", 80}, {"1e400", 60}, {"-1e400", 60},
    };
    for (const QualityCase& c : cases)
        EXPECT_EQ(JpegQualityFromText(c.text), c.quality) << "text \"" << c.text << "\"";
}

struct ValidateCase {
    const char* text;
    bool keepFocus;
    std::optional<std::string> newText;
};

TEST(ValidateQualityText, FollowsTheQualityBoxTable) {
    const ValidateCase cases[] = {
        {"80", false, std::nullopt},
        {"150", false, "100"},
        {"-3", false, "1"},
        {"60.5", false, std::nullopt},
        {"060", true, std::nullopt},
        {"0.5", true, "1"},
        {".5", false, "1"},  // already the plain way of writing one half
        {"abc", true, "1"},
        {"", true, "1"},
        {"150abc", true, "100"},
        // More of the same rules.
        {"100", false, std::nullopt},
        {"1", false, std::nullopt},
        {"0", false, "1"},
        {"100.5", false, "100"},
        {" 60", true, std::nullopt},
        {"60 ", true, std::nullopt},
        {"1e2", true, std::nullopt},
    };
    for (const ValidateCase& c : cases) {
        const QualityCheck check = ValidateQualityText(c.text);
        EXPECT_EQ(check.keepFocus, c.keepFocus) << "text \"" << c.text << "\"";
        EXPECT_EQ(check.newText, c.newText) << "text \"" << c.text << "\"";
    }
}

}  // namespace
}  // namespace trimlet
