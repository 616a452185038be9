// The table store's writer thread: opens the database and its schema, resolves tables, writes
// rows, set-ups and labels in batched transactions, and handles write failures.
#include "feedlib/store/sqlite_writer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "feedlib/store/row_codec.h"
#include "feedlib/store/store_schema.h"

namespace orbfeed::store {
namespace {

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

}  // namespace

SqliteWriter::SqliteWriter(std::string path, TableStore::ErrorSink onError, SlotQueue& queue)
    : path_(std::move(path)), onError_(std::move(onError)), queue_(queue) {}

SqliteWriter::Problem SqliteWriter::Classify(int rc) {
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

void SqliteWriter::Run() {
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
void SqliteWriter::Drain() {
    queue_.SetWriterTroubled(true);
    for (;;) {
        Slot* front;
        while ((front = queue_.Front()) == nullptr) queue_.WaitForWork(std::nullopt);
        Slot& s = *front;
        Op op = s.op;
        uint64_t token = s.token;
        s.cmd.reset();
        queue_.Release();
        if (op == Op::Flush) queue_.SignalFlushed(token);
        if (op == Op::Stop) return;
    }
}

void SqliteWriter::Loop() {
    for (;;) {
        Slot* front = queue_.Front();
        if (front == nullptr) {
            if (inTxn_) {
                auto deadline = txnStart_ + store::kCommitDelay;
                if (Clock::now() >= deadline) {
                    Commit();
                    continue;
                }
                queue_.WaitForWork(deadline);
            } else {
                queue_.WaitForWork(std::nullopt);
            }
            continue;
        }
        Slot& s = *front;
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
                queue_.SignalFlushed(token);
                break;
            }
            case Op::Stop:
                Commit();
                stop = true;
                break;
        }
        s.cmd.reset();
        queue_.Release();
        if (stop) return;
        if (inTxn_ && (rowsInTxn_ >= store::kRowsPerTransaction ||
                       Clock::now() - txnStart_ >= store::kBulkCommitDelay)) {
            Commit();
        }
    }
}

void SqliteWriter::Report(Problem kind, const std::string& detail) {
    std::string message = "cannot write the table store " + path_ + ": " + detail;
    holdings_.Problem(message);
    if (!reported_.insert(kind).second) return;
    try {
        if (onError_) {
            onError_(message);
        } else {
            std::fprintf(stderr, "orbfeed: %s\n", message.c_str());
        }
    } catch (...) {
        // A failing sink must not stop the writer.
    }
}

std::string SqliteWriter::ErrorText(int rc) const {
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
bool SqliteWriter::IsOutOfSpace(int rc) const {
    if ((rc & 0xff) != SQLITE_IOERR || db_ == nullptr) return false;
    int sys = sqlite3_system_errno(db_);
    return sys == ENOSPC || sys == EDQUOT || sys == EFBIG;
}

SqliteWriter::Problem SqliteWriter::KindOf(int rc) const {
    return IsOutOfSpace(rc) ? Problem::Full : Classify(rc);
}

// A write failed: drop the open batch and everything for the next kRetryDelay.
void SqliteWriter::Fail(int rc) {
    Report(KindOf(rc), ErrorText(rc));
    if (inTxn_ && db_ != nullptr) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    inTxn_ = false;
    rowsInTxn_ = 0;
    for (TableState& t : tables_) {
        t.resolved = false;
        t.setupApplied = false;
    }
    queue_.SetWriterTroubled(true);
    retryAt_ = Clock::now() + store::kRetryDelay;
}

// Whether the database may be written now (it is open, or opens now, and no retry delay runs).
bool SqliteWriter::Writable() {
    if (queue_.WriterTroubled() && Clock::now() < retryAt_) return false;
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
        queue_.SetWriterTroubled(false);
        // Another process may have changed the tables between two transactions (orbfeed drop
        // deletes one): each table is looked up again in the new transaction.
        for (TableState& t : tables_) t.resolved = false;
    }
    return true;
}

void SqliteWriter::Open() {
    if (path_.empty()) {
        Report(Problem::Unwritable, "no path given");
        queue_.SetWriterTroubled(true);
        retryAt_ = Clock::time_point::max();
        return;
    }
    std::string error;
    if (!MakeParentFolders(path_, error)) {
        Report(Problem::Unwritable, error);
        queue_.SetWriterTroubled(true);
        retryAt_ = Clock::now() + store::kRetryDelay;
        return;
    }
    int rc =
        sqlite3_open_v2(path_.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db_, store::kBusyTimeoutMs);
        sqlite3_extended_result_codes(db_, 1);
        rc = sqlite3_exec(db_,
                          "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                          "PRAGMA cache_size=-8192; PRAGMA temp_store=MEMORY;",
                          nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db_, ReadableViewsSql().c_str(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = Prepare(kInsertRow, &insert_);
    if (rc == SQLITE_OK) rc = Prepare(kUpdateRow, &update_);
    if (rc != SQLITE_OK) {
        Report(KindOf(rc), ErrorText(rc));
        CloseDb();
        queue_.SetWriterTroubled(true);
        retryAt_ = Clock::now() + store::kRetryDelay;
    }
}

int SqliteWriter::Prepare(const char* sql, sqlite3_stmt** stmt) {
    return sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
}

void SqliteWriter::CloseDb() {
    sqlite3_finalize(insert_);
    sqlite3_finalize(update_);
    insert_ = update_ = nullptr;
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
    inTxn_ = false;
}

SqliteWriter::TableState& SqliteWriter::StateOf(StoreTableId handle) {
    auto index = static_cast<size_t>(handle);
    if (tables_.size() <= index) tables_.resize(index + 1);
    return tables_[index];
}

// Runs a one-off statement; binds are given as a function of the statement.
template <typename Bind>
int SqliteWriter::Exec(const char* sql, Bind bind, int64_t* firstColumn) {
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

// Finds or creates the table's row and its last seq, applying a pending set-up.
bool SqliteWriter::Resolve(TableState& t) {
    if (t.resolved) return true;
    int64_t id = 0;
    auto bindKey = [&](sqlite3_stmt* s) {
        sqlite3_bind_text(s, 1, t.symbol.data(), static_cast<int>(t.symbol.size()), SQLITE_STATIC);
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

void SqliteWriter::SetupNow(StoreTableId handle, const Command& c) {
    // Until the set-up is committed the database holds none of the table's new history.
    holdings_.SetUp(handle);
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

void SqliteWriter::OpenNow(StoreTableId handle, const Command& c) {
    TableState& t = StateOf(handle);
    t.known = true;
    t.symbol = c.symbol;
    t.interval = c.interval;
    if (Writable()) Resolve(t);
}

void SqliteWriter::LabelNow(StoreTableId handle, const Command& c) {
    TableState& t = StateOf(handle);
    if (!t.known) return;
    auto index = static_cast<size_t>(c.column - 1);
    if (t.labels.size() <= index) t.labels.resize(index + 1);
    t.labels[index] = c.label;
    t.labelsDirty = true;
    if (!inTxn_) Writable();  // starts the commit clock
}

void SqliteWriter::PutRowNow(Slot& s) {
    TableState& t = StateOf(s.table);
    if (!t.known || !Writable() || !Resolve(t)) return;
    const double* v = s.cmd ? s.cmd->wide.data() : s.values;
    const int n = s.count;
    bool replace = s.replace && t.lastSeq > 0;
    sqlite3_stmt* stmt = replace ? update_ : insert_;
    int64_t seq = replace ? t.lastSeq : t.lastSeq + 1;
    sqlite3_bind_int64(stmt, 1, t.dbId);
    sqlite3_bind_int64(stmt, 2, seq);
    BindRowValues(stmt, v, n, extra_);
    int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) {
        Fail(rc);
        return;
    }
    t.lastSeq = seq;
    ++rowsInTxn_;
}

int SqliteWriter::WriteLabels(TableState& t) {
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

void SqliteWriter::Commit() {
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
    queue_.SetWriterTroubled(false);
    // Every table resolved in this run has its row count known now.
    holdings_.Committed(tables_.size(), [&](size_t i) -> std::optional<int64_t> {
        const TableState& t = tables_[i];
        if (!t.known || !t.resolved || t.setup) return std::nullopt;
        return t.lastSeq;
    });
}

}  // namespace orbfeed::store
