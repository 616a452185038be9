#pragma once
// The chart window's access to the table store: the table's first read in slices into the
// timeline, then the rows that arrive (polled as `rows --follow` does: the last row again, to
// see it replaced, and a new set-up read from the start), and the rows of a seq range for the
// periods under an hour. Read-only; it never writes.
#include <cstdint>
#include <iosfwd>
#include <string>

#include "chart/chart_timeline.h"
#include "chart/chart_window.h"
#include "cli/chart_store.h"
#include "cli/store_reader.h"

namespace orbfeed::cli {

class StoreFeed : public tarnwick::chart::ChartFeed, public tarnwick::chart::RowSource {
  public:
    explicit StoreFeed(tarnwick::chart::Timeline& timeline) : timeline_(timeline) {}

    // Opens the store and finds the table. Returns 0, or 1 after one line on err (no store, no
    // such table, with what the store holds for the symbol).
    int Open(const std::string& dbPath, const std::string& symbol, float interval,
             std::ostream& err);
    const ChartColumnChoice& Choice() const { return choice_; }
    const std::vector<std::string>& Labels() const { return labels_; }

    // Reads the next slice of the table while it is first read (rowsPerSlice rows), else the
    // rows that arrived since the last poll.
    Step Poll() override;
    bool ReadRows(int64_t from, int64_t to,
                  const std::function<void(const tarnwick::chart::TimelineRow&)>& sink) override;

    // Reads the whole table at once (for the benchmark); false when a read failed.
    bool ReadAll();
    int64_t rowsPerSlice = 100'000;

  private:
    // Rows [from, to] into the timeline; false when the read failed (err_ says why).
    bool Take(int64_t from, int64_t to, bool& changed);
    // The table's set-up count and row count now; false when they cannot be read.
    bool Counts(int64_t& setups, int64_t& rows);

    tarnwick::chart::Timeline& timeline_;
    std::string dbPath_;
    Db db_;
    Stmt rows_;
    Stmt counts_;
    TableInfo table_;
    ChartColumnChoice choice_;
    std::vector<std::string> labels_;
    int64_t loadEnd_ = 0;  // the rows the first read takes; 0 once it is done
    tarnwick::chart::TimelineRow last_;
    std::string error_;
};

}  // namespace orbfeed::cli
