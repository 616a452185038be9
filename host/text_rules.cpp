#include "host/text_rules.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>

namespace tarnwick {

std::string Trimmed(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && text[first] == ' ') ++first;
    while (last > first && text[last - 1] == ' ') --last;
    return std::string(text.substr(first, last - first));
}

bool HasSeparator(std::string_view text) {
    return text.find(FieldSeparator) != std::string_view::npos;
}

// Without a separator the head is the whole text (trimmed) and the tail is empty, so that a
// caller that forgot the HasSeparator test still gets a defined, harmless answer.
std::string Head(std::string_view text) {
    return Trimmed(text.substr(0, text.find(FieldSeparator)));
}

std::string_view Tail(std::string_view text) {
    const std::size_t at = text.find(FieldSeparator);
    if (at == std::string_view::npos) return {};
    return text.substr(at + FieldSeparator.size());
}

namespace {

// Blanks that the number reader skips wherever they stand: space, tab and line feed.
bool IsSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Significant digits kept exactly. Deciding the correct rounding of a decimal to a double needs
// at most 768 significant digits; digits past this limit only matter as "something non-zero
// follows", which one extra sticky digit records.
constexpr int KeptDigits = 800;
// The decimal exponent is saturated here; anything beyond already over- or underflows.
constexpr long long ExponentLimit = 100000;
// A written exponent is read up to this size: far beyond any text's length, so the sum of the
// exponent and the shift by the text's own digits is exact and never overflows.
constexpr long long WrittenExponentLimit = 1'000'000'000'000'000LL;

}  // namespace

// NumberValue reads, skipping space, tab and line feed wherever they occur (also inside the
// number, so "1 2" is 12 and "- 1" is -1):
//   [+|-] digits [. digits] [(E|e|D|d) [+|-] digits]
// with at least one digit before or after the point. Reading stops at the first character that
// cannot continue the number; an exponent letter not followed by digits ends the number before
// it ("1e" and "1e+" are 1). No number at the start gives 0.
// The conversion is correctly rounded. A magnitude too large for a double gives the largest
// finite double with the number's sign (never infinity); one too small gives 0. Negative zero is
// returned as 0. No heap allocation: the cleaned number is collected in a stack buffer.
double NumberValue(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto skip = [&] {
        while (i < n && IsSkipped(text[i])) ++i;
    };

    skip();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    // The significant digits D (no leading zeros) and a scale s with value = D * 10^s.
    std::array<char, KeptDigits + 32> buffer;
    int kept = 0;
    bool sticky = false;  // a non-zero digit was dropped past KeptDigits
    long long scale = 0;
    bool sawDigit = false;
    bool sawPoint = false;

    for (;;) {
        skip();
        if (i >= n) break;
        const char c = text[i];
        if (IsDigit(c)) {
            sawDigit = true;
            if (kept == 0 && c == '0') {
                if (sawPoint) --scale;  // a leading zero of the fraction shifts the value
            } else if (kept < KeptDigits) {
                buffer[static_cast<std::size_t>(kept++)] = c;
                if (sawPoint) --scale;
            } else {
                if (c != '0') sticky = true;
                if (!sawPoint) ++scale;  // dropped integer digit
            }
            ++i;
        } else if (c == '.' && !sawPoint) {
            sawPoint = true;
            ++i;
        } else {
            break;
        }
    }
    if (!sawDigit) return 0.0;

    // The exponent, read only when digits follow the letter (and its optional sign).
    if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        std::size_t j = i + 1;
        auto skipAt = [&] {
            while (j < n && IsSkipped(text[j])) ++j;
        };
        skipAt();
        bool expNegative = false;
        if (j < n && (text[j] == '+' || text[j] == '-')) {
            expNegative = text[j] == '-';
            ++j;
            skipAt();
        }
        if (j < n && IsDigit(text[j])) {
            long long exponent = 0;
            while (j < n) {
                if (IsDigit(text[j])) {
                    if (exponent < WrittenExponentLimit) {
                        exponent = exponent * 10 + (text[j] - '0');
                    }
                    ++j;
                } else if (IsSkipped(text[j])) {
                    ++j;
                } else {
                    break;
                }
            }
            scale += expNegative ? -exponent : exponent;
        }
    }

    if (kept == 0) return 0.0;  // only zeros
    if (sticky) {
        buffer[static_cast<std::size_t>(kept++)] = '1';
        --scale;
    }
    if (scale > ExponentLimit) scale = ExponentLimit;
    if (scale < -ExponentLimit - KeptDigits) scale = -ExponentLimit - KeptDigits;

    char* end = buffer.data() + kept;
    *end++ = 'e';
    const auto written = std::to_chars(end, buffer.data() + buffer.size(), scale);
    end = written.ptr;

    double value = 0.0;
    const auto parsed = std::from_chars(buffer.data(), end, value);
    if (parsed.ec == std::errc::result_out_of_range || !std::isfinite(value)) {
        // Decide by the decimal magnitude: D has `kept` digits, so the value lies in
        // [10^(kept-1+scale), 10^(kept+scale)).
        value = (kept + scale > 0) ? DBL_MAX : 0.0;
    } else if (parsed.ec != std::errc()) {
        value = 0.0;
    }
    if (value == 0.0) return 0.0;
    return negative ? -value : value;
}

// NumberText writes v rounded correctly to 15 significant digits (from the exact binary value;
// an exact tie goes to the even digit), without trailing zeros:
//   - plain decimal while the decimal exponent e of the leading digit lies in -15 <= e < 15:
//     "1", "-1", ".5", "-.25", ".01", "123456789012345", ".000000000000001";
//   - otherwise mantissa "E" sign exponent, the exponent with at least two digits:
//     "1.5E+20", "-2.5E-20", "1E+300", "1.23456789012346E+17".
// Zero and negative zero give "0". Infinity is written as the largest finite double
// ("1.79769313486232E+308", with "-" for minus infinity), which NumberValue reads back as that
// largest double; NaN gives "NaN", which NumberValue reads as 0.
std::string NumberText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) value = value < 0 ? -DBL_MAX : DBL_MAX;
    if (value == 0.0) return "0";
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        // Whole numbers of up to 15 digits are written exactly as they are.
        std::array<char, 24> whole;
        const auto res =
            std::to_chars(whole.data(), whole.data() + whole.size(), static_cast<long long>(value));
        return std::string(whole.data(), res.ptr);
    }

    // d.dddddddddddddde+XX
    std::array<char, 40> sci;
    const auto res = std::to_chars(sci.data(), sci.data() + sci.size(), std::fabs(value),
                                   std::chars_format::scientific, 14);
    const std::string_view out(sci.data(), static_cast<std::size_t>(res.ptr - sci.data()));
    const std::size_t ePos = out.find('e');

    std::array<char, 16> digits;
    int count = 0;
    for (std::size_t k = 0; k < ePos; ++k) {
        if (IsDigit(out[k])) digits[static_cast<std::size_t>(count++)] = out[k];
    }
    while (count > 1 && digits[static_cast<std::size_t>(count - 1)] == '0') --count;
    int exponent = 0;
    std::from_chars(out.data() + ePos + 1 + (out[ePos + 1] == '+' ? 1 : 0), out.data() + out.size(),
                    exponent);

    std::string text;
    if (value < 0) text.push_back('-');
    const std::string_view sig(digits.data(), static_cast<std::size_t>(count));

    if (exponent >= -15 && exponent < 15) {
        if (exponent < 0) {
            text.push_back('.');
            text.append(static_cast<std::size_t>(-exponent - 1), '0');
            text.append(sig);
        } else {
            const auto intDigits = static_cast<std::size_t>(exponent + 1);
            if (sig.size() <= intDigits) {
                text.append(sig);
                text.append(intDigits - sig.size(), '0');
            } else {
                text.append(sig.substr(0, intDigits));
                text.push_back('.');
                text.append(sig.substr(intDigits));
            }
        }
        return text;
    }

    text.push_back(sig[0]);
    if (sig.size() > 1) {
        text.push_back('.');
        text.append(sig.substr(1));
    }
    text.push_back('E');
    text.push_back(exponent < 0 ? '-' : '+');
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) text.push_back('0');
    text.append(std::to_string(magnitude));
    return text;
}

std::string SubscriptionKey(std::string_view symbol, double interval) {
    std::string key(symbol);
    key.append(FieldSeparator);
    key.append(NumberText(interval));
    return key;
}

}  // namespace tarnwick
