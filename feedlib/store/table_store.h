#pragma once
// Where the feed library keeps the tables it receives: an SQLite database written by a writer
// thread of its own. The library's calls only queue work here; the queue is bounded, so a caller
// waits only when the writer is a full queue behind.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orbfeed {

using StoreTableId = int64_t;

class TableStore {
  public:
    // Where problems go (disk full, read-only path, locked database): called once per kind of
    // problem, from the writer thread; the store keeps accepting work meanwhile.
    using ErrorSink = std::function<void(const std::string& message)>;

    // path: the database file (its folder is created when missing). The path ":none:" keeps
    // nothing: every operation is accepted and dropped.
    static std::unique_ptr<TableStore> Open(const std::string& path, ErrorSink onError);

    // Commits everything queued and stops the writer.
    virtual ~TableStore() = default;

    // Opens (or reopens) the table of symbol and interval with a fresh set-up; its earlier rows
    // are dropped, since a set-up starts a complete history. Returns the table's id.
    virtual StoreTableId SetupTable(const std::string& symbol, float interval,
                                    const std::string& description, const std::string& category,
                                    double startDate, int32_t columns) = 0;
    // The table of symbol and interval without a new set-up (created empty when unknown).
    virtual StoreTableId TableFor(const std::string& symbol, float interval) = 0;
    virtual void SetLabel(StoreTableId table, int32_t column, const std::string& label) = 0;
    // values[0] is the row's date/time, values[1..count-1] the other columns. replacesLast: the
    // row takes the place of the table's last row (a forming bar) instead of being appended.
    virtual void PutRow(StoreTableId table, const double* values, int32_t count,
                        bool replacesLast) = 0;
    // Returns when everything queued so far is committed.
    virtual void Flush() = 0;

    // What the database holds of a table once everything queued so far has been written (or
    // has failed): from any thread.
    struct Holding {
        bool kept = false;            // false: a store that keeps nothing (":none:")
        std::optional<int64_t> rows;  // the table's rows in the database; none written yet
        std::string problem;          // why the store cannot write now; empty when it can
    };
    virtual Holding Holds(const std::string& symbol, float interval) {
        (void)symbol;
        (void)interval;
        Flush();
        return {};
    }
};

}  // namespace orbfeed
