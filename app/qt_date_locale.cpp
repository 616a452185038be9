#include "app/qt_date_locale.h"

#include <string>

namespace tarnwick {

namespace {

// Position of the first unquoted occurrence of letter in a Qt date pattern, or npos.
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

}  // namespace

std::string WidenYear(const std::string& pattern) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        if (quoted || c != 'y') {
            out += c;
            ++i;
            continue;
        }
        std::size_t run = 0;
        while (i + run < pattern.size() && pattern[i + run] == 'y') ++run;
        out.append(run == 2 ? 4 : run, 'y');
        i += run;
    }
    return out;
}

DateLocale DateLocaleFrom(const QLocale& locale) {
    DateLocale out;
    // Qt's C locale (also what C.UTF-8 and POSIX map to) writes "d MMM yyyy", day first. The C
    // library's own date form there is month first (%m/%d/%y), and that is what a host on such
    // a machine sends: numeric dates read and write month first, as in en_US.
    const bool cLocale = locale.language() == QLocale::C;
    const std::string pattern =
        cLocale ? std::string("M/d/yy") : locale.dateFormat(QLocale::ShortFormat).toStdString();
    const std::size_t d = UnquotedFind(pattern, 'd');
    const std::size_t m = UnquotedFind(pattern, 'M');
    const std::size_t y = UnquotedFind(pattern, 'y');
    if (y < m && y < d)
        out.DateOrder = DateLocale::Order::YearMonthDay;
    else if (d < m)
        out.DateOrder = DateLocale::Order::DayMonthYear;
    else
        out.DateOrder = DateLocale::Order::MonthDayYear;
    if (d != std::string::npos && m != std::string::npos && y != std::string::npos)
        out.ShortDatePattern = WidenYear(pattern);
    out.MonthNames.clear();
    out.ShortMonthNames.clear();
    for (int month = 1; month <= 12; ++month) {
        out.MonthNames.push_back(locale.monthName(month, QLocale::LongFormat).toStdString());
        out.ShortMonthNames.push_back(locale.monthName(month, QLocale::ShortFormat).toStdString());
    }
    if (!locale.amText().isEmpty()) out.AmText = locale.amText().toStdString();
    if (!locale.pmText().isEmpty()) out.PmText = locale.pmText().toStdString();
    return out;
}

}  // namespace tarnwick
