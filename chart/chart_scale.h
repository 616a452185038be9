#pragma once
// The chart's axes as plain arithmetic: round price steps in cents, and the date/time marks
// that suit the span of the columns shown.
#include <cstdint>
#include <string>
#include <vector>

#include "chart/chart_series.h"

namespace tarnwick::chart {

// The price range a pane shows and its grid lines. On a linear scale the lines sit at the
// multiples of step (a multiple of one cent: 1, 2, 2.5 or 5 times a power of ten) inside
// [low, high]; on a logarithmic one at round numbers (1, 2, 5 times a power of ten, or finer
// or coarser as the pane's height suits), at linear steps when the range is too narrow for those.
struct PriceScale {
    double low = 0;
    double high = 1;
    double step = 0.01;
    bool log = false;
    std::vector<double> lines;  // the grid lines' prices, low to high
};

// A scale for prices from lo to hi (lo <= hi, both drawable; both above 0 for a logarithmic
// scale) on a pane `pixels` high, with a margin above and below. A flat range (lo == hi) gets a
// band around the price.
PriceScale MakePriceScale(double lo, double hi, int pixels, bool log = false);

// A price with two decimals and thousands separators: "1,234.50", "-0.25".
std::string PriceText(double v);

// A count with thousands separators: "3,671,641".
std::string CountText(int64_t n);

// A volume in short form: "950", "12.5K", "3.2M", "1.1B".
std::string VolumeText(double v);

// A date/time as "2003-01-01 09:00" (seconds added when withSeconds).
std::string DateTimeText(double t, bool withSeconds);

// A mark on the time axis at a column where a new minute, hour, day, month or year begins.
// Major marks begin a larger unit too (a new day among hours, a new month among days...).
struct TimeMark {
    int column = 0;
    std::string text;
    bool major = false;
};

// The marks for columns `columnWidth` pixels wide: the finest unit (1 to 30 minutes, 1 to 4
// hours, 1 to 10 days, 1 to 6 months, years) whose marks stay about minSpacing pixels apart.
// The axis runs by row, so nights and other times without rows take no room. Columns that are
// candles of a period are marked by their start and only with units whose boundaries are the
// period's own (no 10-minute marks among 15-minute candles, no hours among days); weeks, which
// months do not divide, are marked at the first week that starts in a new month.
std::vector<TimeMark> MakeTimeMarks(const std::vector<ChartColumn>& columns, double columnWidth,
                                    double minSpacing, std::optional<Period> period = {});

// Columns where a new calendar day begins (the compressed nights), for thin separators.
std::vector<int> DayBreaks(const std::vector<ChartColumn>& columns);

// The start of a candle of period p as its time axis names it: "2003-01-06 09:15" for minutes
// and hours, "2003-01-06" for days, "week of 2003-01-06", "Jan 2003".
std::string PeriodStartText(double classic, Period p);

}  // namespace tarnwick::chart
