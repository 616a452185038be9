#pragma once
// The table store's writer: owns the SQLite connection and turns the slot queue into batched
// transactions, on the thread that calls Run.
//
// Failures: when a write fails (disk full, read-only file, locked database, I/O error), the batch
// is rolled back and dropped, the problem is reported once per kind through the ErrorSink, and the
// writer drops further work for kRetryDelay before it tries again. While the writer is in that
// state it tells the queue, so that a caller facing a full queue drops its row instead of waiting.
#include <sqlite3.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "feedlib/store/slot_queue.h"
#include "feedlib/store/store_holdings.h"
#include "feedlib/store/table_store.h"

namespace orbfeed::store {

class SqliteWriter {
  public:
    SqliteWriter(std::string path, TableStore::ErrorSink onError, SlotQueue& queue);
    SqliteWriter(const SqliteWriter&) = delete;
    SqliteWriter& operator=(const SqliteWriter&) = delete;

    // Takes the queue until its Stop marker, then closes the database.
    void Run();

    // From any thread: the rows the database holds for a table handle as of the last commit
    // (none until the table's latest set-up is committed), and the problem that keeps the writer
    // from writing now (empty once a commit went through again).
    TableStore::Holding HoldingOf(StoreTableId handle) const { return holdings_.Of(handle); }

  private:
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

    static Problem Classify(int rc);
    void Drain();
    void Loop();
    void Report(Problem kind, const std::string& detail);
    std::string ErrorText(int rc) const;
    bool IsOutOfSpace(int rc) const;
    Problem KindOf(int rc) const;
    void Fail(int rc);
    bool Writable();
    void Open();
    int Prepare(const char* sql, sqlite3_stmt** stmt);
    void CloseDb();
    TableState& StateOf(StoreTableId handle);
    template <typename Bind>
    int Exec(const char* sql, Bind bind, int64_t* firstColumn = nullptr);
    bool Resolve(TableState& t);
    void SetupNow(StoreTableId handle, const Command& c);
    void OpenNow(StoreTableId handle, const Command& c);
    void LabelNow(StoreTableId handle, const Command& c);
    void PutRowNow(Slot& s);
    int WriteLabels(TableState& t);
    void Commit();

    const std::string path_;
    const TableStore::ErrorSink onError_;
    SlotQueue& queue_;

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

    StoreHoldings holdings_;
};

}  // namespace orbfeed::store
