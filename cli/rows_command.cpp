// The host tool's rows command: prints a stored table as aligned columns or CSV, and with
// --follow keeps printing rows as they arrive.
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/db_commands.h"
#include "cli/number_text.h"
#include "cli/store_reader.h"
#include "feedlib/store/row_codec.h"

namespace orbfeed::cli {
namespace {

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string q = "\"";
    for (char c : text) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

class RowPrinter {
  public:
    RowPrinter(std::ostream& out, bool csv, std::vector<std::string> header)
        : out_(out), csv_(csv), header_(std::move(header)) {
        for (const std::string& h : header_) {
            widths_.push_back(std::max<size_t>(h.size(), widths_.empty() ? kDateWidth : 12));
        }
    }

    void Header() {
        for (size_t k = 0; k < header_.size(); ++k) {
            if (csv_) {
                out_ << (k ? "," : "") << CsvField(header_[k]);
            } else {
                Cell(k, header_[k]);
            }
        }
        out_ << '\n';
    }

    void Print(const Row& row) {
        const size_t n = std::max(row.values.size(), header_.size());
        for (size_t k = 0; k < n; ++k) {
            std::string text;
            if (k < row.values.size()) {
                text = k == 0 ? FormatOleDate(row.values[0]) : FormatValue(row.values[k]);
            }
            if (csv_) {
                out_ << (k ? "," : "") << text;
            } else {
                Cell(k, text);
            }
        }
        out_ << '\n';
    }

  private:
    static constexpr size_t kDateWidth = 23;  // "2003-01-01 09:00:00.600"

    void Cell(size_t k, const std::string& text) {
        size_t width = k < widths_.size() ? widths_[k] : 12;
        size_t pad = width > text.size() ? width - text.size() : 0;
        if (k == 0) {
            out_ << text << std::string(pad, ' ');  // dates left-aligned, values right-aligned
        } else {
            out_ << "  " << std::string(pad, ' ') << text;
        }
    }

    std::ostream& out_;
    bool csv_;
    std::vector<std::string> header_;
    std::vector<size_t> widths_;
};

// Blocks SIGINT and SIGTERM for the follow loop and takes them with sigtimedwait, so that an
// interrupt ends the loop cleanly without a signal handler.
class SignalWaiter {
  public:
    SignalWaiter() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &old_);
    }
    ~SignalWaiter() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    SignalWaiter(const SignalWaiter&) = delete;
    SignalWaiter& operator=(const SignalWaiter&) = delete;

    bool Wait(std::chrono::milliseconds ms) {
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(ms.count() / 1000);
        ts.tv_nsec = static_cast<long>(ms.count() % 1000) * 1000000L;
        return sigtimedwait(&set_, nullptr, &ts) > 0;
    }

  private:
    sigset_t set_{};
    sigset_t old_{};
};

int FollowRows(sqlite3* db, const RowsOptions& options, const TableInfo& table, Row last,
               RowPrinter& printer, std::ostream& out, std::ostream& err) {
    std::optional<SignalWaiter> signals;
    auto wait = options.waitForStop;
    if (!wait) {
        signals.emplace();
        wait = [&](std::chrono::milliseconds ms) { return signals->Wait(ms); };
    }
    std::string sql = std::string("SELECT ") + store::kRowColumns +
                      " FROM rows WHERE table_id = ?1 AND seq >= ?2 ORDER BY seq";
    Stmt rows = Prepare(db, sql.c_str());
    Stmt setups = Prepare(db, "SELECT setups FROM tables WHERE id = ?1");
    if (!rows || !setups) {
        err << DbError(db, options.dbPath);
        return 1;
    }
    int64_t generation = table.setups;
    Row row;
    while (!wait(std::chrono::milliseconds(200))) {
        // A new set-up starts the table over: print its history from the start.
        sqlite3_bind_int64(setups.get(), 1, table.id);
        if (sqlite3_step(setups.get()) == SQLITE_ROW) {
            int64_t now = sqlite3_column_int64(setups.get(), 0);
            if (now != generation) {
                generation = now;
                last = Row{};
            }
        }
        sqlite3_reset(setups.get());
        sqlite3_bind_int64(rows.get(), 1, table.id);
        sqlite3_bind_int64(rows.get(), 2, std::max<int64_t>(1, last.seq));
        int rc;
        while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
            ReadRow(rows.get(), row);
            // The last printed row is printed again only when it was replaced.
            const bool shown = !options.range.Bounded() ||
                               options.range.Holds(row.values.empty() ? NAN : row.values[0]);
            if (shown && (row.seq != last.seq || !(row == last))) printer.Print(row);
            std::swap(last, row);
        }
        sqlite3_reset(rows.get());
        if (rc != SQLITE_DONE && (rc & 0xff) != SQLITE_BUSY) {
            err << DbError(db, options.dbPath);
            return 1;
        }
        out.flush();
    }
    return 0;
}

}  // namespace

int RunRows(const RowsOptions& options, std::ostream& out, std::ostream& err) {
    Db db = OpenReadOnly(options.dbPath, err);
    if (!db) return 1;
    auto table = FindTable(db.get(), options.symbol, options.interval);
    if (!table) {
        err << "orbfeed: no table " << options.symbol << " at interval "
            << ShortestText(options.interval) << " in " << options.dbPath << "\n";
        return 1;
    }
    // The selected rows: all of them, the last N, or those between two seqs found by their
    // date/times (rows out of order inside are filtered as they are read).
    const TimeRange& range = options.range;
    int64_t lo = 1, hi = 0;
    if (range.Bounded()) {
        Stmt count =
            Prepare(db.get(), "SELECT coalesce(max(seq), 0) FROM rows WHERE table_id = ?1");
        Stmt at = Prepare(db.get(), "SELECT datetime FROM rows WHERE table_id = ?1 AND seq = ?2");
        if (!count || !at) {
            err << DbError(db.get(), options.dbPath);
            return 1;
        }
        sqlite3_bind_int64(count.get(), 1, table->id);
        if (sqlite3_step(count.get()) == SQLITE_ROW) hi = sqlite3_column_int64(count.get(), 0);
        if (range.from) lo = FirstAtOrAfter(at.get(), table->id, lo, hi, *range.from);
        if (range.until) hi = FirstAtOrAfter(at.get(), table->id, lo, hi, *range.until) - 1;
    }
    const std::string columns = std::string("SELECT ") + store::kRowColumns + " FROM rows";
    const std::string selection =
        range.Bounded()    ? columns + " WHERE table_id = ?1 AND seq BETWEEN ?2 AND ?3 ORDER BY seq"
        : options.last < 0 ? columns + " WHERE table_id = ?1 ORDER BY seq"
                           : "SELECT * FROM (" + columns +
                                 " WHERE table_id = ?1 ORDER BY seq DESC LIMIT ?2) ORDER BY seq";
    auto bind = [&](sqlite3_stmt* st) {
        sqlite3_bind_int64(st, 1, table->id);
        if (range.Bounded()) {
            sqlite3_bind_int64(st, 2, lo);
            sqlite3_bind_int64(st, 3, hi);
        } else if (options.last >= 0) {
            sqlite3_bind_int64(st, 2, options.last);
        }
    };
    int64_t widest = 0;
    {
        std::string sql = "SELECT max(ncols) FROM (" + selection + ")";
        Stmt s = Prepare(db.get(), sql.c_str());
        if (!s) {
            err << DbError(db.get(), options.dbPath);
            return 1;
        }
        bind(s.get());
        if (sqlite3_step(s.get()) == SQLITE_ROW) widest = sqlite3_column_int64(s.get(), 0);
    }
    RowPrinter printer(out, options.csv, HeaderFor(db.get(), *table, widest));
    printer.Header();

    Stmt s = Prepare(db.get(), selection.c_str());
    if (!s) {
        err << DbError(db.get(), options.dbPath);
        return 1;
    }
    bind(s.get());
    Row row;
    Row last;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        ReadRow(s.get(), row);
        if (range.Bounded() && !range.Holds(row.values.empty() ? NAN : row.values[0])) continue;
        printer.Print(row);
        std::swap(last, row);
    }
    if (rc != SQLITE_DONE) {
        err << DbError(db.get(), options.dbPath);
        return 1;
    }
    s.reset();
    out.flush();
    if (!options.follow) return 0;
    if (last.seq == 0) {
        // Nothing printed (an empty table, or --last 0): follow from the current end.
        Stmt m = Prepare(db.get(), (std::string("SELECT ") + store::kRowColumns +
                                    " FROM rows WHERE table_id = ?1 ORDER BY seq DESC LIMIT 1")
                                       .c_str());
        if (m) {
            sqlite3_bind_int64(m.get(), 1, table->id);
            if (sqlite3_step(m.get()) == SQLITE_ROW) ReadRow(m.get(), last);
        }
    }
    return FollowRows(db.get(), options, *table, std::move(last), printer, out, err);
}

}  // namespace orbfeed::cli
