#pragma once
// Reading the host's history request, "symbol!@#description!@#category!@#interval!@#start!@#
// fields", into what the pump serves, or the reason it cannot be served. Pure: nothing changes.
#include <optional>
#include <string>
#include <string_view>

#include "host/subscription_table.h"
#include "tickers/date_text.h"

namespace tarnwick {

struct HistoryRequestFields {
    std::string Symbol;
    std::string Description;
    std::string Category;
    double Interval = 0;    // the request's value, a value above 1 served as 1
    std::string StartText;  // as the host wrote it: the list row keeps it
    double StartDate = 0;   // StartText read by the user's locale
    FieldList Fields;       // split at commas; Open, High and Low dropped at intervals <= 0.01
};

struct HistoryRequestReading {
    std::optional<HistoryRequestFields> Request;  // set when the request can be served
    std::string Refusal;                          // otherwise why not, as the diagnostic says it
};

HistoryRequestReading ReadHistoryRequest(std::string_view text, const DateLocale& locale);

}  // namespace tarnwick
