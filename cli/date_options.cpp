// Reading date options by the user's regional settings.
#include "cli/date_options.h"

#include <QLocale>
#include <cmath>
#include <ostream>

#include "dates/classic_date.h"
#include "qtlocale/qt_date_locale.h"
#include "tickers/date_text.h"

namespace orbfeed::cli {
namespace {

constexpr double kHalfMs = 0.5 / 86400000;

tarnwick::DateLocale UserLocale() {
    return tarnwick::DateLocaleFrom(QLocale::system());
}

bool ReadBound(const char* flag, const std::string& text, double& value, std::ostream& err) {
    const auto v = tarnwick::ParseLinearDateText(text, UserLocale());
    if (!v) {
        err << "orbfeed: " << flag << " " << text
            << ": not a date (use 2003-01-15, or the date forms request --start takes)\n";
        return false;
    }
    value = *v;
    return true;
}

}  // namespace

std::optional<double> ReadStartDate(std::string_view text) {
    return tarnwick::ParseDateText(text, UserLocale());
}

bool TimeRange::Holds(double classic) const {
    const double t = tarnwick::LinearFromClassic(classic);
    return (!from || t >= *from) && (!until || t < *until);
}

bool ReadTimeRange(const std::string& from, const std::string& to, TimeRange& range,
                   std::ostream& err) {
    range = TimeRange{};
    double v = 0;
    if (!from.empty()) {
        if (!ReadBound("--from", from, v, err)) return false;
        range.from = v - kHalfMs;
    }
    if (!to.empty()) {
        if (!ReadBound("--to", to, v, err)) return false;
        // A date alone takes in its whole day; a date with a time ends at that time.
        range.until = v == std::floor(v) ? v + 1 - kHalfMs : v + kHalfMs;
    }
    if (range.from && range.until && *range.from >= *range.until) {
        err << "orbfeed: --from " << from << " lies after --to " << to << "\n";
        return false;
    }
    return true;
}

}  // namespace orbfeed::cli
