// The host tool's store commands: registering tables and rows, the tables listing, and the
// date/time and number texts they print.
#include "cli/db_commands.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <ostream>
#include <vector>

#include "cli/store_reader.h"
#include "dates/classic_date.h"
#include "feedlib/store/store_path.h"

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
