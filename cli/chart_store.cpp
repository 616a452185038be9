// Streaming a stored table's rows from SQLite into the chart's columns.
#include "cli/chart_store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>

#include "chart/chart_fold.h"
#include "cli/number_text.h"
#include "cli/store_reader.h"
#include "dates/classic_date.h"
#include "feedlib/store/row_codec.h"

namespace orbfeed::cli {
namespace {

namespace chart = tarnwick::chart;

std::string Lower(std::string s) {
    const size_t b = s.find_first_not_of(" \t");
    const size_t e = s.find_last_not_of(" \t");
    s = b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Reading a store that can be read at all; one line on err otherwise.
class ChartStore {
  public:
    ChartStore(const std::string& path, std::ostream& err) : path_(path), err_(err) {}

    bool Open() {
        struct stat st {};
        if (::stat(path_.c_str(), &st) != 0) {
            err_ << "orbfeed: no table store at " << path_ << ": " << std::strerror(errno) << "\n";
            return false;
        }
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        db_.reset(raw);
        if (rc != SQLITE_OK) return Fail();
        sqlite3_busy_timeout(raw, 2000);
        // One snapshot for every query, even while a pump appends.
        return Exec("BEGIN") && Exec("SELECT id, symbol, interval FROM tables LIMIT 0");
    }

    Stmt Prepare(const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            sqlite3_finalize(s);
            Fail();
            return nullptr;
        }
        return Stmt(s);
    }

    bool Fail() {
        err_ << "orbfeed: cannot read the table store " << path_ << ": "
             << (db_ ? sqlite3_errmsg(db_.get()) : "out of memory") << "\n";
        return false;
    }

    sqlite3* Handle() const { return db_.get(); }

    bool Exec(const char* sql) {
        return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK || Fail();
    }

  private:
    std::string path_;
    std::ostream& err_;
    Db db_;
};

// The SQL expression of column k (from 1) of a stored row.
std::string ColumnExpr(int k) {
    if (k <= 0) return "NULL";
    if (k == 1) return "datetime";
    if (k <= 6) return std::string("c").append(std::to_string(k));
    return "json_extract(extra, '$[" + std::to_string(k - 7) + "]')";
}

double Value(sqlite3_stmt* s, int col) {
    return sqlite3_column_type(s, col) == SQLITE_NULL ? tarnwick::chart::kNoValue
                                                      : sqlite3_column_double(s, col);
}

// "DEMO at intervals 1 (12600 rows), 0 (5 rows)", or that there is none.
std::string TablesOf(ChartStore& store, const std::string& symbol) {
    Stmt s = store.Prepare(
        "SELECT t.interval, (SELECT coalesce(max(seq), 0) FROM rows WHERE table_id = t.id)"
        " FROM tables t WHERE t.symbol = ?1 ORDER BY t.interval");
    if (!s) return {};
    sqlite3_bind_text(s.get(), 1, symbol.data(), static_cast<int>(symbol.size()), SQLITE_STATIC);
    std::string list;
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        list += list.empty() ? "" : ", ";
        list += sqlite3_column_type(s.get(), 0) == SQLITE_NULL
                    ? std::string("nan")
                    : ShortestText(static_cast<float>(sqlite3_column_double(s.get(), 0)));
        list += " (" + std::to_string(sqlite3_column_int64(s.get(), 1)) + " rows)";
    }
    if (list.empty()) return "the store holds no table of " + symbol;
    return "the store holds " + symbol + " at interval" +
           (list.find(',') == std::string::npos ? " " : "s ") + list;
}

}  // namespace

ChartColumnChoice ChooseChartColumns(float interval, const std::vector<std::string>& labels,
                                     int64_t columnCount) {
    ChartColumnChoice c;
    if (!(interval > 0.01f)) {
        c.close = 2;
        if (columnCount >= 3) c.volume = 3;
        return c;
    }
    bool anyLabel = false;
    for (size_t i = 0; i < labels.size(); ++i) {
        const std::string name = Lower(labels[i]);
        anyLabel = anyLabel || !name.empty();
        const int k = static_cast<int>(i) + 1;
        int* slot = name == "open"     ? &c.open
                    : name == "high"   ? &c.high
                    : name == "low"    ? &c.low
                    : name == "close"  ? &c.close
                    : name == "volume" ? &c.volume
                                       : nullptr;
        if (slot != nullptr && *slot == 0 && k >= 2) *slot = k;
    }
    if (!anyLabel) return {true, 2, 3, 4, 5, columnCount >= 6 ? 6 : 0};
    c.candles = c.open && c.high && c.low && c.close;
    if (c.candles) return c;
    c.open = c.high = c.low = 0;
    for (int k = 2; c.close == 0 && k <= static_cast<int>(labels.size()); ++k) {
        if (k != c.volume) c.close = k;
    }
    if (c.close == 0) c.close = 2;
    return c;
}

std::optional<ChartColumnChoice> ChartColumnsOf(sqlite3* db, int64_t tableId, float interval,
                                                int64_t columnCount,
                                                std::vector<std::string>& labels) {
    labels.clear();
    Stmt l = Prepare(db, "SELECT col, label FROM labels WHERE table_id = ?1 ORDER BY col");
    if (!l) return std::nullopt;
    sqlite3_bind_int64(l.get(), 1, tableId);
    while (sqlite3_step(l.get()) == SQLITE_ROW) {
        const int64_t col = sqlite3_column_int64(l.get(), 0);
        if (col < 1 || col > 1 << 16) continue;
        labels.resize(std::max(labels.size(), static_cast<size_t>(col)));
        labels[static_cast<size_t>(col - 1)] = ColumnText(l.get(), 1);
    }
    // Rows carry at least their fixed columns even when the set-up named none.
    columnCount = std::max<int64_t>(columnCount, static_cast<int64_t>(labels.size()));
    return ChooseChartColumns(interval, labels, std::max<int64_t>(columnCount, 6));
}

void NameChartColumns(float interval, const std::vector<std::string>& labels,
                      const ChartColumnChoice& choice, chart::ChartSeries& series) {
    series.hasVolume = choice.volume != 0;
    auto labelOf = [&](int k, const char* fallback) {
        const bool tick = !(interval > 0.01f);
        if (tick || k < 1 || k > static_cast<int>(labels.size()) || labels[k - 1].empty()) {
            return std::string(fallback);
        }
        return labels[static_cast<size_t>(k - 1)];
    };
    series.priceLabel = labelOf(choice.close, "Price");
    series.volumeLabel = labelOf(choice.volume, "Volume");
}

std::string ChartSelectList(const ChartColumnChoice& c) {
    return "datetime, " + ColumnExpr(c.open) + ", " + ColumnExpr(c.high) + ", " +
           ColumnExpr(c.low) + ", " + ColumnExpr(c.close) + ", " + ColumnExpr(c.volume);
}

int ReadChartTable(const ChartSource& src, const ChartRoom& room, ChartRead& read,
                   std::ostream& err) {
    ChartStore store(src.dbPath, err);
    if (!store.Open()) return 1;
    Stmt t = store.Prepare(
        "SELECT id, columns, (SELECT coalesce(max(seq), 0) FROM rows WHERE table_id = tables.id)"
        " FROM tables WHERE symbol = ?1 AND interval IS ?2");
    if (!t) return 1;
    sqlite3_bind_text(t.get(), 1, src.symbol.data(), static_cast<int>(src.symbol.size()),
                      SQLITE_STATIC);
    store::BindInterval(t.get(), 2, src.interval);
    const std::string name = src.symbol + " at interval " + ShortestText(src.interval);
    if (sqlite3_step(t.get()) != SQLITE_ROW) {
        err << "orbfeed: no table " << name << " in " << src.dbPath << "; "
            << TablesOf(store, src.symbol) << "\n";
        return 1;
    }
    const int64_t id = sqlite3_column_int64(t.get(), 0);
    int64_t columnCount = sqlite3_column_int64(t.get(), 1);
    const int64_t count = sqlite3_column_int64(t.get(), 2);
    if (count <= 0) {
        err << "orbfeed: the table " << name << " in " << src.dbPath << " is empty\n";
        return 1;
    }

    std::vector<std::string> labels;
    const std::optional<ChartColumnChoice> chosen =
        ChartColumnsOf(store.Handle(), id, src.interval, columnCount, labels);
    if (!chosen) return store.Fail();
    const ChartColumnChoice choice = *chosen;

    // The seq range: every row, the last N, or the rows between two date/times.
    int64_t lo = 1, hi = count;
    if (src.last >= 0) lo = std::max<int64_t>(1, count - src.last + 1);
    if (src.range.Bounded()) {
        Stmt at = store.Prepare("SELECT datetime FROM rows WHERE table_id = ?1 AND seq = ?2");
        if (!at) return 1;
        if (src.range.from) lo = FirstAtOrAfter(at.get(), id, lo, hi, *src.range.from);
        if (src.range.until) hi = FirstAtOrAfter(at.get(), id, lo, hi, *src.range.until) - 1;
    }
    const auto noRows = [&] {
        err << "orbfeed: no rows of " << name << " in the range asked for (the table holds "
            << count << " rows)\n";
        return 1;
    };
    if (hi < lo) return noRows();

    const std::string sql = "SELECT " + ChartSelectList(choice) +
                            " FROM rows WHERE table_id = ?1 AND seq BETWEEN ?2 AND ?3 ORDER BY seq";
    Stmt s = store.Prepare(sql);
    if (!s) return 1;
    sqlite3_bind_int64(s.get(), 1, id);
    sqlite3_bind_int64(s.get(), 2, lo);
    sqlite3_bind_int64(s.get(), 3, hi);
    // The rows fold as they stream: into the period asked for, packed into the plot's columns,
    // or into every period at once until the finest that fits is known.
    const int64_t mostCandles =
        std::max<int64_t>(1, static_cast<int64_t>(room.columns / room.minCandleWidth));
    const int64_t mostRows = choice.candles ? mostCandles : room.columns;
    const float finestFor = src.interval > 0.01f ? src.interval : 1.0f;
    std::optional<chart::PeriodFolder> folder;
    std::optional<chart::FitFolder> fit;
    chart::ColumnPacker packer(room.columns);
    if (src.bar) {
        folder.emplace(*src.bar);
    } else {
        fit.emplace(chart::FinestPeriodFor(finestFor), mostRows, mostCandles, room.columns);
    }
    const bool filter = src.range.Bounded();
    bool anyPrice = false;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        const double time = Value(s.get(), 0);
        if (filter && !src.range.Holds(time)) continue;
        if (!tarnwick::MsFromClassic(time)) continue;
        const double open = Value(s.get(), 1), high = Value(s.get(), 2), low = Value(s.get(), 3);
        const double close = Value(s.get(), 4), volume = Value(s.get(), 5);
        anyPrice = anyPrice || chart::IsDrawablePrice(close);
        if (fit) {
            fit->Add(time, open, high, low, close, volume);
        } else if (chart::ChartColumn done;
                   folder->Add(chart::RowColumn(time, open, high, low, close, volume), done)) {
            packer.Add(done);
        }
        if (read.rows++ == 0) read.firstTime = time;
        read.lastTime = time;
    }
    if (rc != SQLITE_DONE) return store.Fail();
    if (read.rows == 0) return noRows();
    if (!anyPrice) {
        err << "orbfeed: the " << read.rows << " rows of " << name
            << " in the range asked for hold no price that can be drawn\n";
        return 1;
    }
    if (fit) {
        chart::FitFolder::Fit f = fit->Take();
        read.series.columns = std::move(f.columns);
        read.series.period = f.period;
        read.perColumn = f.perColumn;
    } else {
        chart::ChartColumn done;
        if (folder->Finish(done)) packer.Add(done);
        read.series.columns = packer.Take();
        read.series.period = src.bar;
        read.perColumn = packer.PerColumn();
    }
    // Candles of a period are candlesticks whatever the table holds; rows keep their style.
    read.series.style =
        choice.candles || read.series.period ? chart::ChartStyle::Candles : chart::ChartStyle::Line;
    NameChartColumns(src.interval, labels, choice, read.series);
    store.Exec("COMMIT");
    return 0;
}

}  // namespace orbfeed::cli
