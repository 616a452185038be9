#pragma once
// What the table store's database holds, kept by the writer thread for any other thread: each
// table handle's row count as of the last commit, and the problem that stops writing now.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "feedlib/store/table_store.h"

namespace orbfeed::store {

class StoreHoldings {
  public:
    // A write failed: why (until the next commit goes through).
    void Problem(const std::string& message) {
        std::lock_guard lock(mu_);
        problem_ = message;
    }
    // A set-up of the table was taken up: the database holds none of its new history yet.
    void SetUp(StoreTableId handle) {
        std::lock_guard lock(mu_);
        const auto index = static_cast<size_t>(handle);
        if (index < rows_.size()) rows_[index].reset();
    }
    // A commit went through: rowsOf(index) gives each handle's row count now, or nullopt where
    // the writer does not know it (then the last known count stays).
    template <typename RowsOf>
    void Committed(size_t handles, RowsOf rowsOf) {
        std::lock_guard lock(mu_);
        problem_.clear();
        if (rows_.size() < handles) rows_.resize(handles);
        for (size_t i = 0; i < handles; ++i) {
            if (const std::optional<int64_t> n = rowsOf(i)) rows_[i] = n;
        }
    }
    TableStore::Holding Of(StoreTableId handle) const {
        std::lock_guard lock(mu_);
        TableStore::Holding h;
        const auto index = static_cast<size_t>(handle);
        if (handle > 0 && index < rows_.size()) h.rows = rows_[index];
        h.problem = problem_;
        return h;
    }

  private:
    mutable std::mutex mu_;
    std::vector<std::optional<int64_t>> rows_;  // by table handle
    std::string problem_;
};

}  // namespace orbfeed::store
