// The window's timeline against the plain fold: every period, positions and times, rows that
// arrive, a replaced last row and a new set-up; and the viewport's zoom, pan and following.
#include "chart/chart_timeline.h"

#include <gtest/gtest.h>

#include "chart/chart_viewport.h"
#include "tests/chart/chart_rows.h"

namespace tarnwick::chart {
namespace {

using testing::PlainFold;
using testing::SameCandle;
using testing::SampleRows;

// The table as a vector; counts the rows it hands out.
class VectorSource : public RowSource {
  public:
    std::vector<TimelineRow> rows;
    int64_t read = 0;

    bool ReadRows(int64_t from, int64_t to,
                  const std::function<void(const TimelineRow&)>& sink) override {
        for (const TimelineRow& r : rows) {
            if (r.seq >= from && r.seq <= to) {
                sink(r);
                ++read;
            }
        }
        return true;
    }
};

void ExpectFolds(Timeline& t, VectorSource& source, const char* when) {
    for (Period p : kPeriods) {
        const auto want = PlainFold(source.rows, p);
        ASSERT_EQ(t.CandleCount(p), static_cast<int64_t>(want.size())) << PeriodName(p) << when;
        const auto got = t.Candles(p, 0, t.CandleCount(p), source);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            ASSERT_TRUE(SameCandle(got[i], want[i])) << PeriodName(p) << " " << i << when;
        }
        const auto last = t.LastCandle(p, source);
        ASSERT_TRUE(last);
        EXPECT_TRUE(SameCandle(*last, want.back())) << PeriodName(p) << when;
    }
}

TEST(ChartTimeline, EveryPeriodMatchesThePlainFold) {
    VectorSource source;
    source.rows = SampleRows();
    Timeline t;
    for (const TimelineRow& r : source.rows) t.Put(r);
    ExpectFolds(t, source, "");
    // A stretch in the middle, read alone, is the same slice; positions and times agree.
    for (Period p : kPeriods) {
        const auto all = PlainFold(source.rows, p);
        const int64_t n = t.CandleCount(p);
        const auto part = t.Candles(p, n / 3, n / 3 + 5, source);
        for (size_t i = 0; i < part.size(); ++i) {
            EXPECT_TRUE(SameCandle(part[i], all[static_cast<size_t>(n / 3) + i])) << PeriodName(p);
        }
        for (int64_t i = 0; i < n; ++i) {
            const int64_t start = t.StartOf(p, i);
            EXPECT_EQ(start, *PeriodOf(all[static_cast<size_t>(i)].firstTime, p));
            ASSERT_EQ(t.IndexAt(p, start), i) << PeriodName(p);
            ASSERT_EQ(t.IndexAt(p, start - 1), i - 1) << PeriodName(p);
        }
    }
    // Hours and coarser periods never read a row.
    source.read = 0;
    t.Candles(Period::Hour1, 0, 1000, source);
    t.Candles(Period::Week1, 0, 1000, source);
    EXPECT_EQ(source.read, 0);
}

TEST(ChartTimeline, RowsThatArriveAReplacedLastRowAndANewSetUp) {
    VectorSource source;
    const auto rows = SampleRows();
    Timeline t;
    // The first half read, the finer candles read from it; then the rest arrives row by row,
    // each first sent once as a forming bar with other values.
    const size_t half = rows.size() / 2;
    source.rows.assign(rows.begin(), rows.begin() + static_cast<ptrdiff_t>(half));
    for (const auto& r : source.rows) t.Put(r);
    t.Candles(Period::Minute5, 0, t.CandleCount(Period::Minute5), source);
    for (size_t i = half; i < rows.size(); ++i) {
        TimelineRow forming = rows[i];
        forming.close += 1;
        forming.high += 2;
        source.rows.push_back(forming);
        t.Put(forming);
        source.rows.back() = rows[i];
        t.Put(rows[i]);
        if (i % 97 == 0) ExpectFolds(t, source, " while rows arrive");
    }
    ExpectFolds(t, source, " after all arrived");
    t.Put(rows[3]);  // an old seq changes nothing
    ExpectFolds(t, source, " after an old row");

    t.Clear();
    source.rows.assign(rows.begin(), rows.begin() + 50);
    for (const auto& r : source.rows) t.Put(r);
    ExpectFolds(t, source, " after a new set-up");
}

class ChartViewportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        source_.rows = SampleRows();
        for (const auto& r : source_.rows) timeline_.Put(r);
        view_.SetRoom(1000, 3);
    }
    // The start of the candle under pixel x.
    int64_t TimeUnder(double x) {
        const auto s = view_.Series({});
        const double slot = 1000 / s.slotSpan;
        const auto k = static_cast<size_t>(std::floor(x / slot - s.firstSlot));
        return *PeriodOf(s.columns.at(k).firstTime, view_.Shown());
    }

    VectorSource source_;
    Timeline timeline_;
    ChartViewport view_{timeline_, source_, Period::Minute1};
};

TEST_F(ChartViewportTest, ZoomKeepsTheCandleUnderThePointerAndTheDefaultPeriodFits) {
    // The whole table: ten days fit 1000 pixels at 3 or more only as 15-minute candles.
    EXPECT_EQ(view_.Shown(), Period::Minute15);
    EXPECT_GE(view_.CandleWidth(), 3);
    const double x = 400;
    for (int i = 0; i < 12; ++i) {
        const Period before = view_.Shown();
        const int64_t under = TimeUnder(x);
        view_.Zoom(1.25, x);
        if (view_.Shown() == before) {
            EXPECT_EQ(TimeUnder(x), under) << i;
        } else {
            // A finer period: the pointer stays on the coarser candle it was on (or at its edge,
            // where a night without rows lies).
            const int64_t was = timeline_.IndexAt(before, under);
            EXPECT_LE(std::abs(timeline_.IndexAt(before, TimeUnder(x)) - was), 1) << i;
        }
        EXPECT_GE(view_.CandleWidth(), 3);
    }
    EXPECT_EQ(view_.Shown(), Period::Minute1);
    // Out again, beyond the table's ends: the whole table in view at a coarser period.
    for (int i = 0; i < 30; ++i) view_.Zoom(0.8, x);
    EXPECT_GE(view_.Shown(), Period::Minute15);
    const auto all = view_.Series({});
    ASSERT_FALSE(all.columns.empty());
    EXPECT_EQ(all.columns.front().firstTime, source_.rows.front().time);
    EXPECT_EQ(all.columns.back().lastTime, source_.rows.back().time);
    view_.Choose(Period::Hour1);
    EXPECT_EQ(view_.Shown(), Period::Hour1);
    view_.Zoom(0.01, x);
    EXPECT_EQ(view_.Shown(), Period::Hour1);  // a chosen period stays
    EXPECT_GE(view_.CandleWidth(), 1);
}

TEST_F(ChartViewportTest, NewCandlesAppearAtTheRightEdgeUnlessPannedBack) {
    // Zooming in at the newest candle, through several periods, keeps it in view.
    for (int i = 0; i < 12; ++i) view_.Zoom(1.25, 999);
    const Period p = view_.Shown();
    EXPECT_LT(p, Period::Minute15);
    ASSERT_TRUE(view_.Following());
    // The room right of the newest candle stays as it is while new candles arrive.
    const auto roomRight = [](const ChartSeries& s) {
        return s.slotSpan - s.firstSlot - static_cast<double>(s.columns.size());
    };
    const double room = roomRight(view_.Series({}));
    EXPECT_GT(room, -1);
    auto next = source_.rows.back();
    next.seq += 1;
    next.time = ClassicFromMs(*MsFromClassic(next.time) + 3 * MsPerDay);
    source_.rows.push_back(next);
    timeline_.Put(next);
    view_.Update();
    auto s = view_.Series({});
    EXPECT_TRUE(SameCandle(s.columns.back(), *timeline_.LastCandle(p, source_)));
    EXPECT_NEAR(roomRight(s), room, 1e-6);

    view_.Pan(300);  // back in time
    EXPECT_FALSE(view_.Following());
    const int64_t shown = *PeriodOf(view_.Series({}).columns.back().firstTime, p);
    next.seq += 1;
    next.time = ClassicFromMs(*MsFromClassic(next.time) + MsPerDay);
    source_.rows.push_back(next);
    timeline_.Put(next);
    view_.Update();
    s = view_.Series({});
    EXPECT_EQ(*PeriodOf(s.columns.back().firstTime, p), shown);
    ASSERT_TRUE(s.latest);  // the newest close still gets its line
    EXPECT_EQ(s.latest->close, next.close);
}

}  // namespace
}  // namespace tarnwick::chart
