#pragma once
// The tables the library keeps, one per symbol and interval: set-up, labels, the pending row and
// the row count. The table calls arrive from the program's one user-interface thread; only the
// row count is read from elsewhere (the host endpoint's thread), so the map is guarded for that
// reader while the per-row work touches no lock.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "feedlib/store/table_store.h"

namespace orbfeed {

// Column numbers above this are dropped (a garbage column number must not allocate gigabytes).
inline constexpr int32_t kMaxColumns = 4096;

// The bits that name an interval in a table key: every zero is +0 and every NaN the same NaN, so
// that a key always equals itself.
inline uint32_t IntervalKey(float interval) {
    if (interval == 0.0f) return 0;
    if (std::isnan(interval)) return 0x7fc00000u;
    uint32_t bits;
    std::memcpy(&bits, &interval, sizeof bits);
    return bits;
}

struct Table {
    std::string symbol;
    float interval = 0;
    uint32_t intervalKey = 0;
    std::string description;
    std::string category;
    double startDate = 0;
    int32_t columns = 0;  // as set up (may be anything the caller passed)
    std::vector<std::string> labels;
    std::vector<double> pending;       // the pending row; pending[k-1] is column k
    int32_t pendingWidth = 0;          // highest column set since the last commit
    double lastDate = 0;               // date/time of the last row (valid when rows > 0)
    std::atomic<uint64_t> commits{0};  // every ORBCOMMITROW, appended or replacing
    std::atomic<int64_t> rows{0};
    StoreTableId storeId = 0;
};

class TableBook {
  public:
    // openStore is called once, at the first table operation.
    explicit TableBook(std::function<std::unique_ptr<TableStore>()> openStore);
    ~TableBook();

    Table& Setup(const char* symbol, const char* description, float interval, int32_t columns,
                 const char* category, double startDate);
    void SetLabel(const char* symbol, float interval, int32_t column, const char* label);
    void SetValue(const char* symbol, float interval, int32_t column, double value) {
        Table& t = Find(symbol, interval);
        if (column < 1 || column > kMaxColumns) return;
        if (static_cast<size_t>(column) > t.pending.size()) t.pending.resize(column, 0.0);
        t.pending[column - 1] = value;
        if (column > t.pendingWidth) t.pendingWidth = column;
    }
    void Commit(const char* symbol, float interval);
    int64_t NumRows(const char* symbol, float interval) {
        return Find(symbol, interval).rows.load(std::memory_order_relaxed);
    }

    // Row count of a table, from any thread; nullopt for a table never seen.
    std::optional<int64_t> RowsOf(std::string_view symbol, float interval) const;
    // The table of symbol and interval, created when unknown.
    Table& Find(const char* symbol, float interval) {
        const char* s = symbol != nullptr ? symbol : "";
        if (last_ != nullptr && last_->intervalKey == IntervalKey(interval) &&
            std::strcmp(last_->symbol.c_str(), s) == 0)
            return *last_;
        return FindSlow(s, interval);
    }
    // Writes everything handed to the store so far (no-op before the store was opened).
    void FlushStore();
    // What the store holds of a table after writing everything handed to it so far, from any
    // thread (TableStore::Holds; before the store was opened: nothing, with kept set).
    TableStore::Holding StoreHolds(const std::string& symbol, float interval);

  private:
    struct Key {
        std::string_view symbol;
        uint32_t interval;
    };
    struct KeyLess {
        using is_transparent = void;
        bool operator()(const Key& a, const Key& b) const {
            const int c = a.symbol.compare(b.symbol);
            return c != 0 ? c < 0 : a.interval < b.interval;
        }
    };
    Table& FindSlow(const char* symbol, float interval);
    TableStore& Store();

    std::function<std::unique_ptr<TableStore>()> openStore_;
    std::unique_ptr<TableStore> store_;
    std::atomic<TableStore*> opened_{nullptr};  // store_ once it exists, for other threads
    mutable std::mutex mu_;                     // guards the map's shape (inserts) against RowsOf
    // Keys view the symbol held by their table, which never moves.
    std::map<Key, std::unique_ptr<Table>, KeyLess> tables_;
    Table* last_ = nullptr;
};

}  // namespace orbfeed
