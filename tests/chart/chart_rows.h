#pragma once
// Rows for the fold and timeline tests, and the plain fold they are checked against.
#include <cstdint>
#include <random>
#include <vector>

#include "chart/chart_fold.h"
#include "chart/chart_timeline.h"
#include "dates/classic_date.h"

namespace tarnwick::chart::testing {

// Minute bars from Monday 27 January 2003 09:00 to 16:00 for ten days (across a week and a month
// boundary), with minutes left out at random, some rows a few seconds into their minute (as
// ticks are), and one row whose date/time is no date.
inline std::vector<TimelineRow> SampleRows(unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> step(-0.05, 0.05);
    const int64_t monday = MsFromCalendar({2003, 1, 27, 0});
    std::vector<TimelineRow> rows;
    double price = 30;
    for (int day = 0; day < 10; ++day) {
        for (int minute = 9 * 60; minute <= 16 * 60; ++minute) {
            if (rng() % 5 == 0) continue;
            const int64_t ms =
                monday + day * MsPerDay + minute * int64_t{60'000} + (rng() % 4 == 0 ? 7'000 : 0);
            const double open = price;
            price += step(rng);
            TimelineRow r;
            r.seq = static_cast<int64_t>(rows.size()) + 1;
            r.time = ClassicFromMs(ms);
            r.open = open;
            r.high = std::max(open, price) + 0.01;
            r.low = std::min(open, price) - 0.01;
            r.close = price;
            r.volume = 100 + static_cast<double>(rng() % 900);
            rows.push_back(r);
        }
        if (day == 4) {
            TimelineRow undated = rows.back();
            undated.seq = static_cast<int64_t>(rows.size()) + 1;
            undated.time = kNoValue;
            rows.push_back(undated);
        }
    }
    return rows;
}

// The candles of period p written out plainly: consecutive dated rows of the same period.
inline std::vector<ChartColumn> PlainFold(const std::vector<TimelineRow>& rows, Period p) {
    std::vector<ChartColumn> out;
    int64_t current = 0;
    for (const TimelineRow& r : rows) {
        const auto ms = MsFromClassic(r.time);
        if (!ms) continue;
        const int64_t start = PeriodStart(*ms, p);
        if (out.empty() || start != current) out.emplace_back();
        current = start;
        AddRow(out.back(), r.time, r.open, r.high, r.low, r.close, r.volume);
    }
    return out;
}

inline bool SameCandle(const ChartColumn& a, const ChartColumn& b) {
    return a.rows == b.rows && a.firstTime == b.firstTime && a.lastTime == b.lastTime &&
           a.open == b.open && a.high == b.high && a.low == b.low && a.close == b.close &&
           std::abs(a.volume - b.volume) <= 1e-9 * std::abs(b.volume);
}

}  // namespace tarnwick::chart::testing
