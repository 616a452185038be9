#include "tickers/new_ticker_form.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <system_error>

#include "host/text_rules.h"

namespace tarnwick {

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
// True when the number in text (already checked to be one) is too large for a double.
// NumberValue gives the largest double then; this tells that apart from a text that denotes it.
bool Overflows(std::string_view text) {
    if (std::fabs(NumberValue(text)) != DBL_MAX) return false;
    std::string cleaned;
    for (const char c : text) {
        if (IsBlank(c) || (c == '+' && cleaned.empty())) continue;
        cleaned.push_back((c == 'D' || c == 'd' || c == 'E') ? 'e' : c);
    }
    double value = 0;
    const auto result = std::from_chars(cleaned.data(), cleaned.data() + cleaned.size(), value);
    return result.ec != std::errc() || std::isinf(value);
}

}  // namespace

// Accepts exactly: blanks (space, tab), an optional sign, digits with an optional decimal point
// and fraction (at least one digit: "5.", ".5"), an optional exponent (E, e, D or d, an
// optional sign, at least one digit), blanks. No blanks inside the number, no thousands
// separators, no currency signs, no hexadecimal forms. A number too large for a double ("1e999")
// is not accepted, so every accepted text has the value NumberValue reads from it.
bool IsNumberText(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < n && IsDigit(text[i])) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    while (i < n && IsBlank(text[i])) ++i;
    if (i != n) return false;
    return !Overflows(text);
}

std::optional<std::string> ValidateNewTicker(const NewTickerFields& fields,
                                             const DateLocale& locale) {
    if (fields.Symbol.empty())
        return std::string("You must enter a symbol to add a new ticker symbol.");
    if (fields.SymbolName.empty())
        return std::string("You must enter a symbol name to add a new ticker symbol.");
    if (!ParseDateText(fields.StartDate, locale))
        return std::string("You must enter a valid Start Date.");
    if (!IsNumberText(fields.BarInterval))
        return std::string("You must enter a valid BarInterval.");
    return std::nullopt;
}

}  // namespace tarnwick
