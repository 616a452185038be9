#include "qtlocale/qt_date_locale.h"

#include <string>

#include "tickers/date_pattern.h"

namespace tarnwick {

// Qt writes a two-digit year as "yy"; a lone "y" is no year field there and stays as it is.
std::string WidenYear(const std::string& pattern) {
    return WidenShortYears(pattern, 2);
}

DateLocale DateLocaleFrom(const QLocale& locale) {
    DateLocale out;
    // Qt's C locale (also what C.UTF-8 and POSIX map to) writes "d MMM yyyy", day first. The C
    // library's own date form there is month first (%m/%d/%y), and that is what a host on such
    // a machine sends: numeric dates read and write month first, as in en_US.
    const bool cLocale = locale.language() == QLocale::C;
    const std::string pattern =
        cLocale ? std::string("M/d/yy") : locale.dateFormat(QLocale::ShortFormat).toStdString();
    out.DateOrder = PatternOrder(pattern);
    if (NamesDayMonthYear(pattern)) out.ShortDatePattern = WidenYear(pattern);
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
