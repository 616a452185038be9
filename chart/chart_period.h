#pragma once
// The calendar periods a chart folds rows into (1 minute to 1 month), their names, and the
// period a date/time falls in. Plain C++; the boundaries come from dates/classic_date.h.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::chart {

enum class Period { Minute1, Minute5, Minute15, Hour1, Hour4, Day1, Week1, Month1 };

inline constexpr std::array<Period, 8> kPeriods = {
    Period::Minute1, Period::Minute5, Period::Minute15, Period::Hour1,
    Period::Hour4,   Period::Day1,    Period::Week1,    Period::Month1};

// "1m", "5m", "15m", "1h", "4h", "1d", "1w", "1mo": the names on the command line and in the
// window's chooser.
const char* PeriodName(Period p);
std::optional<Period> ParsePeriod(std::string_view name);
// All names, "1m, 5m, ..., 1mo", for messages.
std::string PeriodNames();
// "1-minute", "5-minute", "15-minute", "hourly", "4-hour", "daily", "weekly", "monthly".
const char* PeriodWords(Period p);

// The period's nominal length in minutes (a month counts 30 days): which periods are at least
// as long as a table's bar interval.
double PeriodMinutes(Period p);

// The shortest period at least as long as a table's bars (interval in minutes; ticks and
// negative intervals: one minute). A month for intervals longer than a week.
Period FinestPeriodFor(double interval);

// The start of the period that the point `ms` (milliseconds since 30 December 1899 00:00, as
// MsFromClassic gives it) falls in: minutes and hours counted from midnight, weeks from Monday
// (ISO), months from the first. Two points lie in the same period exactly when their starts are
// equal.
int64_t PeriodStart(int64_t ms, Period p);

// The period of a stored (classic) date/time: its start in milliseconds, or nullopt for a value
// that is no calendar date (NaN, out of range).
std::optional<int64_t> PeriodOf(double classic, Period p);

}  // namespace tarnwick::chart
