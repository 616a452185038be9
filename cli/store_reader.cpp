// The host tool's read access to the table store.
#include "cli/store_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ostream>

#include "cli/number_text.h"
#include "dates/classic_date.h"
#include "feedlib/store/row_codec.h"

namespace orbfeed::cli {

namespace {

Db Open(const std::string& path, int flags, std::ostream& err) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        err << "orbfeed: no table store at " << path << ": " << std::strerror(errno) << "\n";
        return nullptr;
    }
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
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

}  // namespace

Db OpenReadOnly(const std::string& path, std::ostream& err) {
    return Open(path, SQLITE_OPEN_READONLY, err);
}

Db OpenForWriting(const std::string& path, std::ostream& err) {
    return Open(path, SQLITE_OPEN_READWRITE, err);
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
    return ShortestText(static_cast<float>(sqlite3_column_double(s, col)));
}

std::string DbError(sqlite3* db, const std::string& path) {
    return "orbfeed: cannot read the table store " + path + ": " + sqlite3_errmsg(db) + "\n";
}

void ReadRow(sqlite3_stmt* s, Row& row) {
    row.seq = sqlite3_column_int64(s, 0);
    store::ReadRowValues(s, row.values);
}

std::optional<TableInfo> FindTable(sqlite3* db, const std::string& symbol, float interval) {
    Stmt s =
        Prepare(db, "SELECT id, columns, setups FROM tables WHERE symbol = ?1 AND interval IS ?2");
    if (!s) return std::nullopt;
    sqlite3_bind_text(s.get(), 1, symbol.data(), static_cast<int>(symbol.size()), SQLITE_STATIC);
    store::BindInterval(s.get(), 2, interval);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    return TableInfo{sqlite3_column_int64(s.get(), 0), sqlite3_column_int64(s.get(), 1),
                     sqlite3_column_int64(s.get(), 2)};
}

int64_t FirstAtOrAfter(sqlite3_stmt* at, int64_t tableId, int64_t lo, int64_t hi, double t) {
    int64_t end = hi + 1;
    while (lo < end) {
        const int64_t mid = lo + (end - lo) / 2;
        sqlite3_bind_int64(at, 1, tableId);
        sqlite3_bind_int64(at, 2, mid);
        double v = -HUGE_VAL;
        if (sqlite3_step(at) == SQLITE_ROW && sqlite3_column_type(at, 0) != SQLITE_NULL) {
            v = tarnwick::LinearFromClassic(sqlite3_column_double(at, 0));
        }
        sqlite3_reset(at);
        if (v < t) {
            lo = mid + 1;
        } else {
            end = mid;
        }
    }
    return lo;
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

}  // namespace orbfeed::cli
