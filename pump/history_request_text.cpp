// Reading a history request's six fields, the interval limit and the field list's shape.
#include "pump/history_request_text.h"

#include "host/text_rules.h"
#include "pump/command_text.h"

namespace tarnwick {

namespace {

FieldList SplitFieldList(std::string_view text) {
    FieldList names;
    for (auto comma = text.find(','); comma != std::string_view::npos; comma = text.find(',')) {
        names.emplace_back(text.substr(0, comma));
        text.remove_prefix(comma + 1);
    }
    names.emplace_back(text);
    return names;
}

}  // namespace

HistoryRequestReading ReadHistoryRequest(std::string_view text, const DateLocale& locale) {
    const int separators = CountSeparators(text);
    if (separators < 5) {
        return {std::nullopt, "history request ignored: it needs 5 \"!@#\" separators, found " +
                                  std::to_string(separators) + ": " + Quoted(text)};
    }
    HistoryRequestFields request;
    request.Symbol = Head(text);
    std::string_view rest = Tail(text);
    request.Description = Head(rest);
    rest = Tail(rest);
    request.Category = Head(rest);
    rest = Tail(rest);
    request.Interval = NumberValue(Head(rest));
    rest = Tail(rest);
    request.StartText = Head(rest);
    const std::string_view fieldText = Tail(rest);

    if (request.Interval > 1) request.Interval = 1;

    request.Fields = SplitFieldList(fieldText);
    if (request.Interval <= 0.01) {
        FieldList& fields = request.Fields;
        for (auto i = fields.size(); i-- > 0;) {
            if (fields[i] == "High" || fields[i] == "Low" || fields[i] == "Open") {
                fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }

    const std::optional<double> startDate = ParseDateText(request.StartText, locale);
    if (!startDate) {
        return {std::nullopt, "history request for " + Quoted(request.Symbol) +
                                  " ignored: the start date " + Quoted(request.StartText) +
                                  " is no date"};
    }
    request.StartDate = *startDate;
    return {std::move(request), {}};
}

}  // namespace tarnwick
