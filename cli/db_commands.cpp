#include "cli/db_commands.h"

#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "feedlib/store/store_path.h"

namespace orbfeed::cli {
namespace {

// ---- dates ----

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct Civil {
    int64_t year;
    unsigned month;
    unsigned day;
};

Civil CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {y + (m <= 2), m, d};
}

constexpr int64_t kMsPerDay = 86400000;
// 0001-01-01 and 9999-12-31 as date/time values: outside them a value is shown as a number.
constexpr double kFirstDay = -657434.0;
constexpr double kLastDay = 2958466.0;

// ---- database access ----

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Stmt = std::unique_ptr<sqlite3_stmt, StmtCloser>;

Db OpenReadOnly(const std::string& path, std::ostream& err) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        err << "orbfeed: no table store at " << path << ": " << std::strerror(errno) << "\n";
        return nullptr;
    }
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    Db db(raw);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(raw, 2000);
        // Reading the schema shows whether this is a table store at all.
        rc = sqlite3_exec(raw, "SELECT id, symbol, interval, setups FROM tables LIMIT 0", nullptr,
                          nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        err << "orbfeed: cannot read the table store " << path << ": "
            << (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)) << "\n";
        return nullptr;
    }
    return db;
}

Stmt Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        return nullptr;
    }
    return Stmt(s);
}

std::string ColumnText(sqlite3_stmt* s, int col) {
    const auto* text = sqlite3_column_text(s, col);
    if (text == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(s, col)));
}

std::string FormatInterval(sqlite3_stmt* s, int col) {
    if (sqlite3_column_type(s, col) == SQLITE_NULL) return "nan";
    // The interval is kept as the 32-bit float the library was given.
    auto v = static_cast<float>(sqlite3_column_double(s, col));
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

void BindInterval(sqlite3_stmt* s, int index, float interval) {
    if (std::isnan(interval)) {
        sqlite3_bind_null(s, index);
    } else {
        sqlite3_bind_double(s, index, interval == 0 ? 0.0 : static_cast<double>(interval));
    }
}

std::string DbError(sqlite3* db, const std::string& path) {
    return "orbfeed: cannot read the table store " + path + ": " + sqlite3_errmsg(db) + "\n";
}

// ---- rows ----

struct Row {
    int64_t seq = 0;
    std::vector<double> values;
    bool operator==(const Row& o) const {
        if (values.size() != o.values.size()) return false;
        for (size_t k = 0; k < values.size(); ++k) {
            // Equal bit patterns, so that a NaN matches itself.
            if (std::memcmp(&values[k], &o.values[k], sizeof(double)) != 0) return false;
        }
        return true;
    }
};

// Columns 7 and up: a JSON array of numbers, null for NaN.
void ParseExtra(const char* p, size_t n, std::vector<double>& out) {
    const char* end = p + n;
    while (p < end && *p != '[') ++p;
    if (p < end) ++p;
    while (p < end && *p != ']') {
        while (p < end && (*p == ' ' || *p == ',')) ++p;
        if (p >= end || *p == ']') break;
        double v = std::nan("");
        if (*p == 'n') {
            p += std::min<size_t>(4, static_cast<size_t>(end - p));
        } else {
            auto r = std::from_chars(p, end, v);
            if (r.ec == std::errc::result_out_of_range) {
                v = *p == '-' ? -HUGE_VAL : HUGE_VAL;
                // Tiny magnitudes underflow to zero rather than to infinity.
                const char* e = std::find_if(p, r.ptr, [](char c) { return c == 'e' || c == 'E'; });
                if (e + 1 < r.ptr && e[1] == '-') v = *p == '-' ? -0.0 : 0.0;
            } else if (r.ec != std::errc()) {
                break;
            }
            p = r.ptr;
        }
        out.push_back(v);
    }
}

constexpr const char* kRowColumns = "seq, ncols, datetime, c2, c3, c4, c5, c6, extra";

void ReadRow(sqlite3_stmt* s, Row& row) {
    row.seq = sqlite3_column_int64(s, 0);
    const int n = std::max(0, sqlite3_column_int(s, 1));
    row.values.clear();
    for (int k = 0; k < n && k < 6; ++k) {
        row.values.push_back(sqlite3_column_type(s, 2 + k) == SQLITE_NULL
                                 ? std::nan("")
                                 : sqlite3_column_double(s, 2 + k));
    }
    if (n > 6 && sqlite3_column_type(s, 8) != SQLITE_NULL) {
        ParseExtra(reinterpret_cast<const char*>(sqlite3_column_text(s, 8)),
                   static_cast<size_t>(sqlite3_column_bytes(s, 8)), row.values);
    }
    row.values.resize(static_cast<size_t>(n), std::nan(""));
}

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

struct TableInfo {
    int64_t id = 0;
    int64_t columns = 0;
    int64_t setups = 0;
};

std::optional<TableInfo> FindTable(sqlite3* db, const std::string& symbol, float interval) {
    Stmt s =
        Prepare(db, "SELECT id, columns, setups FROM tables WHERE symbol = ?1 AND interval IS ?2");
    if (!s) return std::nullopt;
    sqlite3_bind_text(s.get(), 1, symbol.data(), static_cast<int>(symbol.size()), SQLITE_STATIC);
    BindInterval(s.get(), 2, interval);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    return TableInfo{sqlite3_column_int64(s.get(), 0), sqlite3_column_int64(s.get(), 1),
                     sqlite3_column_int64(s.get(), 2)};
}

std::vector<std::string> HeaderFor(sqlite3* db, const TableInfo& table, int64_t widest) {
    std::vector<std::optional<std::string>> labels;
    if (Stmt s = Prepare(db, "SELECT col, label FROM labels WHERE table_id = ?1 ORDER BY col")) {
        sqlite3_bind_int64(s.get(), 1, table.id);
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            auto col = sqlite3_column_int64(s.get(), 0);
            if (col < 1 || col > 1 << 16) continue;
            if (labels.size() < static_cast<size_t>(col)) labels.resize(static_cast<size_t>(col));
            labels[static_cast<size_t>(col - 1)] = ColumnText(s.get(), 1);
        }
    }
    size_t n =
        std::max<size_t>({labels.size(), static_cast<size_t>(std::max<int64_t>(0, widest)),
                          static_cast<size_t>(std::clamp<int64_t>(table.columns, 0, 1 << 16)), 1});
    std::vector<std::string> header;
    for (size_t k = 0; k < n; ++k) {
        if (k < labels.size() && labels[k] && !labels[k]->empty()) {
            header.push_back(*labels[k]);
        } else {
            header.push_back(k == 0 ? "datetime" : "c" + std::to_string(k + 1));
        }
    }
    return header;
}

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
    std::string sql = std::string("SELECT ") + kRowColumns +
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
            if (row.seq != last.seq || !(row == last)) printer.Print(row);
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

std::string FormatOleDate(double value) {
    if (!(value > kFirstDay && value < kLastDay)) return FormatValue(value);
    // The whole part counts days (towards zero, so -1.25 is 29 December 1899); the fraction's
    // magnitude is the time of day. Round once, to whole milliseconds, then work in integers.
    const auto ms = static_cast<int64_t>(std::llround(std::fabs(value) * kMsPerDay));
    int64_t days = ms / kMsPerDay;
    int64_t msOfDay = ms % kMsPerDay;
    if (value < 0) days = -days;
    const Civil c = CivilFromDays(DaysFromCivil(1899, 12, 30) + days);
    char buf[48];
    int n = std::snprintf(
        buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(c.year),
        c.month, c.day, static_cast<long long>(msOfDay / 3600000),
        static_cast<long long>(msOfDay / 60000 % 60), static_cast<long long>(msOfDay / 1000 % 60));
    if (msOfDay % 1000 != 0) {
        std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%03lld",
                      static_cast<long long>(msOfDay % 1000));
    }
    return buf;
}

std::string FormatValue(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

int RunTables(const std::string& dbPath, std::ostream& out, std::ostream& err) {
    Db db = OpenReadOnly(dbPath, err);
    if (!db) return 1;
    // seq runs from 1 without gaps in every table, so max(seq) is the row count.
    Stmt s = Prepare(db.get(),
                     "SELECT t.symbol, t.interval,"
                     " (SELECT coalesce(max(seq), 0) FROM rows WHERE table_id = t.id),"
                     " (SELECT datetime FROM rows WHERE table_id = t.id ORDER BY seq LIMIT 1),"
                     " (SELECT datetime FROM rows WHERE table_id = t.id ORDER BY seq DESC LIMIT 1)"
                     " FROM tables t ORDER BY t.symbol, t.interval");
    if (!s) {
        err << DbError(db.get(), dbPath);
        return 1;
    }
    std::vector<std::array<std::string, 5>> lines{{"SYMBOL", "INTERVAL", "ROWS", "FIRST", "LAST"}};
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        auto date = [&](int col) {
            return sqlite3_column_type(s.get(), col) == SQLITE_NULL
                       ? std::string("-")
                       : FormatOleDate(sqlite3_column_double(s.get(), col));
        };
        lines.push_back({ColumnText(s.get(), 0), FormatInterval(s.get(), 1),
                         std::to_string(sqlite3_column_int64(s.get(), 2)), date(3), date(4)});
    }
    if (rc != SQLITE_DONE) {
        err << DbError(db.get(), dbPath);
        return 1;
    }
    std::array<size_t, 5> widths{};
    for (const auto& line : lines) {
        for (size_t k = 0; k < line.size(); ++k) widths[k] = std::max(widths[k], line[k].size());
    }
    for (const auto& line : lines) {
        std::string text;
        for (size_t k = 0; k < line.size(); ++k) {
            if (k) text += "  ";
            size_t pad = widths[k] - line[k].size();
            // Numbers right-aligned, texts left-aligned.
            if (k == 1 || k == 2) text += std::string(pad, ' ');
            text += line[k];
            if (k != 1 && k != 2 && k + 1 < line.size()) text += std::string(pad, ' ');
        }
        out << text << '\n';
    }
    return 0;
}

int RunRows(const RowsOptions& options, std::ostream& out, std::ostream& err) {
    Db db = OpenReadOnly(options.dbPath, err);
    if (!db) return 1;
    auto table = FindTable(db.get(), options.symbol, options.interval);
    if (!table) {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, options.interval);
        err << "orbfeed: no table " << options.symbol << " at interval " << std::string(buf, r.ptr)
            << " in " << options.dbPath << "\n";
        return 1;
    }
    // The selected rows: all of them, or the last N.
    const std::string selection =
        options.last < 0
            ? std::string("SELECT ") + kRowColumns + " FROM rows WHERE table_id = ?1 ORDER BY seq"
            : std::string("SELECT * FROM (SELECT ") + kRowColumns +
                  " FROM rows WHERE table_id = ?1 ORDER BY seq DESC LIMIT ?2) ORDER BY seq";
    int64_t widest = 0;
    {
        std::string sql = "SELECT max(ncols) FROM (" + selection + ")";
        Stmt s = Prepare(db.get(), sql.c_str());
        if (!s) {
            err << DbError(db.get(), options.dbPath);
            return 1;
        }
        sqlite3_bind_int64(s.get(), 1, table->id);
        if (options.last >= 0) sqlite3_bind_int64(s.get(), 2, options.last);
        if (sqlite3_step(s.get()) == SQLITE_ROW) widest = sqlite3_column_int64(s.get(), 0);
    }
    RowPrinter printer(out, options.csv, HeaderFor(db.get(), *table, widest));
    printer.Header();

    Stmt s = Prepare(db.get(), selection.c_str());
    if (!s) {
        err << DbError(db.get(), options.dbPath);
        return 1;
    }
    sqlite3_bind_int64(s.get(), 1, table->id);
    if (options.last >= 0) sqlite3_bind_int64(s.get(), 2, options.last);
    Row row;
    Row last;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        ReadRow(s.get(), row);
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
        Stmt m = Prepare(db.get(), (std::string("SELECT ") + kRowColumns +
                                    " FROM rows WHERE table_id = ?1 ORDER BY seq DESC LIMIT 1")
                                       .c_str());
        if (m) {
            sqlite3_bind_int64(m.get(), 1, table->id);
            if (sqlite3_step(m.get()) == SQLITE_ROW) ReadRow(m.get(), last);
        }
    }
    return FollowRows(db.get(), options, *table, std::move(last), printer, out, err);
}

void AddDatabaseCommands(CLI::App& app) {
    auto* tables = app.add_subcommand("tables", "List the stored tables");
    tables->callback([] {
        if (int rc = RunTables(DefaultStorePath(), std::cout, std::cerr); rc != 0) {
            throw CLI::RuntimeError(rc);
        }
    });

    auto options = std::make_shared<RowsOptions>();
    auto* rows = app.add_subcommand("rows", "Print the rows of a stored table");
    rows->add_option("symbol", options->symbol, "The table's symbol")->required();
    rows->add_option("interval", options->interval, "The table's bar interval in minutes")
        ->required();
    rows->add_option("--last", options->last, "Only the last N rows")
        ->check(CLI::NonNegativeNumber);
    rows->add_flag("--csv", options->csv, "Comma-separated values with a header line");
    rows->add_flag("--follow,-f", options->follow, "Keep printing rows as they arrive");
    rows->callback([options] {
        options->dbPath = DefaultStorePath();
        if (int rc = RunRows(*options, std::cout, std::cerr); rc != 0) {
            throw CLI::RuntimeError(rc);
        }
    });
}

}  // namespace orbfeed::cli
