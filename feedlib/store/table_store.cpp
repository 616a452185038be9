// The table store: the caller's calls go into a bounded queue of fixed-size slots; one writer
// thread owns the SQLite connection and turns the queue into batched transactions.
//
// The queue has one producer side (serialised by a mutex, so that any thread may call) and one
// consumer, the writer. Rows are copied into preallocated slots; only the rare operations (set-up,
// labels) and rows wider than kInlineValues carry a heap object.
//
// Failures: when a write fails (disk full, read-only file, locked database, I/O error), the batch
// is rolled back and dropped, the problem is reported once per kind through the ErrorSink, and the
// writer drops further work for kRetryDelay before it tries again. While the writer is in that
// state a caller facing a full queue drops its row instead of waiting, so the caller is never held
// up by a database that cannot be written.
#include "feedlib/store/table_store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "feedlib/store/store_limits.h"

namespace orbfeed {
namespace {

using Clock = std::chrono::steady_clock;
using store::kInlineValues;
using store::kQueueSlots;

static_assert((kQueueSlots & (kQueueSlots - 1)) == 0, "queue size must be a power of two");
// A caller waiting for room resumes when the queue is no fuller than this.
constexpr uint64_t kResumeFill = kQueueSlots * 3 / 4;

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

constexpr const char* kSchema = R"sql(
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
PRAGMA user_version = 1;
)sql";

// Both statements bind the same parameters: ?1 table, ?2 seq, ?3 ncols, ?4 date/time,
// ?5..?9 columns 2..6, ?10 columns 7 and up.
constexpr const char* kInsertRow =
    "INSERT INTO rows(table_id, seq, ncols, datetime, c2, c3, c4, c5, c6, extra) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)";
constexpr const char* kUpdateRow =
    "UPDATE rows SET ncols = ?3, datetime = ?4, c2 = ?5, c3 = ?6, c4 = ?7, c5 = ?8, c6 = ?9, "
    "extra = ?10 WHERE table_id = ?1 AND seq = ?2";

enum class Op : uint8_t { Row, Setup, Open, Label, Flush, Stop };

// The rare operations' data, and the values of a row too wide for its slot.
struct Command {
    std::string symbol;
    float interval = 0;
    std::string description;
    std::string category;
    double startDate = 0;
    int32_t columns = 0;
    int32_t column = 0;
    std::string label;
    std::vector<double> wide;
};

struct Slot {
    Op op = Op::Row;
    bool replace = false;
    int32_t count = 0;
    StoreTableId table = 0;
    uint64_t token = 0;
    std::unique_ptr<Command> cmd;
    double values[kInlineValues];
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

struct SetupData {
    std::string description;
    std::string category;
    double startDate = 0;
    int32_t columns = 0;
};

// What the writer knows of one table handle.
struct TableState {
    bool known = false;  // symbol and interval received
    std::string symbol;
    float interval = 0;
    bool resolved = false;  // dbId and lastSeq are valid in the current transaction
    int64_t dbId = 0;
    int64_t lastSeq = 0;
    std::optional<SetupData> setup;  // a set-up not yet committed
    bool setupApplied = false;       // ... applied in the open transaction
    std::vector<std::optional<std::string>> labels;
    bool labelsDirty = false;
};

enum class Problem { Unwritable, Full, Locked, Io, Corrupt, Other };

Problem Classify(int rc) {
    switch (rc & 0xff) {
        case SQLITE_FULL:
            return Problem::Full;
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return Problem::Unwritable;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return Problem::Locked;
        case SQLITE_IOERR:
            return Problem::Io;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return Problem::Corrupt;
        default:
            return Problem::Other;
    }
}

// mkdir -p for the folder that holds path; new folders are owner-only.
bool MakeParentFolders(const std::string& path, std::string& error) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return true;
    std::string folder = path.substr(0, slash);
    for (size_t pos = 1;; ++pos) {
        pos = folder.find('/', pos);
        std::string part = folder.substr(0, pos);
        if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0700) != 0 &&
            errno != EEXIST) {
            error = std::string("cannot create ") + part + ": " + std::strerror(errno);
            return false;
        }
        if (pos == std::string::npos) break;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = folder + " is not a folder";
        return false;
    }
    return true;
}

// Appends v in its shortest round-trip form; infinities as +-9e999 (which JSON readers, SQLite's
// among them, take as infinity) and NaN as null.
void AppendJsonNumber(std::string& out, double v) {
    if (std::isnan(v)) {
        out += "null";
    } else if (std::isinf(v)) {
        out += v > 0 ? "9e999" : "-9e999";
    } else {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        out.append(buf, r.ptr);
    }
}

class SqliteStore final : public TableStore {
  public:
    SqliteStore(std::string path, ErrorSink onError)
        : path_(std::move(path)),
          onError_(std::move(onError)),
          slots_(std::make_unique<Slot[]>(kQueueSlots)) {
        writer_ = std::thread([this] { Run(); });
    }

    ~SqliteStore() override {
        {
            std::lock_guard lk(produceMutex_);
            Slot& s = Acquire(false);
            s.op = Op::Stop;
            Publish();
        }
        writer_.join();
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
        StoreTableId id = HandleFor(symbol, interval);
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
        if (!HasRoom() && !WaitForRoom(true)) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        Slot& s = slots_[head_.load(std::memory_order_relaxed) & (kQueueSlots - 1)];
        s.op = Op::Row;
        s.table = table;
        s.count = count;
        s.replace = replacesLast;
        if (wide) {
            s.cmd = std::move(wide);
        } else {
            std::memcpy(s.values, values, sizeof(double) * static_cast<size_t>(count));
        }
        Publish();
    }

    void Flush() override {
        uint64_t token;
        {
            std::lock_guard lk(produceMutex_);
            token = ++flushRequested_;
            Slot& s = Acquire(false);
            s.op = Op::Flush;
            s.token = token;
            Publish();
        }
        std::unique_lock lk(mutex_);
        flushedCv_.wait(lk, [&] { return flushedToken_ >= token; });
    }

  private:
    // ---- caller side (produceMutex_ held) ----

    std::pair<StoreTableId, bool> LookupHandle(const std::string& symbol, float interval) {
        auto [it, fresh] = handles_.try_emplace(KeyOf(symbol, interval), nextHandle_);
        if (fresh) ++nextHandle_;
        return {it->second, fresh};
    }
    StoreTableId HandleFor(const std::string& symbol, float interval) {
        return LookupHandle(symbol, interval).first;
    }

    bool HasRoom() {
        uint64_t head = head_.load(std::memory_order_relaxed);
        if (head - cachedTail_ < kQueueSlots) return true;
        cachedTail_ = tail_.load();
        return head - cachedTail_ < kQueueSlots;
    }

    // Waits until a quarter of the queue is free, so that caller and writer do not take turns
    // slot by slot. A row (mayDrop) gives up at once while the writer cannot write.
    bool WaitForRoom(bool mayDrop) {
        if (mayDrop && troubled_.load(std::memory_order_relaxed)) return false;
        std::unique_lock lk(mutex_);
        producerWaiting_.store(true);
        while (head_.load(std::memory_order_relaxed) - tail_.load() > kResumeFill) {
            if (mayDrop && troubled_.load()) {
                producerWaiting_.store(false);
                return false;
            }
            roomCv_.wait_for(lk, std::chrono::milliseconds(50));
        }
        producerWaiting_.store(false);
        cachedTail_ = tail_.load();
        return true;
    }

    Slot& Acquire(bool mayDrop) {
        if (!HasRoom()) WaitForRoom(mayDrop);
        return slots_[head_.load(std::memory_order_relaxed) & (kQueueSlots - 1)];
    }

    void PushCommand(Op op, StoreTableId table, std::unique_ptr<Command> cmd) {
        Slot& s = Acquire(false);
        s.op = op;
        s.table = table;
        s.cmd = std::move(cmd);
        Publish();
    }

    void Publish() {
        head_.store(head_.load(std::memory_order_relaxed) + 1);
        if (writerIdle_.load()) {
            std::lock_guard lk(mutex_);
            workCv_.notify_one();
        }
    }

    // ---- writer side ----

    void Run() {
        try {
            Open();
            Loop();
        } catch (const std::exception& e) {
            Report(Problem::Other, e.what());
            Drain();
        } catch (...) {
            Report(Problem::Other, "unexpected failure");
            Drain();
        }
        CloseDb();
    }

    // After an unexpected failure: keep taking the queue so that no caller waits forever.
    void Drain() {
        troubled_.store(true);
        for (;;) {
            while (tail_.load(std::memory_order_relaxed) == head_.load()) WaitForWork(std::nullopt);
            Slot& s = slots_[tail_.load(std::memory_order_relaxed) & (kQueueSlots - 1)];
            Op op = s.op;
            uint64_t token = s.token;
            s.cmd.reset();
            Release();
            if (op == Op::Flush) SignalFlushed(token);
            if (op == Op::Stop) return;
        }
    }

    void Loop() {
        for (;;) {
            uint64_t tail = tail_.load(std::memory_order_relaxed);
            if (tail == head_.load()) {
                if (inTxn_) {
                    auto deadline = txnStart_ + store::kCommitDelay;
                    if (Clock::now() >= deadline) {
                        Commit();
                        continue;
                    }
                    WaitForWork(deadline);
                } else {
                    WaitForWork(std::nullopt);
                }
                continue;
            }
            Slot& s = slots_[tail & (kQueueSlots - 1)];
            bool stop = false;
            switch (s.op) {
                case Op::Row:
                    PutRowNow(s);
                    break;
                case Op::Setup:
                    SetupNow(s.table, *s.cmd);
                    break;
                case Op::Open:
                    OpenNow(s.table, *s.cmd);
                    break;
                case Op::Label:
                    LabelNow(s.table, *s.cmd);
                    break;
                case Op::Flush: {
                    uint64_t token = s.token;
                    Commit();
                    SignalFlushed(token);
                    break;
                }
                case Op::Stop:
                    Commit();
                    stop = true;
                    break;
            }
            s.cmd.reset();
            Release();
            if (stop) return;
            if (inTxn_ && (rowsInTxn_ >= store::kRowsPerTransaction ||
                           Clock::now() - txnStart_ >= store::kBulkCommitDelay)) {
                Commit();
            }
        }
    }

    void Release() {
        const uint64_t tail = tail_.load(std::memory_order_relaxed) + 1;
        tail_.store(tail);
        if (producerWaiting_.load() && head_.load() - tail <= kResumeFill) {
            std::lock_guard lk(mutex_);
            roomCv_.notify_all();
        }
    }

    void WaitForWork(std::optional<Clock::time_point> deadline) {
        std::unique_lock lk(mutex_);
        writerIdle_.store(true);
        if (tail_.load(std::memory_order_relaxed) == head_.load()) {
            // The timeout is only a safety net; Publish wakes the writer.
            auto until = deadline.value_or(Clock::now() + std::chrono::seconds(1));
            workCv_.wait_until(lk, until);
        }
        writerIdle_.store(false);
    }

    void SignalFlushed(uint64_t token) {
        std::lock_guard lk(mutex_);
        flushedToken_ = token;
        flushedCv_.notify_all();
    }

    void Report(Problem kind, const std::string& detail) {
        if (!reported_.insert(kind).second) return;
        std::string message = "orbfeed: cannot write the table store " + path_ + ": " + detail;
        try {
            if (onError_) {
                onError_(message);
            } else {
                std::fprintf(stderr, "%s\n", message.c_str());
            }
        } catch (...) {
            // A failing sink must not stop the writer.
        }
    }

    std::string ErrorText(int rc) const {
        std::string text =
            db_ != nullptr && sqlite3_errcode(db_) == rc ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        int sys = db_ != nullptr ? sqlite3_system_errno(db_) : 0;
        if (IsOutOfSpace(rc))
            return std::string(sqlite3_errstr(SQLITE_FULL)) + " (" + std::strerror(sys) + ")";
        if (sys != 0 && ((rc & 0xff) == SQLITE_IOERR || (rc & 0xff) == SQLITE_CANTOPEN)) {
            text += std::string(" (") + std::strerror(sys) + ")";
        }
        return text;
    }

    // A write that failed because the disk, the quota or the file size limit is exhausted.
    bool IsOutOfSpace(int rc) const {
        if ((rc & 0xff) != SQLITE_IOERR || db_ == nullptr) return false;
        int sys = sqlite3_system_errno(db_);
        return sys == ENOSPC || sys == EDQUOT || sys == EFBIG;
    }

    Problem KindOf(int rc) const { return IsOutOfSpace(rc) ? Problem::Full : Classify(rc); }

    // A write failed: drop the open batch and everything for the next kRetryDelay.
    void Fail(int rc) {
        Report(KindOf(rc), ErrorText(rc));
        if (inTxn_ && db_ != nullptr) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        inTxn_ = false;
        rowsInTxn_ = 0;
        for (TableState& t : tables_) {
            t.resolved = false;
            t.setupApplied = false;
        }
        troubled_.store(true);
        retryAt_ = Clock::now() + store::kRetryDelay;
    }

    // Whether the database may be written now (it is open, or opens now, and no retry delay runs).
    bool Writable() {
        if (troubled_.load(std::memory_order_relaxed) && Clock::now() < retryAt_) return false;
        if (db_ == nullptr) {
            Open();
            if (db_ == nullptr) return false;
        }
        if (!inTxn_) {
            int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                Fail(rc);
                return false;
            }
            inTxn_ = true;
            txnStart_ = Clock::now();
            rowsInTxn_ = 0;
            troubled_.store(false);
        }
        return true;
    }

    void Open() {
        if (path_.empty()) {
            Report(Problem::Unwritable, "no path given");
            troubled_.store(true);
            retryAt_ = Clock::time_point::max();
            return;
        }
        std::string error;
        if (!MakeParentFolders(path_, error)) {
            Report(Problem::Unwritable, error);
            troubled_.store(true);
            retryAt_ = Clock::now() + store::kRetryDelay;
            return;
        }
        int rc = sqlite3_open_v2(path_.c_str(), &db_,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db_, store::kBusyTimeoutMs);
            sqlite3_extended_result_codes(db_, 1);
            rc = sqlite3_exec(db_,
                              "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                              "PRAGMA cache_size=-8192; PRAGMA temp_store=MEMORY;",
                              nullptr, nullptr, nullptr);
        }
        if (rc == SQLITE_OK) rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = Prepare(kInsertRow, &insert_);
        if (rc == SQLITE_OK) rc = Prepare(kUpdateRow, &update_);
        if (rc != SQLITE_OK) {
            Report(KindOf(rc), ErrorText(rc));
            CloseDb();
            troubled_.store(true);
            retryAt_ = Clock::now() + store::kRetryDelay;
        }
    }

    int Prepare(const char* sql, sqlite3_stmt** stmt) {
        return sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
    }

    void CloseDb() {
        sqlite3_finalize(insert_);
        sqlite3_finalize(update_);
        insert_ = update_ = nullptr;
        if (db_ != nullptr) sqlite3_close_v2(db_);
        db_ = nullptr;
        inTxn_ = false;
    }

    TableState& StateOf(StoreTableId handle) {
        auto index = static_cast<size_t>(handle);
        if (tables_.size() <= index) tables_.resize(index + 1);
        return tables_[index];
    }

    // Runs a one-off statement; binds are given as a function of the statement.
    template <typename Bind>
    int Exec(const char* sql, Bind bind, int64_t* firstColumn = nullptr) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
        if (rc != SQLITE_OK) return rc;
        bind(stmt);
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            if (firstColumn != nullptr) *firstColumn = sqlite3_column_int64(stmt, 0);
            rc = SQLITE_DONE;
        }
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    static void BindInterval(sqlite3_stmt* stmt, int index, float interval) {
        if (std::isnan(interval)) {
            sqlite3_bind_null(stmt, index);
        } else {
            sqlite3_bind_double(stmt, index, interval == 0 ? 0.0 : static_cast<double>(interval));
        }
    }

    // Finds or creates the table's row and its last seq, applying a pending set-up.
    bool Resolve(TableState& t) {
        if (t.resolved) return true;
        int64_t id = 0;
        auto bindKey = [&](sqlite3_stmt* s) {
            sqlite3_bind_text(s, 1, t.symbol.data(), static_cast<int>(t.symbol.size()),
                              SQLITE_STATIC);
            BindInterval(s, 2, t.interval);
        };
        int rc = Exec("SELECT id FROM tables WHERE symbol = ?1 AND interval IS ?2", bindKey, &id);
        if (rc == SQLITE_OK && id == 0) {
            rc = Exec("INSERT INTO tables(symbol, interval) VALUES(?1, ?2)", bindKey);
            id = sqlite3_last_insert_rowid(db_);
        }
        if (rc == SQLITE_OK && t.setup) {
            const SetupData& s = *t.setup;
            rc = Exec(
                "UPDATE tables SET description = ?2, category = ?3, start_date = ?4, "
                "columns = ?5, setups = setups + 1, setup_at = datetime('now') WHERE id = ?1",
                [&](sqlite3_stmt* st) {
                    sqlite3_bind_int64(st, 1, id);
                    sqlite3_bind_text(st, 2, s.description.data(),
                                      static_cast<int>(s.description.size()), SQLITE_STATIC);
                    sqlite3_bind_text(st, 3, s.category.data(), static_cast<int>(s.category.size()),
                                      SQLITE_STATIC);
                    sqlite3_bind_double(st, 4, s.startDate);
                    sqlite3_bind_int(st, 5, s.columns);
                });
            if (rc == SQLITE_OK) {
                rc = Exec("DELETE FROM rows WHERE table_id = ?1",
                          [&](sqlite3_stmt* st) { sqlite3_bind_int64(st, 1, id); });
            }
            t.lastSeq = 0;
            t.setupApplied = true;
        } else if (rc == SQLITE_OK) {
            int64_t last = 0;
            rc = Exec(
                "SELECT coalesce(max(seq), 0) FROM rows WHERE table_id = ?1",
                [&](sqlite3_stmt* st) { sqlite3_bind_int64(st, 1, id); }, &last);
            t.lastSeq = last;
        }
        if (rc != SQLITE_OK) {
            Fail(rc);
            return false;
        }
        t.dbId = id;
        t.resolved = true;
        return true;
    }

    void SetupNow(StoreTableId handle, const Command& c) {
        TableState& t = StateOf(handle);
        t.known = true;
        t.symbol = c.symbol;
        t.interval = c.interval;
        t.setup = SetupData{c.description, c.category, c.startDate, c.columns};
        t.setupApplied = false;
        t.resolved = false;
        t.labels.clear();
        t.labelsDirty = true;
        if (Writable()) Resolve(t);
    }

    void OpenNow(StoreTableId handle, const Command& c) {
        TableState& t = StateOf(handle);
        t.known = true;
        t.symbol = c.symbol;
        t.interval = c.interval;
        if (Writable()) Resolve(t);
    }

    void LabelNow(StoreTableId handle, const Command& c) {
        TableState& t = StateOf(handle);
        if (!t.known) return;
        auto index = static_cast<size_t>(c.column - 1);
        if (t.labels.size() <= index) t.labels.resize(index + 1);
        t.labels[index] = c.label;
        t.labelsDirty = true;
        if (!inTxn_) Writable();  // starts the commit clock
    }

    void PutRowNow(Slot& s) {
        TableState& t = StateOf(s.table);
        if (!t.known || !Writable() || !Resolve(t)) return;
        const double* v = s.cmd ? s.cmd->wide.data() : s.values;
        const int n = s.count;
        bool replace = s.replace && t.lastSeq > 0;
        sqlite3_stmt* stmt = replace ? update_ : insert_;
        int64_t seq = replace ? t.lastSeq : t.lastSeq + 1;
        sqlite3_bind_int64(stmt, 1, t.dbId);
        sqlite3_bind_int64(stmt, 2, seq);
        sqlite3_bind_int(stmt, 3, n);
        for (int k = 0; k < 6; ++k) {
            if (k < n) {
                sqlite3_bind_double(stmt, 4 + k, v[k]);
            } else {
                sqlite3_bind_null(stmt, 4 + k);
            }
        }
        if (n > 6) {
            extra_.clear();
            extra_ += '[';
            for (int k = 6; k < n; ++k) {
                if (k > 6) extra_ += ',';
                AppendJsonNumber(extra_, v[k]);
            }
            extra_ += ']';
            sqlite3_bind_text(stmt, 10, extra_.data(), static_cast<int>(extra_.size()),
                              SQLITE_STATIC);
        } else {
            sqlite3_bind_null(stmt, 10);
        }
        int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE) {
            Fail(rc);
            return;
        }
        t.lastSeq = seq;
        ++rowsInTxn_;
    }

    int WriteLabels(TableState& t) {
        int rc = Exec("DELETE FROM labels WHERE table_id = ?1",
                      [&](sqlite3_stmt* st) { sqlite3_bind_int64(st, 1, t.dbId); });
        for (size_t k = 0; rc == SQLITE_OK && k < t.labels.size(); ++k) {
            if (!t.labels[k]) continue;
            const std::string& label = *t.labels[k];
            rc = Exec("INSERT INTO labels(table_id, col, label) VALUES(?1, ?2, ?3)",
                      [&](sqlite3_stmt* st) {
                          sqlite3_bind_int64(st, 1, t.dbId);
                          sqlite3_bind_int64(st, 2, static_cast<int64_t>(k + 1));
                          sqlite3_bind_text(st, 3, label.data(), static_cast<int>(label.size()),
                                            SQLITE_STATIC);
                      });
        }
        return rc;
    }

    void Commit() {
        if (!inTxn_) return;
        for (TableState& t : tables_) {
            if (!t.labelsDirty || !t.known) continue;
            if (!Resolve(t)) return;
            if (int rc = WriteLabels(t); rc != SQLITE_OK) {
                Fail(rc);
                return;
            }
        }
        int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            Fail(rc);
            return;
        }
        inTxn_ = false;
        rowsInTxn_ = 0;
        for (TableState& t : tables_) {
            if (t.setupApplied) t.setup.reset();
            t.setupApplied = false;
            t.labelsDirty = false;
        }
        troubled_.store(false);
    }

    const std::string path_;
    const ErrorSink onError_;
    std::unique_ptr<Slot[]> slots_;

    // Caller side.
    std::mutex produceMutex_;
    std::map<TableKey, StoreTableId> handles_;
    StoreTableId nextHandle_ = 1;
    uint64_t cachedTail_ = 0;
    uint64_t flushRequested_ = 0;

    // Shared between caller and writer.
    alignas(64) std::atomic<uint64_t> head_{0};
    alignas(64) std::atomic<uint64_t> tail_{0};
    alignas(64) std::atomic<bool> writerIdle_{false};
    std::atomic<bool> producerWaiting_{false};
    std::atomic<bool> troubled_{false};
    std::atomic<uint64_t> dropped_{0};
    std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable roomCv_;
    std::condition_variable flushedCv_;
    uint64_t flushedToken_ = 0;

    // Writer side.
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* update_ = nullptr;
    bool inTxn_ = false;
    int rowsInTxn_ = 0;
    Clock::time_point txnStart_;
    Clock::time_point retryAt_;
    std::vector<TableState> tables_;
    std::set<Problem> reported_;
    std::string extra_;

    std::thread writer_;
};

}  // namespace

std::unique_ptr<TableStore> TableStore::Open(const std::string& path, ErrorSink onError) {
    if (path == ":none:") return std::make_unique<NullStore>();
    return std::make_unique<SqliteStore>(path, std::move(onError));
}

}  // namespace orbfeed
