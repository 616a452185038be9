#pragma once
// Date texts on the host tool's command line, read by the user's regional settings as the pump
// reads a request's start date (ISO "2003-01-15" always, "01/01/2003", month names, an optional
// time of day), and the --from/--to range of the commands that read stored tables.
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace orbfeed::cli {

// The classic date/time the pump makes of a request's start text, or nullopt when it is no date.
std::optional<double> ReadStartDate(std::string_view text);

// Rows whose date/time lies in [from, until) on the straight time line (dates/classic_date.h);
// an absent bound leaves that side open.
struct TimeRange {
    std::optional<double> from;
    std::optional<double> until;

    bool Bounded() const { return from.has_value() || until.has_value(); }
    // Whether a stored (classic) date/time lies in the range.
    bool Holds(double classic) const;
};

// Reads --from and --to (an empty text leaves its side open): a --to date without a time of day
// takes in that whole day, and both bounds take in rows within half a millisecond, since stored
// minute stamps are sums of steps with rounding errors. Returns false after one line on err
// when a text is no date or --from lies after --to.
bool ReadTimeRange(const std::string& from, const std::string& to, TimeRange& range,
                   std::ostream& err);

}  // namespace orbfeed::cli
