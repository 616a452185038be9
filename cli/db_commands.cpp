// The host tool's store commands: the tables listing, dropping a table, and the date/time and
// number texts they print.
#include "cli/db_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <vector>

#include "cli/number_text.h"
#include "cli/store_reader.h"
#include "dates/classic_date.h"

namespace orbfeed::cli {

std::string FormatOleDate(double value) {
    const std::optional<tarnwick::CalendarDateTime> at = tarnwick::CalendarFromClassic(value);
    if (!at) return FormatValue(value);
    const int64_t ms = at->MsOfDay;
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02lld:%02lld:%02lld", at->Year,
                          at->Month, at->Day, static_cast<long long>(ms / 3600000),
                          static_cast<long long>(ms / 60000 % 60),
                          static_cast<long long>(ms / 1000 % 60));
    if (ms % 1000 != 0) {
        std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%03lld",
                      static_cast<long long>(ms % 1000));
    }
    return buf;
}

std::string FormatValue(double v) {
    return ShortestText(v);
}

namespace {

bool IsLive(const LiveTables& live, const std::string& symbol, float interval) {
    return std::any_of(live.begin(), live.end(),
                       [&](const auto& t) { return t.first == symbol && t.second == interval; });
}

// Lines of cells as columns two blanks apart; the columns in rightAligned (numbers) are padded
// on the left, the last column is not padded.
void PrintColumns(const std::vector<std::vector<std::string>>& lines,
                  const std::vector<bool>& rightAligned, std::ostream& out) {
    std::vector<size_t> widths(rightAligned.size());
    for (const auto& line : lines) {
        for (size_t k = 0; k < line.size(); ++k) widths[k] = std::max(widths[k], line[k].size());
    }
    for (const auto& line : lines) {
        std::string text;
        for (size_t k = 0; k < line.size(); ++k) {
            if (k) text += "  ";
            const size_t pad = widths[k] - line[k].size();
            if (rightAligned[k]) text += std::string(pad, ' ');
            text += line[k];
            if (!rightAligned[k] && k + 1 < line.size()) text += std::string(pad, ' ');
        }
        out << text << '\n';
    }
}

}  // namespace

int RunTables(const std::string& dbPath, const LiveTables& live, std::ostream& out,
              std::ostream& err) {
    Db db = OpenReadOnly(dbPath, err);
    if (!db) return 1;
    // seq runs from 1 without gaps in every table, so max(seq) is the row count.
    Stmt s = Prepare(db.get(),
                     "SELECT t.symbol, t.interval,"
                     " (SELECT coalesce(max(seq), 0) FROM rows WHERE table_id = t.id),"
                     " (SELECT datetime FROM rows WHERE table_id = t.id ORDER BY seq LIMIT 1),"
                     " (SELECT datetime FROM rows WHERE table_id = t.id ORDER BY seq DESC LIMIT 1),"
                     " t.description"
                     " FROM tables t ORDER BY t.symbol, t.interval");
    if (!s) {
        err << DbError(db.get(), dbPath);
        return 1;
    }
    std::vector<std::vector<std::string>> lines{
        {"SYMBOL", "INTERVAL", "ROWS", "FIRST", "LAST", "LIVE", "DESCRIPTION"}};
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        auto date = [&](int col) {
            return sqlite3_column_type(s.get(), col) == SQLITE_NULL
                       ? std::string("-")
                       : FormatOleDate(sqlite3_column_double(s.get(), col));
        };
        const std::string symbol = ColumnText(s.get(), 0);
        const bool served =
            sqlite3_column_type(s.get(), 1) != SQLITE_NULL &&
            IsLive(live, symbol, static_cast<float>(sqlite3_column_double(s.get(), 1)));
        lines.push_back({symbol, FormatInterval(s.get(), 1),
                         std::to_string(sqlite3_column_int64(s.get(), 2)), date(3), date(4),
                         served ? "yes" : "no", ColumnText(s.get(), 5)});
    }
    if (rc != SQLITE_DONE) {
        err << DbError(db.get(), dbPath);
        return 1;
    }
    PrintColumns(lines, {false, true, true, false, false, false, false}, out);
    return 0;
}

int RunDrop(const std::string& dbPath, const std::string& symbol, float interval, bool force,
            const LiveTables& live, std::ostream& out, std::ostream& err) {
    const std::string name = symbol + " at interval " + ShortestText(interval);
    const bool served = IsLive(live, symbol, interval);
    if (served && !force) {
        err << "orbfeed: the pump serves " << name
            << " live, so its rows would come back: remove it first (orbfeed remove " << symbol
            << " " << ShortestText(interval) << "), or drop it anyway with --force\n";
        return 1;
    }
    Db db = OpenForWriting(dbPath, err);
    if (!db) return 1;
    auto fail = [&] {
        err << "orbfeed: cannot change the table store " << dbPath << ": "
            << sqlite3_errmsg(db.get()) << "\n";
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        return 1;
    };
    if (sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail();
    const auto table = FindTable(db.get(), symbol, interval);
    if (!table) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        err << "orbfeed: no table " << name << " in " << dbPath << "\n";
        return 1;
    }
    int64_t rows = 0;
    for (const char* sql :
         {"SELECT coalesce(max(seq), 0) FROM rows WHERE table_id = ?1",
          "DELETE FROM rows WHERE table_id = ?1", "DELETE FROM labels WHERE table_id = ?1",
          "DELETE FROM tables WHERE id = ?1"}) {
        Stmt st = Prepare(db.get(), sql);
        if (!st) return fail();
        sqlite3_bind_int64(st.get(), 1, table->id);
        int rc = sqlite3_step(st.get());
        if (rc == SQLITE_ROW) {
            rows = sqlite3_column_int64(st.get(), 0);
            rc = SQLITE_DONE;
        }
        if (rc != SQLITE_DONE) return fail();
    }
    if (sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return fail();
    out << "dropped " << name << " (" << rows << " rows) from " << dbPath;
    if (served) out << "; the pump still serves it, so its live rows start the table anew";
    out << "\n";
    return 0;
}

}  // namespace orbfeed::cli
