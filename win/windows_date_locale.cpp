#include "win/windows_date_locale.h"

#include <windows.h>

#include "tickers/date_pattern.h"
#include "win/win_text.h"

namespace tarnwick::win {

namespace {

std::string LocaleText(LCTYPE item) {
    wchar_t buffer[128];
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, buffer, 128);
    return n > 1 ? Utf8(buffer, static_cast<size_t>(n - 1)) : std::string();
}

}  // namespace

// Windows writes a year of one or two digits as "y" or "yy": both are widened.
std::string WidenYear(const std::string& pattern) {
    return WidenShortYears(pattern, 1);
}

DateLocale::Order PatternOrder(const std::string& pattern) {
    return tarnwick::PatternOrder(pattern);
}

DateLocale UserDateLocale() {
    DateLocale out;
    const std::string pattern = LocaleText(LOCALE_SSHORTDATE);
    if (NamesDayMonthYear(pattern)) {
        out.DateOrder = PatternOrder(pattern);
        out.ShortDatePattern = WidenYear(pattern);
    }
    std::vector<std::string> names;
    std::vector<std::string> shortNames;
    for (int month = 0; month < 12; ++month) {
        names.push_back(LocaleText(LOCALE_SMONTHNAME1 + month));
        shortNames.push_back(LocaleText(LOCALE_SABBREVMONTHNAME1 + month));
    }
    // Keep the built-in English names unless Windows gave all twelve.
    bool complete = true;
    for (int month = 0; month < 12; ++month)
        complete = complete && !names[month].empty() && !shortNames[month].empty();
    if (complete) {
        out.MonthNames = std::move(names);
        out.ShortMonthNames = std::move(shortNames);
    }
    const std::string am = LocaleText(LOCALE_S1159);
    const std::string pm = LocaleText(LOCALE_S2359);
    if (!am.empty()) out.AmText = am;
    if (!pm.empty()) out.PmText = pm;
    return out;
}

}  // namespace tarnwick::win
