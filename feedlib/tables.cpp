#include "feedlib/tables.h"

#include <algorithm>

namespace orbfeed {

namespace {
std::string Str(const char* s) {
    return s != nullptr ? std::string(s) : std::string();
}
}  // namespace

TableBook::TableBook(std::function<std::unique_ptr<TableStore>()> openStore)
    : openStore_(std::move(openStore)) {}

TableBook::~TableBook() = default;

TableStore& TableBook::Store() {
    if (!store_) {
        store_ = openStore_ ? openStore_() : nullptr;
        if (!store_) store_ = TableStore::Open(":none:", nullptr);
        opened_.store(store_.get(), std::memory_order_release);
    }
    return *store_;
}

Table& TableBook::FindSlow(const char* symbol, float interval) {
    const uint32_t key = IntervalKey(interval);
    auto it = tables_.find(Key{symbol, key});
    if (it != tables_.end()) {
        last_ = it->second.get();
        return *last_;
    }
    auto t = std::make_unique<Table>();
    t->symbol = symbol;
    t->interval = interval;
    t->intervalKey = key;
    t->storeId = Store().TableFor(t->symbol, interval);
    Table* raw = t.get();
    {
        std::lock_guard lock(mu_);
        tables_.emplace(Key{raw->symbol, key}, std::move(t));
    }
    last_ = raw;
    return *raw;
}

Table& TableBook::Setup(const char* symbol, const char* description, float interval,
                        int32_t columns, const char* category, double startDate) {
    Table& t = Find(symbol, interval);
    t.description = Str(description);
    t.category = Str(category);
    t.startDate = startDate;
    t.columns = columns;
    t.labels.clear();
    const int32_t width = columns < 0 ? 0 : (columns > kMaxColumns ? kMaxColumns : columns);
    t.pending.assign(static_cast<size_t>(width), 0.0);
    t.pendingWidth = 0;
    t.lastDate = 0;
    t.rows.store(0, std::memory_order_relaxed);
    t.storeId =
        Store().SetupTable(t.symbol, interval, t.description, t.category, startDate, columns);
    return t;
}

void TableBook::SetLabel(const char* symbol, float interval, int32_t column, const char* label) {
    Table& t = Find(symbol, interval);
    if (column < 1 || column > kMaxColumns) return;
    if (static_cast<size_t>(column) > t.labels.size()) t.labels.resize(column);
    t.labels[column - 1] = Str(label);
    Store().SetLabel(t.storeId, column, t.labels[column - 1]);
}

void TableBook::Commit(const char* symbol, float interval) {
    Table& t = Find(symbol, interval);
    int32_t width = t.columns > t.pendingWidth ? t.columns : t.pendingWidth;
    if (width > kMaxColumns) width = kMaxColumns;
    if (width < 1) width = 1;
    if (t.pending.size() < static_cast<size_t>(width)) t.pending.resize(width, 0.0);
    const double date = t.pending[0];
    const int64_t rows = t.rows.load(std::memory_order_relaxed);
    // A row dated like the last one is that row again (a forming bar) and replaces it, except in
    // a table of bars sent as ticks (a negative interval), where the four rows of one bar share
    // their date/time and every one of them must be kept.
    const bool replaces = rows > 0 && date == t.lastDate && !(t.interval < 0);
    Store().PutRow(t.storeId, t.pending.data(), width, replaces);
    if (!replaces) t.rows.store(rows + 1, std::memory_order_relaxed);
    t.lastDate = date;
    t.commits.store(t.commits.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    std::fill(t.pending.begin(), t.pending.begin() + width, 0.0);
    t.pendingWidth = 0;
}

std::optional<int64_t> TableBook::RowsOf(std::string_view symbol, float interval) const {
    std::lock_guard lock(mu_);
    auto it = tables_.find(Key{symbol, IntervalKey(interval)});
    if (it == tables_.end()) return std::nullopt;
    return it->second->rows.load(std::memory_order_relaxed);
}

void TableBook::FlushStore() {
    if (store_) store_->Flush();
}

TableStore::Holding TableBook::StoreHolds(const std::string& symbol, float interval) {
    TableStore* store = opened_.load(std::memory_order_acquire);
    if (store == nullptr) return TableStore::Holding{true, std::nullopt, {}};
    return store->Holds(symbol, interval);
}

}  // namespace orbfeed
