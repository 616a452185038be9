#pragma once
// Helpers for the table store tests: a scratch folder and a read-only view of a store's database.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dates/classic_date.h"
#include "feedlib/store/table_store.h"

namespace orbfeed::testing {

// One-minute bars from 28 December 1899 to 2 January 1900, 09:00 to 16:00 (421 rows a day, 2526
// in all), stamped as a history transfer stamps them: on the straight time line, written in the
// classic encoding (before 30 December 1899 the fraction counts forward from a negative day).
// The close is the row's index from 0, so a row's position is visible in what reads it.
inline constexpr int kTurnOfTheCenturyRowsPerDay = 421;
inline void FillTurnOfTheCentury(TableStore& store, const std::string& symbol) {
    StoreTableId t = store.SetupTable(symbol, 1.0f, "Old", "Stock", -2, 6);
    int index = 0;
    for (int day = -2; day <= 3; ++day) {
        for (int m = 0; m < kTurnOfTheCenturyRowsPerDay; ++m) {
            const double stamp = tarnwick::ClassicFromLinear(day + (540 + m) / 1440.0);
            const double v[6] = {stamp, 30, 31, 29, static_cast<double>(index++), 100};
            store.PutRow(t, v, 6, false);
        }
    }
}

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class ScratchDir {
  public:
    ScratchDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "orbfeed-store-XXXXXX");
        if (::mkdtemp(templ.data()) == nullptr) std::abort();
        path_ = templ;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Sets an environment variable for its own lifetime.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (saved_) {
            ::setenv(name_, saved_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

// A connection to a store's database for checking what it holds.
class DbView {
  public:
    explicit DbView(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(db_);
            db_ = nullptr;
        }
    }
    ~DbView() { sqlite3_close(db_); }
    DbView(const DbView&) = delete;
    DbView& operator=(const DbView&) = delete;

    bool ok() const { return db_ != nullptr; }
    sqlite3* get() const { return db_; }

    // The first column of each result row as text ("NULL" for a null).
    std::vector<std::string> Column(const std::string& sql) const {
        std::vector<std::string> out;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            out.push_back(std::string("error: ") + sqlite3_errmsg(db_));
            return out;
        }
        while (sqlite3_step(s) == SQLITE_ROW) {
            const auto* t = sqlite3_column_text(s, 0);
            out.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
        }
        sqlite3_finalize(s);
        return out;
    }
    std::string One(const std::string& sql) const {
        auto c = Column(sql);
        return c.empty() ? std::string("<none>") : c.front();
    }
    int64_t Int(const std::string& sql) const { return std::atoll(One(sql).c_str()); }
    double Double(const std::string& sql) const {
        sqlite3_stmt* s = nullptr;
        double v = -1;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW) {
            v = sqlite3_column_double(s, 0);
        }
        sqlite3_finalize(s);
        return v;
    }

  private:
    sqlite3* db_ = nullptr;
};

}  // namespace orbfeed::testing
