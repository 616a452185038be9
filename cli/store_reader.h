#pragma once
// Reading the table store for the host tool's commands: opening it read-only, finding a table,
// its column header and its rows in the stored row format (feedlib/store/row_codec.h).
#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orbfeed::cli {

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Stmt = std::unique_ptr<sqlite3_stmt, StmtCloser>;

// The store at path, or nullptr after a message on err when it is missing or no table store.
Db OpenReadOnly(const std::string& path, std::ostream& err);
// The same, opened for changes (never created).
Db OpenForWriting(const std::string& path, std::ostream& err);
// A prepared statement, or nullptr when sql does not compile against db.
Stmt Prepare(sqlite3* db, const char* sql);
std::string ColumnText(sqlite3_stmt* s, int col);
// The interval at col as the 32-bit float the library was given ("nan" for NULL).
std::string FormatInterval(sqlite3_stmt* s, int col);
// The message for a failed read, ending in a newline.
std::string DbError(sqlite3* db, const std::string& path);

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

// Reads the row at the statement's cursor, selected with store::kRowColumns.
void ReadRow(sqlite3_stmt* s, Row& row);

struct TableInfo {
    int64_t id = 0;
    int64_t columns = 0;
    int64_t setups = 0;
};

std::optional<TableInfo> FindTable(sqlite3* db, const std::string& symbol, float interval);
// The first seq in [lo, hi + 1) whose date/time lies at t or later on the straight time line,
// found by bisection: date/times grow with seq as rows arrive in time order (a caller filters
// rows out of order as it reads them). at selects a row's datetime by ?1 table id and ?2 seq.
int64_t FirstAtOrAfter(sqlite3_stmt* at, int64_t tableId, int64_t lo, int64_t hi, double t);
// The column titles: the stored labels, else "datetime", "c2", "c3", ... for at least widest
// columns and the table's set-up column count.
std::vector<std::string> HeaderFor(sqlite3* db, const TableInfo& table, int64_t widest);

}  // namespace orbfeed::cli
