#include "feedlib/store/table_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <mutex>

#include "feedlib/store/store_limits.h"
#include "feedlib/store/store_path.h"
#include "feedlib/store/store_schema.h"
#include "tests/store/store_test_util.h"

namespace orbfeed {
namespace {

using testing::DbView;
using ::testing::HasSubstr;
using testing::ScratchDir;

// Collects what the store reports.
struct Errors {
    std::mutex mutex;
    std::vector<std::string> messages;
    TableStore::ErrorSink Sink() {
        return [this](const std::string& m) {
            std::lock_guard lk(mutex);
            messages.push_back(m);
        };
    }
    std::vector<std::string> Get() {
        std::lock_guard lk(mutex);
        return messages;
    }
};

constexpr double kJan1 = 37622.0;  // 2003-01-01
constexpr double kMinute = 1.0 / 1440;

void PutBar(TableStore& store, StoreTableId table, double t, double close, bool replace = false) {
    const double v[6] = {t, close - 1, close + 1, close - 2, close, 100};
    store.PutRow(table, v, 6, replace);
}

TEST(TableStore, AppendsRowsAndReplacesTheLastOne) {
    ScratchDir dir;
    Errors errors;
    {
        auto store = TableStore::Open(dir.File("feed.sqlite"), errors.Sink());
        StoreTableId t = store->SetupTable("ABC", 1.0f, "Alpha", "Stock", kJan1, 6);
        PutBar(*store, t, kJan1 + 0.375, 10);
        PutBar(*store, t, kJan1 + 0.375 + kMinute, 11);
        PutBar(*store, t, kJan1 + 0.375 + kMinute, 12, true);  // the forming bar changes
        PutBar(*store, t, kJan1 + 0.375 + 2 * kMinute, 13);
        PutBar(*store, t, kJan1 + 0.375 + 2 * kMinute, 14, true);
        PutBar(*store, t, kJan1 + 0.375 + 2 * kMinute, 15, true);
        store->Flush();
        DbView db(dir.File("feed.sqlite"));
        ASSERT_TRUE(db.ok());
        EXPECT_EQ(db.Int("SELECT count(*) FROM rows"), 3);
        EXPECT_EQ(db.Column("SELECT c5 FROM rows ORDER BY seq"),
                  (std::vector<std::string>{"10.0", "12.0", "15.0"}));
        EXPECT_EQ(db.Column("SELECT seq FROM rows ORDER BY seq"),
                  (std::vector<std::string>{"1", "2", "3"}));
    }
    EXPECT_TRUE(errors.Get().empty());
}

TEST(TableStore, ReplacingInAnEmptyTableAppends) {
    ScratchDir dir;
    auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
    StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
    PutBar(*store, t, kJan1, 10, true);
    store->Flush();
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows"), 1);
}

TEST(TableStore, KeepsTheSetUpAndLabels) {
    ScratchDir dir;
    auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
    StoreTableId t = store->SetupTable("ABC", 0.5f, "Alpha Inc", "Stock", kJan1, 3);
    store->SetLabel(t, 1, "Date/Time");
    store->SetLabel(t, 2, "Price");
    store->SetLabel(t, 3, "Volume");
    store->SetLabel(t, 0, "ignored");
    store->SetLabel(t + 100, 1, "unknown table, ignored");
    store->Flush();
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(db.One("SELECT symbol || '|' || interval || '|' || description || '|' || category "
                     "|| '|' || start_date || '|' || columns FROM tables"),
              "ABC|0.5|Alpha Inc|Stock|37622.0|3");
    EXPECT_EQ(db.Column("SELECT label FROM labels ORDER BY col"),
              (std::vector<std::string>{"Date/Time", "Price", "Volume"}));
}

TEST(TableStore, TableWithoutLabelsStillKeepsItsRows) {
    ScratchDir dir;
    auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
    StoreTableId t = store->SetupTable("ABC", 60.0f, "", "", kJan1, 0);
    PutBar(*store, t, kJan1 + 0.375, 10);
    store->Flush();
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(db.Int("SELECT count(*) FROM labels"), 0);
    EXPECT_EQ(db.One("SELECT ncols || ',' || c6 FROM rows"), "6,100.0");
}

TEST(TableStore, SetUpDropsTheEarlierHistoryAndLabels) {
    ScratchDir dir;
    auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
    StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 2);
    store->SetLabel(t, 1, "Old");
    StoreTableId other = store->SetupTable("XYZ", 1.0f, "", "", kJan1, 6);
    for (int i = 0; i < 10; ++i) PutBar(*store, t, kJan1 + i * kMinute, i);
    PutBar(*store, other, kJan1, 1);
    store->Flush();
    StoreTableId again = store->SetupTable("ABC", 1.0f, "Again", "", kJan1 + 1, 6);
    EXPECT_EQ(again, t);
    PutBar(*store, again, kJan1 + 1, 50);
    store->Flush();
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(db.Int("SELECT count(*) FROM tables"), 2);
    EXPECT_EQ(db.Column("SELECT seq || ':' || c5 FROM rows r JOIN tables t ON t.id = r.table_id "
                        "WHERE symbol = 'ABC'"),
              (std::vector<std::string>{"1:50.0"}));
    EXPECT_EQ(db.Int("SELECT count(*) FROM labels"), 0);
    EXPECT_EQ(db.Int("SELECT setups FROM tables WHERE symbol = 'ABC'"), 2);
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows r JOIN tables t ON t.id = r.table_id "
                     "WHERE symbol = 'XYZ'"),
              1);
}

// What the database holds of a table once the store wrote what it was handed: the rows of its
// latest set-up, nothing for a table it never wrote, and why it cannot write.
TEST(TableStore, HoldsWhatTheDatabaseHolds) {
    ScratchDir dir;
    auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
    StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
    for (int i = 0; i < 10; ++i) PutBar(*store, t, kJan1 + i * kMinute, i);
    PutBar(*store, t, kJan1 + 9 * kMinute, 99, true);  // replaces the last row
    auto held = store->Holds("ABC", 1.0f);
    EXPECT_TRUE(held.kept);
    EXPECT_EQ(held.rows, 10);
    EXPECT_EQ(held.problem, "");
    store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
    PutBar(*store, t, kJan1, 1);
    EXPECT_EQ(store->Holds("ABC", 1.0f).rows, 1);
    EXPECT_FALSE(store->Holds("ABC", 0.5f).rows.has_value());
    EXPECT_FALSE(TableStore::Open(":none:", nullptr)->Holds("ABC", 1.0f).kept);

    { std::ofstream(dir.File("bad.sqlite")) << std::string(8192, 'x'); }
    auto bad = TableStore::Open(dir.File("bad.sqlite"), [](const std::string&) {});
    StoreTableId b = bad->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
    PutBar(*bad, b, kJan1, 1);
    held = bad->Holds("ABC", 1.0f);
    EXPECT_FALSE(held.rows.has_value());
    EXPECT_THAT(held.problem, HasSubstr("file is not a database"));
}

// The readable views: one SELECT gives symbol, interval, seq, an ISO date/time with milliseconds
// and the values by the pump's layouts.
TEST(TableStore, ReadableViewsNameTheValues) {
    ScratchDir dir;
    {
        auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
        StoreTableId bars = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
        PutBar(*store, bars, kJan1 + 0.375, 30);
        StoreTableId tenths = store->SetupTable("TEN", 0.1f, "", "", kJan1, 6);
        PutBar(*store, tenths, kJan1 + 0.375, 40);
        StoreTableId ticks = store->SetupTable("XYZ", 0.0f, "", "", kJan1, 3);
        const double t[3] = {kJan1 + 0.375 + 0.6 / 86400, 12.5, 7};
        store->PutRow(ticks, t, 3, false);
        StoreTableId asTicks = store->SetupTable("NEG", -1.0f, "", "", kJan1, 3);
        store->PutRow(asTicks, t, 3, false);
    }
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(
        db.Column("SELECT symbol || ' ' || interval || ' ' || seq || ' ' || datetime || ' ' "
                  "|| open || ' ' || high || ' ' || low || ' ' || close || ' ' || volume "
                  "FROM bars_readable ORDER BY symbol"),
        (std::vector<std::string>{"ABC 1.0 1 2003-01-01 09:00:00.000 29.0 31.0 28.0 30.0 100.0",
                                  "TEN 0.1 1 2003-01-01 09:00:00.000 39.0 41.0 38.0 40.0 100.0"}));
    EXPECT_EQ(db.Int("SELECT count(*) FROM bars_readable WHERE interval = 0.1"), 1);
    EXPECT_EQ(
        db.Column("SELECT symbol || ' ' || interval || ' ' || datetime || ' ' || price || ' ' "
                  "|| volume FROM ticks_readable ORDER BY symbol"),
        (std::vector<std::string>{"NEG -1.0 2003-01-01 09:00:00.600 12.5 7.0",
                                  "XYZ 0.0 2003-01-01 09:00:00.600 12.5 7.0"}));
    EXPECT_EQ(db.Int("PRAGMA user_version"), 2);
}

// A store written by an earlier version (no views, user_version 1) reads as before, and gains
// the views when the library next opens it; its rows stay as they were.
TEST(TableStore, AStoreOfAnEarlierVersionGainsTheViews) {
    ScratchDir dir;
    const std::string path = dir.File("feed.sqlite");
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        const std::string schema = store::kSchema;
        const std::string v1 =
            schema.substr(0, schema.find("PRAGMA user_version")) +
            "PRAGMA user_version = 1;"
            "INSERT INTO tables(symbol, interval, columns, setups) "
            "VALUES('OLD', 1, 6, 1);"
            "INSERT INTO rows VALUES(1, 1, 6, -1.375, 1, 2, 0.5, 1.5, 10, NULL);";
        ASSERT_EQ(sqlite3_exec(raw, v1.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    }
    {
        auto store = TableStore::Open(path, nullptr);
        StoreTableId t = store->TableFor("OLD", 1.0f);
        PutBar(*store, t, -1.375 - kMinute, 20);  // a live row continuing the table
    }
    DbView db(path);
    EXPECT_EQ(db.Int("PRAGMA user_version"), 2);
    EXPECT_EQ(db.Column("SELECT seq || ' ' || datetime || ' ' || close FROM bars_readable "
                        "WHERE symbol = 'OLD' ORDER BY seq"),
              (std::vector<std::string>{"1 1899-12-29 09:00:00.000 1.5",
                                        "2 1899-12-29 09:01:00.000 20.0"}));
    EXPECT_EQ(db.One("SELECT datetime FROM rows WHERE seq = 1"), "-1.375");
}

TEST(TableStore, TablesAreKeyedBySymbolAndInterval) {
    ScratchDir dir;
    auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
    StoreTableId a1 = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
    StoreTableId a5 = store->SetupTable("ABC", 5.0f, "", "", kJan1, 6);
    StoreTableId b1 = store->TableFor("abc", 1.0f);  // symbols are case-sensitive
    EXPECT_NE(a1, a5);
    EXPECT_NE(a1, b1);
    EXPECT_EQ(store->TableFor("ABC", 1.0f), a1);
    EXPECT_EQ(store->TableFor("ABC", -0.0f), store->TableFor("ABC", 0.0f));
    store->Flush();
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(db.Int("SELECT count(*) FROM tables"), 4);
}

TEST(TableStore, LiveRowsContinueATableOfAnEarlierRun) {
    ScratchDir dir;
    {
        auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
        StoreTableId t = store->SetupTable("ABC", 1.0f, "Alpha", "", kJan1, 6);
        store->SetLabel(t, 1, "Date/Time");
        for (int i = 0; i < 5; ++i) PutBar(*store, t, kJan1 + i * kMinute, i);
    }
    {
        auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
        StoreTableId t = store->TableFor("ABC", 1.0f);
        PutBar(*store, t, kJan1 + 4 * kMinute, 40, true);
        PutBar(*store, t, kJan1 + 5 * kMinute, 50);
    }
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(db.Column("SELECT seq || ':' || c5 FROM rows ORDER BY seq"),
              (std::vector<std::string>{"1:0.0", "2:1.0", "3:2.0", "4:3.0", "5:40.0", "6:50.0"}));
    EXPECT_EQ(db.One("SELECT description FROM tables"), "Alpha");
    EXPECT_EQ(db.One("SELECT label FROM labels"), "Date/Time");
}

class RowWidths : public ::testing::TestWithParam<int> {};

// Every width round-trips exactly, NaN and infinities included, through the slot and through the
// path for rows wider than a slot.
TEST_P(RowWidths, ValuesRoundTrip) {
    const int n = GetParam();
    ScratchDir dir;
    std::vector<double> v(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) v[static_cast<size_t>(k)] = kJan1 + 1.0 / 3 + k * 0.1;
    if (n > 7) {
        v[6] = std::numeric_limits<double>::infinity();
        v[7] = -std::numeric_limits<double>::infinity();
    }
    if (n > 8) v[8] = std::numeric_limits<double>::quiet_NaN();
    if (n > 9) v[9] = 5e-324;
    {
        auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
        StoreTableId t = store->SetupTable("W", 1.0f, "", "", kJan1, n);
        store->PutRow(t, v.data(), n, false);
    }
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(db.Int("SELECT ncols FROM rows"), n);
    for (int k = 0; k < std::min(n, 6); ++k) {
        std::string col = k == 0 ? "datetime" : "c" + std::to_string(k + 1);
        EXPECT_EQ(db.Double("SELECT " + col + " FROM rows"), v[static_cast<size_t>(k)]) << col;
    }
    for (int k = 6; k < n; ++k) {
        std::string path = "'$[" + std::to_string(k - 6) + "]'";
        if (k == 8) {
            EXPECT_EQ(db.One("SELECT json_type(extra, " + path + ") FROM rows"), "null");
        } else {
            EXPECT_EQ(db.Double("SELECT json_extract(extra, " + path + ") FROM rows"),
                      v[static_cast<size_t>(k)])
                << k;
        }
    }
    if (n <= 6) {
        EXPECT_EQ(db.One("SELECT extra FROM rows"), "NULL");
    }
}
INSTANTIATE_TEST_SUITE_P(Widths, RowWidths,
                         ::testing::Values(1, 3, 6, 7, 10, store::kInlineValues,
                                           store::kInlineValues + 1, 300));

TEST(TableStore, BadCallsAreIgnored) {
    ScratchDir dir;
    auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
    StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
    const double v[2] = {kJan1, 1};
    store->PutRow(t, nullptr, 2, false);
    store->PutRow(t, v, 0, false);
    store->PutRow(t, v, -5, false);
    store->PutRow(0, v, 2, false);
    store->PutRow(t + 7, v, 2, false);
    store->PutRow(-1, v, 2, false);
    store->PutRow(t, v, 2, false);
    store->Flush();
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows"), 1);
}

TEST(TableStore, ManyRowsRoundTrip) {
    ScratchDir dir;
    constexpr int kRows = 1000000;
    {
        auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
        StoreTableId a = store->SetupTable("A", 1.0f, "", "", kJan1, 6);
        StoreTableId b = store->SetupTable("B", 1.0f, "", "", kJan1, 6);
        for (int i = 0; i < kRows; ++i) PutBar(*store, i % 4 == 0 ? b : a, kJan1 + i * kMinute, i);
    }
    DbView db(dir.File("feed.sqlite"));
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows"), kRows);
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows r JOIN tables t ON t.id = r.table_id "
                     "WHERE symbol = 'B'"),
              kRows / 4);
    EXPECT_EQ(db.Int("SELECT max(seq) FROM rows r JOIN tables t ON t.id = r.table_id "
                     "WHERE symbol = 'A'"),
              kRows - kRows / 4);
    EXPECT_EQ(db.Int("SELECT sum(c5) FROM rows"), int64_t{kRows} * (kRows - 1) / 2);
}

TEST(TableStore, NoneKeepsNothing) {
    auto store = TableStore::Open(":none:", nullptr);
    StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
    PutBar(*store, t, kJan1, 1);
    store->Flush();
    EXPECT_NE(store->TableFor("XYZ", 1.0f), t);
}

TEST(TableStore, CreatesMissingFolders) {
    ScratchDir dir;
    std::string path = dir.File("a/b/c/feed.sqlite");
    {
        auto store = TableStore::Open(path, nullptr);
        PutBar(*store, store->SetupTable("ABC", 1.0f, "", "", kJan1, 6), kJan1, 1);
    }
    DbView db(path);
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows"), 1);
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("a/b").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// The folder cannot be created (a file is in its way, which stops root as well): every call is
// accepted, Flush returns, and the problem is reported once.
TEST(TableStore, UnwritablePathIsReportedOnce) {
    ScratchDir dir;
    { std::ofstream(dir.File("file")) << "x"; }
    std::string path = dir.File("file/sub/feed.sqlite");
    Errors errors;
    {
        auto store = TableStore::Open(path, errors.Sink());
        StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
        store->SetLabel(t, 1, "Date/Time");
        for (int i = 0; i < 3 * static_cast<int>(store::kQueueSlots); ++i) {
            PutBar(*store, t, kJan1 + i * kMinute, i);
        }
        store->Flush();
        store->TableFor("XYZ", 1.0f);
        store->Flush();
    }
    auto messages = errors.Get();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], ::testing::StartsWith("cannot write the table store " + path + ": "));
}

TEST(TableStore, DatabaseThatIsNotADatabaseIsReportedOnce) {
    ScratchDir dir;
    std::string path = dir.File("feed.sqlite");
    { std::ofstream(path) << std::string(8192, 'x'); }
    Errors errors;
    {
        auto store = TableStore::Open(path, errors.Sink());
        StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
        PutBar(*store, t, kJan1, 1);
        store->Flush();
    }
    auto messages = errors.Get();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], HasSubstr("file is not a database"));
}

// Another process holds the write lock: the batch waits for the busy timeout, is dropped and
// reported once; once the lock is gone the store writes again, and a set-up that was dropped
// meanwhile is applied before the table's next rows, so the old history does not survive it.
TEST(TableStore, LockedDatabaseIsReportedOnceAndRecovers) {
    ScratchDir dir;
    std::string path = dir.File("feed.sqlite");
    Errors errors;
    auto store = TableStore::Open(path, errors.Sink());
    StoreTableId t = store->SetupTable("ABC", 1.0f, "Old", "", kJan1, 6);
    for (int i = 0; i < 3; ++i) PutBar(*store, t, kJan1 + i * kMinute, i);
    store->Flush();
    {
        DbView locker(path);
        ASSERT_EQ(sqlite3_exec(locker.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        EXPECT_EQ(store->SetupTable("ABC", 1.0f, "New", "", kJan1 + 1, 6), t);
        PutBar(*store, t, kJan1 + 1, 1000);
        store->Flush();
        PutBar(*store, t, kJan1 + 1 + kMinute, 1001);
        store->Flush();
        sqlite3_exec(locker.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    auto messages = errors.Get();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], HasSubstr("database is locked"));
    // Rows are dropped until the retry delay has passed; then they are written again.
    DbView db(path);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int i = 2; db.Int("SELECT count(*) FROM rows WHERE c5 >= 1000") == 0 &&
                    std::chrono::steady_clock::now() < deadline;
         ++i) {
        PutBar(*store, t, kJan1 + 1 + i * kMinute, 1000 + i);
        store->Flush();
    }
    EXPECT_GT(db.Int("SELECT count(*) FROM rows"), 0);
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows WHERE c5 < 1000"), 0);
    EXPECT_EQ(db.Int("SELECT min(seq) FROM rows"), 1);
    EXPECT_EQ(db.One("SELECT description FROM tables"), "New");
    EXPECT_EQ(errors.Get().size(), 1u);
}

// A file size limit makes every write past it fail, as a full disk does: the calls go on, the
// problem is reported once, and the database stays sound.
TEST(TableStore, FullDiskIsReportedOnceAndCallsGoOn) {
    ScratchDir dir;
    std::string path = dir.File("feed.sqlite");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            256 * 1024, 256 * 1024
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string reported;
        int count = 0;
        {
            auto store = TableStore::Open(path, [&](const std::string& m) {
                reported += m + "\n";
                ++count;
            });
            StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
            for (int i = 0; i < 200000; ++i) PutBar(*store, t, kJan1 + i * kMinute, i);
            store->Flush();
            PutBar(*store, t, kJan1, 1);
            store->Flush();
        }
        reported = std::to_string(count) + "\n" + reported;
        (void)!::write(fds[1], reported.data(), reported.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string got;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_THAT(got, ::testing::StartsWith("1\n"));
    // The file size limit shows as a failed write ("disk I/O error"), a full disk as "database
    // or disk is full"; either way once.
    EXPECT_THAT(got, HasSubstr("\ncannot write the table store " + path + ": "));
    DbView db(path);
    EXPECT_EQ(db.One("PRAGMA integrity_check"), "ok");
}

// A writer killed mid-history leaves a sound database holding at least every flushed row.
TEST(TableStore, KilledWriterLosesOnlyUnflushedRows) {
    ScratchDir dir;
    std::string path = dir.File("feed.sqlite");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        auto store = TableStore::Open(path, nullptr);
        StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
        for (int64_t i = 0;; ++i) {
            PutBar(*store, t, kJan1 + static_cast<double>(i) * kMinute, static_cast<double>(i));
            if ((i + 1) % 20000 == 0) {
                store->Flush();
                int64_t flushed = i + 1;
                (void)!::write(fds[1], &flushed, sizeof flushed);
            }
        }
    }
    ::close(fds[1]);
    int64_t flushed = 0;
    int64_t got = 0;
    while (flushed < 60000 && ::read(fds[0], &got, sizeof got) == sizeof got) flushed = got;
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(fds[0]);
    ASSERT_GE(flushed, 60000);
    DbView db(path);
    ASSERT_TRUE(db.ok());
    EXPECT_EQ(db.One("PRAGMA integrity_check"), "ok");
    int64_t rows = db.Int("SELECT count(*) FROM rows");
    EXPECT_GE(rows, flushed);
    EXPECT_EQ(db.Int("SELECT max(seq) FROM rows"), rows);
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows WHERE c5 != seq - 1"), 0);
}

long RssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

// The queue is a fixed ring: memory stays flat however long the history is.
TEST(TableStore, MemoryStaysFlat) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps freed memory";
#endif
    ScratchDir dir;
    auto store = TableStore::Open(dir.File("feed.sqlite"), nullptr);
    StoreTableId t = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
    for (int i = 0; i < 300000; ++i) PutBar(*store, t, kJan1 + i * kMinute, i);
    store->Flush();
    long before = RssKb();
    for (int i = 0; i < 2000000; ++i) PutBar(*store, t, kJan1 + i * kMinute, i);
    store->Flush();
    long after = RssKb();
    // 2 million rows are about 100 MB of values; the store may grow by its page cache at most.
    EXPECT_LT(after - before, 16 * 1024) << before << " kB before, " << after << " kB after";
}

TEST(StorePath, FollowsTheEnvironment) {
    struct Case {
        const char* db;
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/x/my.sqlite", "/data", "/home/u", "/x/my.sqlite"},
        {nullptr, "/data", "/home/u", "/data/orbfeed/feed.sqlite"},
        {"", "/data", "/home/u", "/data/orbfeed/feed.sqlite"},
        {nullptr, nullptr, "/home/u", "/home/u/.local/share/orbfeed/feed.sqlite"},
        {nullptr, "relative", "/home/u", "/home/u/.local/share/orbfeed/feed.sqlite"},
    };
    auto set = [](const char* name, const char* value) {
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    };
    std::string saved[3];
    const char* names[3] = {"ORBFEED_DB", "XDG_DATA_HOME", "HOME"};
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(names[i]);
        had[i] = v != nullptr;
        if (v) saved[i] = v;
    }
    for (const Case& c : cases) {
        set("ORBFEED_DB", c.db);
        set("XDG_DATA_HOME", c.xdg);
        set("HOME", c.home);
        EXPECT_EQ(DefaultStorePath(), c.expected);
    }
    for (int i = 0; i < 3; ++i) set(names[i], had[i] ? saved[i].c_str() : nullptr);
}

}  // namespace
}  // namespace orbfeed
