#include "common/numtext.h"

#include <locale.h>

#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace trimlet {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Walks a text, skipping blanks wherever they stand.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}
    char peek() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    void advance() { ++pos_; }
    std::size_t mark() const { return pos_; }
    void reset(std::size_t mark) { pos_ = mark; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

int DigitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < base ? d : -1;
}

double ReadRadix(Reader& r, int base) {
    double value = 0;
    for (int d; (d = DigitValue(r.peek(), base)) >= 0; r.advance()) value = value * base + d;
    return value;
}

double ReadDecimal(Reader& r) {
    std::string digits;  // a clean copy for strtod: no blanks, "." as the point
    if (r.peek() == '+' || r.peek() == '-') {
        digits += r.peek();
        r.advance();
    }
    bool any = false;
    while (r.peek() >= '0' && r.peek() <= '9') {
        digits += r.peek();
        r.advance();
        any = true;
    }
    if (r.peek() == '.') {
        digits += '.';
        r.advance();
        while (r.peek() >= '0' && r.peek() <= '9') {
            digits += r.peek();
            r.advance();
            any = true;
        }
    }
    if (!any) return 0.0;
    const char e = r.peek();
    if (e == 'e' || e == 'E' || e == 'd' || e == 'D') {
        const std::size_t before = r.mark();
        r.advance();
        std::string exponent = "e";
        if (r.peek() == '+' || r.peek() == '-') {
            exponent += r.peek();
            r.advance();
        }
        bool expDigits = false;
        while (r.peek() >= '0' && r.peek() <= '9') {
            exponent += r.peek();
            r.advance();
            expDigits = true;
        }
        if (expDigits)
            digits += exponent;
        else
            r.reset(before);
    }
    // The C locale keeps "." as the point whatever the user's locale says.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtod_l(digits.c_str(), nullptr, cLocale);
}

std::string FormatGeneral(double value, int significant) {
    if (std::isnan(value)) return " NaN";
    if (std::isinf(value)) return value > 0 ? " Inf" : "-Inf";
    if (value == 0) return " 0";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                   std::chars_format::general, significant);
    std::string text(buf, res.ptr);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto ePos = text.find('E');
    std::string mantissa = ePos == std::string::npos ? text : text.substr(0, ePos);
    std::string exponent = ePos == std::string::npos ? "" : text.substr(ePos);
    if (mantissa.find('.') != std::string::npos) {
        while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
        if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    }
    if (mantissa.size() > 1 && mantissa[0] == '0' && mantissa[1] == '.') mantissa.erase(0, 1);
    return (value < 0 ? "-" : " ") + mantissa + exponent;
}

template <typename T>
std::optional<T> RoundTo(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double r = std::nearbyint(value);  // the default rounding mode is halves to even
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        return std::nullopt;
    return static_cast<T>(r);
}

}  // namespace

double Val(std::string_view text) {
    Reader r(text);
    if (r.peek() == '&') {
        const std::size_t start = r.mark();
        r.advance();
        const char kind = r.peek();
        if (kind == 'h' || kind == 'H') {
            r.advance();
            return ReadRadix(r, 16);
        }
        if (kind == 'o' || kind == 'O') {
            r.advance();
            return ReadRadix(r, 8);
        }
        r.reset(start);
        return 0.0;
    }
    return ReadDecimal(r);
}

std::string GeneralNumberText(double value) { return FormatGeneral(value, 15); }

std::string GeneralNumberText(float value) { return FormatGeneral(value, 7); }

std::string TrimmedNumberText(double value) {
    std::string text = GeneralNumberText(value);
    if (!text.empty() && text[0] == ' ') text.erase(0, 1);
    return text;
}

std::optional<std::int32_t> RoundToInt32(double value) { return RoundTo<std::int32_t>(value); }

std::optional<std::int16_t> RoundToInt16(double value) { return RoundTo<std::int16_t>(value); }

std::int32_t RoundClampInt32(double value) {
    if (std::isnan(value)) return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::nearbyint(value < lo ? lo : value > hi ? hi : value));
}

}  // namespace trimlet
