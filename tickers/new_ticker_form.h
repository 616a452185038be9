#pragma once
// What the Add New Ticker Symbol dialog collects, its category list, and its validation. The
// widget only shows and reads; every rule lives here.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "tickers/date_text.h"

namespace tarnwick {

struct NewTickerFields {
    std::string Symbol;
    std::string SymbolName;
    std::string Category;
    std::string StartDate = "01/01/2003";
    std::string BarInterval = "1";
};

inline constexpr std::string_view NewTickerCaption = "Add New Ticker Symbol";

inline constexpr std::array<std::string_view, 19> TickerCategories = {
    "Miscellaneous Instrument",
    "Stock",
    "Stock Option",
    "Index",
    "Index Option",
    "Future",
    "Future (Continuous)",
    "Future Option",
    "Mutual Fund",
    "Money Market Fund",
    "Currency Option",
    "Cash",
    "Bond",
    "Spread",
    "Forex",
    "CPC Symbol",
    "Industry Group",
    "Exchange Rate",
    "Canadian Stock",
};

// True when text is a number as the dialog accepts one: optional blanks around it, an optional
// sign, digits with an optional decimal point and fraction, an optional exponent.
bool IsNumberText(std::string_view text);

// The message of the first failing test, or nullopt when the fields are valid.
std::optional<std::string> ValidateNewTicker(const NewTickerFields& fields,
                                             const DateLocale& locale);

}  // namespace tarnwick
