#pragma once
// The table store's database schema and the statements that write a row (docs/store-schema.md).
#include <string>

namespace orbfeed::store {

inline constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS tables(
    id          INTEGER PRIMARY KEY,
    symbol      TEXT NOT NULL,
    interval    REAL,
    description TEXT NOT NULL DEFAULT '',
    category    TEXT NOT NULL DEFAULT '',
    start_date  REAL,
    columns     INTEGER NOT NULL DEFAULT 0,
    setups      INTEGER NOT NULL DEFAULT 0,
    created_at  TEXT NOT NULL DEFAULT (datetime('now')),
    setup_at    TEXT
);
CREATE UNIQUE INDEX IF NOT EXISTS tables_key ON tables(symbol, interval);
CREATE TABLE IF NOT EXISTS labels(
    table_id INTEGER NOT NULL,
    col      INTEGER NOT NULL,
    label    TEXT NOT NULL,
    PRIMARY KEY(table_id, col)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS rows(
    table_id INTEGER NOT NULL,
    seq      INTEGER NOT NULL,
    ncols    INTEGER NOT NULL,
    datetime REAL,
    c2 REAL, c3 REAL, c4 REAL, c5 REAL, c6 REAL,
    extra    TEXT,
    PRIMARY KEY(table_id, seq)
) WITHOUT ROWID;
PRAGMA user_version = 2;
)sql";

// The ISO date/time with milliseconds ("2003-01-01 09:00:00.000") of a stored date/time in the
// column `datetime`: the classic value put on the straight time line (before 30 December 1899 its
// fraction counts forward from a day counted toward zero: dates/classic_date.h), then read as
// SQLite's Julian day number, whose day 0 is 2415018.5. docs/store-schema.md quotes it as it
// stands.
inline constexpr const char* kIsoDateTimeSql =
    "strftime('%Y-%m-%d %H:%M:%f', CASE WHEN datetime < 0 THEN 2 * CAST(datetime AS INTEGER) - "
    "datetime ELSE datetime END + 2415018.5)";

// Two views that read a table in one SELECT, with the date/time as ISO text with milliseconds and
// the values named by the layout the pump writes: bars_readable for bar tables (interval above
// 0.01: open, high, low, close, volume), ticks_readable for the others (ticks and bars sent as
// ticks: price, volume). The interval reads as the number it was requested as (0.1, not the
// 32-bit float's 0.100000001490116). Created with the schema, so a store written by an earlier
// version gains them the next time the library opens it; nothing else changes for it.
inline std::string ReadableViewsSql() {
    const std::string columns =
        " AS SELECT t.symbol AS symbol, CASE WHEN t.interval IS NULL THEN NULL ELSE "
        "CAST(printf('%.7g', t.interval) AS REAL) END AS interval, r.seq AS seq, " +
        std::string(kIsoDateTimeSql) + " AS datetime, ";
    const std::string from = " FROM rows r JOIN tables t ON t.id = r.table_id WHERE ";
    return "CREATE VIEW IF NOT EXISTS bars_readable" + columns +
           "r.c2 AS open, r.c3 AS high, r.c4 AS low, r.c5 AS close, r.c6 AS volume" + from +
           "t.interval > 0.01;\n"
           "CREATE VIEW IF NOT EXISTS ticks_readable" +
           columns + "r.c2 AS price, r.c3 AS volume" + from +
           "NOT coalesce(t.interval > 0.01, 0);\n";
}

// Both statements bind the same parameters: ?1 table, ?2 seq, ?3 ncols, ?4 date/time,
// ?5..?9 columns 2..6, ?10 columns 7 and up.
inline constexpr const char* kInsertRow =
    "INSERT INTO rows(table_id, seq, ncols, datetime, c2, c3, c4, c5, c6, extra) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)";
inline constexpr const char* kUpdateRow =
    "UPDATE rows SET ncols = ?3, datetime = ?4, c2 = ?5, c3 = ?6, c4 = ?7, c5 = ?8, c6 = ?9, "
    "extra = ?10 WHERE table_id = ?1 AND seq = ?2";

}  // namespace orbfeed::store
