// Calendar periods, the folds into them and the packing into columns, against plain references.
#include "chart/chart_fold.h"

#include <gtest/gtest.h>

#include "chart/chart_scale.h"
#include "tests/chart/chart_rows.h"

namespace tarnwick::chart {
namespace {

using testing::PlainFold;
using testing::SameCandle;
using testing::SampleRows;

int64_t At(int y, int m, int d, int hour = 0, int minute = 0) {
    return MsFromCalendar({y, m, d, (hour * 60 + minute) * int64_t{60'000}});
}

TEST(ChartPeriod, StartsOnCalendarBoundariesOnBothSidesOf1900) {
    struct Case {
        int64_t at;
        Period period;
        int64_t start;
    };
    const Case cases[] = {
        {At(2003, 1, 1, 9, 59) + 59'999, Period::Minute1, At(2003, 1, 1, 9, 59)},
        {At(2003, 1, 1, 9, 59), Period::Minute5, At(2003, 1, 1, 9, 55)},
        {At(2003, 1, 1, 9, 44), Period::Minute15, At(2003, 1, 1, 9, 30)},
        {At(2003, 1, 1, 15, 59), Period::Hour4, At(2003, 1, 1, 12, 0)},
        {At(2003, 1, 1, 15, 59), Period::Day1, At(2003, 1, 1)},
        // 1 January 2003 was a Wednesday: its week began on Monday 30 December 2002.
        {At(2003, 1, 1, 10), Period::Week1, At(2002, 12, 30)},
        {At(2003, 1, 5, 23, 59), Period::Week1, At(2002, 12, 30)},
        {At(2003, 1, 6), Period::Week1, At(2003, 1, 6)},
        {At(2004, 2, 29, 15), Period::Month1, At(2004, 2, 1)},
        // 29 December 1899 (a Friday) 09:00 is stored as -1.375; its week began on the 25th.
        {*MsFromClassic(-1.375), Period::Hour1, At(1899, 12, 29, 9)},
        {*MsFromClassic(-1.375), Period::Week1, At(1899, 12, 25)},
        {*MsFromClassic(-1.375), Period::Month1, At(1899, 12, 1)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PeriodStart(c.at, c.period), c.start) << PeriodName(c.period) << " " << c.at;
    }
    for (Period p : kPeriods) EXPECT_EQ(ParsePeriod(PeriodName(p)), p);
    EXPECT_FALSE(ParsePeriod("2m"));
    EXPECT_FALSE(ParsePeriod("1M"));
    EXPECT_EQ(FinestPeriodFor(0.5), Period::Minute1);
    EXPECT_EQ(FinestPeriodFor(0.99999994f), Period::Minute1);
    EXPECT_EQ(FinestPeriodFor(60), Period::Hour1);
    EXPECT_EQ(FinestPeriodFor(1440.5), Period::Week1);
    EXPECT_EQ(PeriodStartText(-1.375, Period::Week1), "week of 1899-12-25");
    EXPECT_EQ(PeriodStartText(37622.4, Period::Month1), "Jan 2003");
}

TEST(ChartFold, EveryPeriodFoldsAsThePlainFold) {
    const auto rows = SampleRows();
    for (Period p : kPeriods) {
        const auto want = PlainFold(rows, p);
        PeriodFolder folder(p);
        std::vector<ChartColumn> got;
        ChartColumn done;
        for (const TimelineRow& r : rows) {
            if (folder.Add(RowColumn(r.time, r.open, r.high, r.low, r.close, r.volume), done)) {
                got.push_back(done);
            }
        }
        if (folder.Finish(done)) got.push_back(done);
        ASSERT_EQ(got.size(), want.size()) << PeriodName(p);
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_TRUE(SameCandle(got[i], want[i])) << PeriodName(p) << " candle " << i;
        }
    }
}

// The default fold in one pass picks what a count of every candidate would pick.
TEST(ChartFold, FitFolderTakesTheFinestThatFits) {
    const auto rows = SampleRows();
    int64_t dated = 0;
    for (const auto& r : rows) dated += MsFromClassic(r.time) ? 1 : 0;
    struct Case {
        int64_t mostRows;
        int64_t mostCandles;
        std::optional<Period> want;
    };
    const Case cases[] = {
        {dated, 10, std::nullopt},           // the rows themselves fit
        {dated - 1, 500, Period::Minute15},  // 10 days of 29 quarter hours (85 five minutes)
        {100, 100, Period::Hour1},           // 80 hours
        {50, 20, Period::Day1},              // 10 days
        {5, 2, Period::Week1},               // 2 weeks
        {1, 1, Period::Month1},              // none fits: the coarsest, packed
    };
    for (const Case& c : cases) {
        FitFolder fit(Period::Minute1, c.mostRows, c.mostCandles, 600);
        for (const auto& r : rows) fit.Add(r.time, r.open, r.high, r.low, r.close, r.volume);
        EXPECT_EQ(fit.Added(), dated);
        const FitFolder::Fit f = fit.Take();
        EXPECT_EQ(f.period, c.want) << c.mostRows << " " << c.mostCandles;
        const auto want = c.want ? PlainFold(rows, *c.want) : std::vector<ChartColumn>{};
        if (c.want) {
            ASSERT_EQ(f.columns.size(), want.size());
            for (size_t i = 0; i < want.size(); ++i) EXPECT_TRUE(SameCandle(f.columns[i], want[i]));
        } else {
            EXPECT_EQ(static_cast<int64_t>(f.columns.size()), dated);
        }
    }
}

TEST(ChartFold, PackerGivesEqualSharesWithinTheWidth) {
    const auto candles = PlainFold(SampleRows(), Period::Minute1);
    for (const int most : {2, 7, 100, 1000, 5000}) {
        ColumnPacker packer(most);
        for (const ChartColumn& c : candles) packer.Add(c);
        const int64_t per = packer.PerColumn();
        const auto columns = packer.Take();
        ASSERT_LE(columns.size(), static_cast<size_t>(std::max(2, most)));
        const auto n = static_cast<int64_t>(candles.size());
        EXPECT_EQ(static_cast<int64_t>(columns.size()), (n + per - 1) / per) << most;
        // Column k holds candles [k * per, (k + 1) * per) merged.
        for (size_t k = 0; k < columns.size(); ++k) {
            ChartColumn want;
            for (int64_t i = static_cast<int64_t>(k) * per;
                 i < std::min(n, static_cast<int64_t>(k + 1) * per); ++i) {
                MergeColumn(want, candles[static_cast<size_t>(i)]);
            }
            EXPECT_TRUE(SameCandle(columns[k], want)) << most << " column " << k;
        }
        // Columns were merged only when the candles no longer fitted at half the share.
        if (per > 1) {
            EXPECT_GT(n, std::max(2, most & ~1) * (per / 2)) << most;
        }
    }
}

}  // namespace
}  // namespace tarnwick::chart
