#include "win/windows_date_locale.h"

#include <windows.h>

#include "win/win_text.h"

namespace tarnwick::win {

namespace {

std::string LocaleText(LCTYPE item) {
    wchar_t buffer[128];
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, buffer, 128);
    return n > 1 ? Utf8(buffer, static_cast<size_t>(n - 1)) : std::string();
}

// Position of the first unquoted occurrence of letter, or npos.
size_t UnquotedFind(const std::string& pattern, char letter) {
    bool quoted = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\'')
            quoted = !quoted;
        else if (!quoted && pattern[i] == letter)
            return i;
    }
    return std::string::npos;
}

}  // namespace

std::string WidenYear(const std::string& pattern) {
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'' || quoted || c != 'y') {
            if (c == '\'') quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        size_t run = 0;
        while (i + run < pattern.size() && pattern[i + run] == 'y') ++run;
        out.append(run <= 2 ? 4 : run, 'y');
        i += run;
    }
    return out;
}

DateLocale::Order PatternOrder(const std::string& pattern) {
    const size_t d = UnquotedFind(pattern, 'd');
    const size_t m = UnquotedFind(pattern, 'M');
    const size_t y = UnquotedFind(pattern, 'y');
    if (y < m && y < d) return DateLocale::Order::YearMonthDay;
    if (d < m) return DateLocale::Order::DayMonthYear;
    return DateLocale::Order::MonthDayYear;
}

DateLocale UserDateLocale() {
    DateLocale out;
    const std::string pattern = LocaleText(LOCALE_SSHORTDATE);
    if (UnquotedFind(pattern, 'd') != std::string::npos &&
        UnquotedFind(pattern, 'M') != std::string::npos &&
        UnquotedFind(pattern, 'y') != std::string::npos) {
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
