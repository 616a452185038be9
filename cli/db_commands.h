#pragma once
// The host tool's commands that read the stored tables (tables, rows).
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "cli/date_options.h"

namespace orbfeed::cli {

// A stored date/time (days since 30 December 1899, the fraction being the time of day, counted
// forward from the day before 1900 too: dates/classic_date.h) as "2003-01-01 09:00:00", with
// ".mmm" when the milliseconds are not zero. Values outside the years 100 to 9999 are written as
// numbers.
std::string FormatOleDate(double value);

// v in its shortest form that reads back to the same double ("nan", "inf" when not finite).
std::string FormatValue(double v);

// The tables a running pump serves live in the store at hand (none when no pump runs, or when
// it writes another store).
using LiveTables = std::vector<std::pair<std::string, float>>;

// Lists every stored table: symbol, interval, row count, first and last date/time, whether the
// pump serves it live, description. Returns the exit code: 0, or 1 when the database is missing
// or unreadable.
int RunTables(const std::string& dbPath, const LiveTables& live, std::ostream& out,
              std::ostream& err);

// Deletes a stored table with its rows and labels, in one transaction; refused (exit code 1,
// one line on err) while the pump serves it live unless force. 1 also for a missing database or
// table, or one that cannot be written.
int RunDrop(const std::string& dbPath, const std::string& symbol, float interval, bool force,
            const LiveTables& live, std::ostream& out, std::ostream& err);

struct RowsOptions {
    std::string dbPath;
    std::string symbol;
    float interval = 0;
    int64_t last = -1;  // the last N rows only; negative: all rows
    TimeRange range;    // only the rows in this range of date/times
    bool csv = false;
    bool follow = false;
    // Follow mode: waits up to the given time and returns true when the command should end.
    // Empty: waits for SIGINT or SIGTERM.
    std::function<bool(std::chrono::milliseconds)> waitForStop;
};

// Prints the rows of one table. Returns 0, or 1 for a missing database or unknown table.
int RunRows(const RowsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace orbfeed::cli
