#include "tickers/date_pattern.h"

namespace tarnwick {

std::size_t UnquotedFind(const std::string& pattern, char letter) {
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\'') {
            quoted = !quoted;
        } else if (!quoted && pattern[i] == letter) {
            return i;
        }
    }
    return std::string::npos;
}

bool NamesDayMonthYear(const std::string& pattern) {
    return UnquotedFind(pattern, 'd') != std::string::npos &&
           UnquotedFind(pattern, 'M') != std::string::npos &&
           UnquotedFind(pattern, 'y') != std::string::npos;
}

DateLocale::Order PatternOrder(const std::string& pattern) {
    const std::size_t d = UnquotedFind(pattern, 'd');
    const std::size_t m = UnquotedFind(pattern, 'M');
    const std::size_t y = UnquotedFind(pattern, 'y');
    if (y < m && y < d) return DateLocale::Order::YearMonthDay;
    if (d < m) return DateLocale::Order::DayMonthYear;
    return DateLocale::Order::MonthDayYear;
}

std::string WidenShortYears(const std::string& pattern, std::size_t shortestRun) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'' || quoted || c != 'y') {
            if (c == '\'') quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        std::size_t run = 0;
        while (i + run < pattern.size() && pattern[i + run] == 'y') ++run;
        out.append(run >= shortestRun && run <= 2 ? 4 : run, 'y');
        i += run;
    }
    return out;
}

}  // namespace tarnwick
