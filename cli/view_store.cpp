// The chart window's reads of the table store.
#include "cli/view_store.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ostream>

namespace orbfeed::cli {
namespace {

namespace chart = tarnwick::chart;

double Value(sqlite3_stmt* s, int col) {
    return sqlite3_column_type(s, col) == SQLITE_NULL ? chart::kNoValue
                                                      : sqlite3_column_double(s, col);
}

bool SameRow(const chart::TimelineRow& a, const chart::TimelineRow& b) {
    // Equal bit patterns, so that a missing value (NaN) matches itself.
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

int StoreFeed::Open(const std::string& dbPath, const std::string& symbol, float interval,
                    std::ostream& err) {
    dbPath_ = dbPath;
    db_ = OpenReadOnly(dbPath, err);
    if (!db_) return 1;
    const auto table = FindTable(db_.get(), symbol, interval);
    if (!table) {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, interval);
        err << "orbfeed: no table " << symbol << " at interval " << std::string(buf, r.ptr)
            << " in " << dbPath << "\n";
        return 1;
    }
    table_ = *table;
    const auto choice = ChartColumnsOf(db_.get(), table_.id, interval, table_.columns, labels_);
    const std::string sql = "SELECT seq, " + (choice ? ChartSelectList(*choice) : "") +
                            " FROM rows WHERE table_id = ?1 AND seq BETWEEN ?2 AND ?3 ORDER BY seq";
    rows_ = Prepare(db_.get(), sql.c_str());
    counts_ = Prepare(db_.get(),
                      "SELECT setups, (SELECT coalesce(max(seq), 0) FROM rows WHERE table_id = ?1)"
                      " FROM tables WHERE id = ?1");
    int64_t setups = 0;
    if (!choice || !rows_ || !counts_ || !Counts(setups, loadEnd_)) {
        err << DbError(db_.get(), dbPath);
        return 1;
    }
    choice_ = *choice;
    table_.setups = setups;
    return 0;
}

bool StoreFeed::Counts(int64_t& setups, int64_t& rows) {
    sqlite3_bind_int64(counts_.get(), 1, table_.id);
    const int rc = sqlite3_step(counts_.get());
    if (rc == SQLITE_ROW) {
        setups = sqlite3_column_int64(counts_.get(), 0);
        rows = sqlite3_column_int64(counts_.get(), 1);
    } else if (rc == SQLITE_DONE) {
        error_ = "the table is gone from the store";
    } else if ((rc & 0xff) != SQLITE_BUSY) {
        error_ = DbError(db_.get(), dbPath_);
        error_.pop_back();
    }
    sqlite3_reset(counts_.get());
    return rc == SQLITE_ROW;
}

bool StoreFeed::Take(int64_t from, int64_t to, bool& changed) {
    const bool ok = ReadRows(from, to, [&](const chart::TimelineRow& r) {
        // The last row comes again at every poll; only a replaced one changes anything.
        if (r.seq == last_.seq && SameRow(r, last_)) return;
        timeline_.Put(r);
        last_ = r;
        changed = true;
    });
    return ok;
}

bool StoreFeed::ReadRows(int64_t from, int64_t to,
                         const std::function<void(const chart::TimelineRow&)>& sink) {
    sqlite3_stmt* s = rows_.get();
    sqlite3_bind_int64(s, 1, table_.id);
    sqlite3_bind_int64(s, 2, from);
    sqlite3_bind_int64(s, 3, to);
    chart::TimelineRow r;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        r.seq = sqlite3_column_int64(s, 0);
        r.time = Value(s, 1);
        r.open = Value(s, 2);
        r.high = Value(s, 3);
        r.low = Value(s, 4);
        r.close = Value(s, 5);
        r.volume = Value(s, 6);
        sink(r);
    }
    sqlite3_reset(s);
    if (rc == SQLITE_DONE || (rc & 0xff) == SQLITE_BUSY) return true;  // busy: read next time
    error_ = DbError(db_.get(), dbPath_);
    error_.pop_back();
    return false;
}

chart::ChartFeed::Step StoreFeed::Poll() {
    Step step;
    error_.clear();
    int64_t setups = 0, rows = 0;
    if (!Counts(setups, rows)) {
        step.error = error_;
        return step;
    }
    if (setups != table_.setups) {
        // A new set-up replaced the table's rows: read it again from the start.
        table_.setups = setups;
        timeline_.Clear();
        last_ = {};
        loadEnd_ = rows;
        step.changed = true;
    }
    const int64_t from = std::max<int64_t>(1, timeline_.LastSeq() + (loadEnd_ > 0 ? 1 : 0));
    // At most a slice a poll, so that the window answers while a long history streams in.
    const int64_t to = std::min(rows, from + rowsPerSlice - 1);
    if (from <= to) Take(from, to, step.changed);
    if (loadEnd_ > 0 && to < loadEnd_) {
        step.loading = true;
        step.progress = static_cast<double>(to) / static_cast<double>(loadEnd_);
    } else if (loadEnd_ > 0) {
        loadEnd_ = 0;
        timeline_.Trim();
    }
    step.error = error_;
    return step;
}

bool StoreFeed::ReadAll() {
    int64_t setups = 0, rows = 0;
    bool changed = false;
    loadEnd_ = 0;
    const bool ok =
        Counts(setups, rows) && Take(timeline_.LastSeq() + 1, rows, changed) && error_.empty();
    timeline_.Trim();
    return ok;
}

}  // namespace orbfeed::cli
