#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "common/numtext.h"

namespace trimlet {
namespace {

struct ValCase {
    const char* text;
    double value;
};

TEST(Val, ReadsTheNumberAtTheStartOfAText) {
    const ValCase cases[] = {
        {"60", 60},    {"60abc", 60}, {"6 0", 60},     {"\t6\n0", 60},   {"abc", 0},
        {"", 0},       {"   ", 0},    {"1e2", 100},    {"1E2", 100},     {"1d2", 100},
        {"1D-1", 0.1}, {"-5", -5},    {"+7", 7},       {"- 5", -5},      {"60.5", 60.5},
        {".5", 0.5},   {"-.5", -0.5}, {"1.2.3", 1.2},  {"1e", 1},        {"1e+", 1},
        {"1ex", 1},    {"&H10", 16},  {"&h1F", 31},    {"&O17", 15},     {"&o8", 0},
        {"&X1", 0},    {"&", 0},      {" 6375", 6375}, {"500.4", 500.4}, {"1500", 1500},
        {"0x10", 0},   {"--5", 0},    {"150abc", 150}, {"060", 60},      {"1,5", 1},
        {"5-", 5},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(Val(c.text), c.value) << '"' << c.text << '"';
}

TEST(Val, IgnoresTheUsersLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // A locale with a decimal comma, where installed; the value must not change.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        EXPECT_DOUBLE_EQ(Val("60.5"), 60.5);
        EXPECT_EQ(GeneralNumberText(0.5), " .5");
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_DOUBLE_EQ(Val("60.5"), 60.5);
}

TEST(Val, HugeNumbersBecomeInfinite) {
    EXPECT_TRUE(std::isinf(Val("1e400")));
    EXPECT_FALSE(RoundToInt32(Val("1e400")).has_value());
}

struct TextCase {
    double value;
    const char* general;
    const char* trimmed;
};

TEST(NumberText, GeneralAndTrimmedForms) {
    const TextCase cases[] = {
        {0, " 0", "0"},
        {60, " 60", "60"},
        {-5, "-5", "-5"},
        {0.5, " .5", ".5"},
        {-0.5, "-.5", "-.5"},
        {60.5, " 60.5", "60.5"},
        {6375, " 6375", "6375"},
        {1234, " 1234", "1234"},
        {1000, " 1000", "1000"},
        {2, " 2", "2"},
        {1e20, " 1E+20", "1E+20"},
        {123456789012345, " 123456789012345", "123456789012345"},
        {0.25, " .25", ".25"},
        {-1500.75, "-1500.75", "-1500.75"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GeneralNumberText(c.value), c.general) << c.value;
        EXPECT_EQ(TrimmedNumberText(c.value), c.trimmed) << c.value;
    }
}

TEST(NumberText, SinglePrecisionKeepsSevenDigits) {
    EXPECT_EQ(GeneralNumberText(6375.0f), " 6375");
    EXPECT_EQ(GeneralNumberText(0.1f), " .1");  // not .100000001490116
    EXPECT_EQ(GeneralNumberText(-1500.5f), "-1500.5");
}

TEST(NumberText, RoundTripsThroughVal) {
    for (double v : {0.0, 1.0, -1.0, 0.5, 1500.0, 6375.0, -32768.0, 2147483647.0, 3.25})
        EXPECT_DOUBLE_EQ(Val(GeneralNumberText(v)), v) << v;
}

struct RoundCase {
    double value;
    std::optional<std::int32_t> r32;
    std::optional<std::int16_t> r16;
};

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    const RoundCase cases[] = {
        {2.5, 2, 2},
        {3.5, 4, 4},
        {-2.5, -2, -2},
        {60.5, 60, 60},
        {61.5, 62, 62},
        {500.4, 500, 500},
        {0.49, 0, 0},
        {32767.4, 32767, 32767},
        {32767.5, 32768, std::nullopt},
        {-32768.5, -32768, -32768},
        {-32769, -32769, std::nullopt},
        {2147483647.4, 2147483647, std::nullopt},
        {2147483648.0, std::nullopt, std::nullopt},
        {-2147483648.0, INT32_MIN, std::nullopt},
        {NAN, std::nullopt, std::nullopt},
        {INFINITY, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoundToInt32(c.value), c.r32) << c.value;
        EXPECT_EQ(RoundToInt16(c.value), c.r16) << c.value;
    }
}

TEST(Rounding, ClampedFormStaysInRange) {
    EXPECT_EQ(RoundClampInt32(1e12), INT32_MAX);
    EXPECT_EQ(RoundClampInt32(-1e12), INT32_MIN);
    EXPECT_EQ(RoundClampInt32(NAN), 0);
    EXPECT_EQ(RoundClampInt32(10.5), 10);
    EXPECT_EQ(RoundClampInt32(-0.5), 0);
}

}  // namespace
}  // namespace trimlet
