// The table store's caller side: hands out table handles, copies every call into the slot queue
// and runs the writer thread that empties it (feedlib/store/sqlite_writer.h). Any thread may call;
// the queue's single producer side is serialised by a mutex.
#include "feedlib/store/table_store.h"

#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "feedlib/store/slot_queue.h"
#include "feedlib/store/sqlite_writer.h"
#include "feedlib/store/store_limits.h"

namespace orbfeed {
namespace {

using store::Command;
using store::kInlineValues;
using store::Op;
using store::Slot;

// Accepts every operation and keeps nothing.
class NullStore final : public TableStore {
  public:
    StoreTableId SetupTable(const std::string&, float, const std::string&, const std::string&,
                            double, int32_t) override {
        return next_++;
    }
    StoreTableId TableFor(const std::string&, float) override { return next_++; }
    void SetLabel(StoreTableId, int32_t, const std::string&) override {}
    void PutRow(StoreTableId, const double*, int32_t, bool) override {}
    void Flush() override {}

  private:
    StoreTableId next_ = 1;
};

// A table's map key on the caller side: +0 and -0 are one interval, every NaN is one interval.
using TableKey = std::pair<std::string, uint32_t>;
TableKey KeyOf(const std::string& symbol, float interval) {
    uint32_t bits;
    if (std::isnan(interval)) {
        bits = 0x7fc00000u;
    } else {
        if (interval == 0) interval = 0;
        std::memcpy(&bits, &interval, sizeof bits);
    }
    return {symbol, bits};
}

class SqliteStore final : public TableStore {
  public:
    SqliteStore(std::string path, ErrorSink onError)
        : writer_(std::move(path), std::move(onError), queue_) {
        thread_ = std::thread([this] { writer_.Run(); });
    }

    ~SqliteStore() override {
        {
            std::lock_guard lk(produceMutex_);
            Slot* s = queue_.Acquire(false);
            s->op = Op::Stop;
            queue_.Publish();
        }
        thread_.join();
    }

    StoreTableId SetupTable(const std::string& symbol, float interval,
                            const std::string& description, const std::string& category,
                            double startDate, int32_t columns) override {
        auto cmd = std::make_unique<Command>();
        cmd->symbol = symbol;
        cmd->interval = interval;
        cmd->description = description;
        cmd->category = category;
        cmd->startDate = startDate;
        cmd->columns = columns;
        std::lock_guard lk(produceMutex_);
        StoreTableId id = LookupHandle(symbol, interval).first;
        PushCommand(Op::Setup, id, std::move(cmd));
        return id;
    }

    StoreTableId TableFor(const std::string& symbol, float interval) override {
        std::lock_guard lk(produceMutex_);
        auto [id, fresh] = LookupHandle(symbol, interval);
        if (fresh) {
            auto cmd = std::make_unique<Command>();
            cmd->symbol = symbol;
            cmd->interval = interval;
            PushCommand(Op::Open, id, std::move(cmd));
        }
        return id;
    }

    void SetLabel(StoreTableId table, int32_t column, const std::string& label) override {
        if (column < 1 || column > store::kMaxLabelColumn) return;
        auto cmd = std::make_unique<Command>();
        cmd->column = column;
        cmd->label = label;
        std::lock_guard lk(produceMutex_);
        if (table < 1 || table >= nextHandle_) return;
        PushCommand(Op::Label, table, std::move(cmd));
    }

    void PutRow(StoreTableId table, const double* values, int32_t count,
                bool replacesLast) override {
        if (values == nullptr || count < 1 || count > store::kMaxRowValues) return;
        std::unique_ptr<Command> wide;
        if (count > kInlineValues) {
            wide = std::make_unique<Command>();
            wide->wide.assign(values, values + count);
        }
        std::lock_guard lk(produceMutex_);
        if (table < 1 || table >= nextHandle_) return;
        Slot* s = queue_.Acquire(true);
        if (s == nullptr) return;  // the writer cannot write: the row is dropped
        s->op = Op::Row;
        s->table = table;
        s->count = count;
        s->replace = replacesLast;
        if (wide) {
            s->cmd = std::move(wide);
        } else {
            std::memcpy(s->values, values, sizeof(double) * static_cast<size_t>(count));
        }
        queue_.Publish();
    }

    void Flush() override {
        uint64_t token;
        {
            std::lock_guard lk(produceMutex_);
            token = ++flushRequested_;
            Slot* s = queue_.Acquire(false);
            s->op = Op::Flush;
            s->token = token;
            queue_.Publish();
        }
        queue_.WaitFlushed(token);
    }

    Holding Holds(const std::string& symbol, float interval) override {
        Flush();
        std::optional<StoreTableId> handle;
        {
            std::lock_guard lk(produceMutex_);
            auto it = handles_.find(KeyOf(symbol, interval));
            if (it != handles_.end()) handle = it->second;
        }
        Holding h = writer_.HoldingOf(handle.value_or(0));
        h.kept = true;
        return h;
    }

  private:
    // produceMutex_ held.
    std::pair<StoreTableId, bool> LookupHandle(const std::string& symbol, float interval) {
        auto [it, fresh] = handles_.try_emplace(KeyOf(symbol, interval), nextHandle_);
        if (fresh) ++nextHandle_;
        return {it->second, fresh};
    }

    // produceMutex_ held.
    void PushCommand(Op op, StoreTableId table, std::unique_ptr<Command> cmd) {
        Slot* s = queue_.Acquire(false);
        s->op = op;
        s->table = table;
        s->cmd = std::move(cmd);
        queue_.Publish();
    }

    store::SlotQueue queue_;
    store::SqliteWriter writer_;

    std::mutex produceMutex_;
    std::map<TableKey, StoreTableId> handles_;
    StoreTableId nextHandle_ = 1;
    uint64_t flushRequested_ = 0;

    std::thread thread_;
};

}  // namespace

std::unique_ptr<TableStore> TableStore::Open(const std::string& path, ErrorSink onError) {
    if (path == ":none:") return std::make_unique<NullStore>();
    return std::make_unique<SqliteStore>(path, std::move(onError));
}

}  // namespace orbfeed
