// The chart window's reads of a store the test writes: the first read in slices, rows that
// arrive, a replaced last row, a new set-up, and the one line for a missing table.
#include "cli/view_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "feedlib/store/table_store.h"
#include "tests/chart/chart_rows.h"
#include "tests/store/store_test_util.h"

namespace orbfeed::cli {
namespace {

namespace chart = tarnwick::chart;
using chart::Period;
using chart::TimelineRow;

class ViewStore : public ::testing::Test {
  protected:
    void SetUp() override {
        store_ = TableStore::Open(db_, nullptr);
        table_ = store_->SetupTable("ABC", 1.0f, "", "", 37622, 6);
        for (int k = 0; k < 6; ++k) store_->SetLabel(table_, k + 1, kLabels[k]);
        store_->Flush();
    }

    void Write(const TimelineRow& r, bool replacesLast = false) {
        const double v[6] = {r.time, r.open, r.high, r.low, r.close, r.volume};
        store_->PutRow(table_, v, 6, replacesLast);
    }

    // The timeline holds exactly `rows`, at hours and at five minutes (read from the store).
    void ExpectHolds(const std::vector<TimelineRow>& rows, const char* when) {
        for (Period p : {Period::Minute5, Period::Hour1}) {
            const auto want = chart::testing::PlainFold(rows, p);
            const auto got = timeline_.Candles(p, 0, timeline_.CandleCount(p), feed_);
            ASSERT_EQ(got.size(), want.size()) << when;
            for (size_t i = 0; i < want.size(); ++i) {
                ASSERT_TRUE(chart::testing::SameCandle(got[i], want[i])) << when << " " << i;
            }
        }
    }

    static constexpr const char* kLabels[6] = {"Date/Time", "Open",  "High",
                                               "Low",       "Close", "Volume"};
    testing::ScratchDir dir_;
    std::string db_ = dir_.File("feed.sqlite");
    std::unique_ptr<TableStore> store_;
    StoreTableId table_{};
    chart::Timeline timeline_;
    StoreFeed feed_{timeline_};
    std::ostringstream err_;
};

TEST_F(ViewStore, ReadsInSlicesThenFollowsTheTable) {
    const auto rows = chart::testing::SampleRows();
    std::vector<TimelineRow> written(rows.begin(), rows.begin() + 1000);
    for (const auto& r : written) Write(r);
    store_->Flush();
    feed_.rowsPerSlice = 300;
    ASSERT_EQ(feed_.Open(db_, "ABC", 1, err_), 0) << err_.str();
    EXPECT_TRUE(feed_.Choice().candles);
    std::vector<double> progress;
    for (chart::ChartFeed::Step step; (step = feed_.Poll()).loading;) {
        progress.push_back(step.progress);
    }
    EXPECT_THAT(progress, ::testing::ElementsAre(0.3, 0.6, 0.9));
    ExpectHolds(written, "first read");

    // Rows arrive, each first as a forming bar that is then replaced.
    for (size_t i = 1000; i < 1400; ++i) {
        TimelineRow forming = rows[i];
        forming.close -= 0.5;
        forming.low -= 0.5;
        Write(forming);
        Write(rows[i], true);
        written.push_back(rows[i]);
        if (i % 100 == 0) {
            store_->Flush();
            EXPECT_TRUE(feed_.Poll().changed);
            ExpectHolds(written, "rows arrived");
        }
    }
    store_->Flush();
    feed_.Poll();
    ExpectHolds(written, "all arrived");
    EXPECT_FALSE(feed_.Poll().changed);  // nothing new: the last row read again changes nothing

    TimelineRow replaced = written.back();
    replaced.close += 0.25;
    replaced.high += 0.25;
    Write(replaced, true);
    store_->Flush();
    EXPECT_TRUE(feed_.Poll().changed);
    written.back() = replaced;
    ExpectHolds(written, "last row replaced");

    // A new set-up: the table starts over with 50 rows.
    table_ = store_->SetupTable("ABC", 1.0f, "", "", 37622, 6);
    written.assign(rows.begin(), rows.begin() + 50);
    for (const auto& r : written) Write(r);
    store_->Flush();
    for (int i = 0; i < 5 && feed_.Poll().loading; ++i) {
    }
    ExpectHolds(written, "new set-up");
    EXPECT_EQ(timeline_.LastSeq(), 50);
}

TEST_F(ViewStore, MissingTableOrStoreGetsOneLine) {
    EXPECT_EQ(feed_.Open(db_, "NOPE", 1, err_), 1);
    EXPECT_THAT(err_.str(), ::testing::HasSubstr("no table NOPE at interval 1 in " + db_));
    err_.str("");
    EXPECT_EQ(feed_.Open(db_ + ".gone", "ABC", 1, err_), 1);
    const std::string err = err_.str();
    EXPECT_THAT(err, ::testing::HasSubstr("no table store at"));
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

}  // namespace
}  // namespace orbfeed::cli
