#include "cli/db_commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>

#include "feedlib/store/store_schema.h"
#include "feedlib/store/table_store.h"
#include "tests/store/store_test_util.h"

namespace orbfeed::cli {
namespace {

using testing::DbView;
using ::testing::HasSubstr;
using testing::ScratchDir;

constexpr double kJan1 = 37622.0;  // 2003-01-01

struct DateCase {
    double value;
    const char* text;
};

TEST(FormatOleDate, WritesIsoDates) {
    const DateCase cases[] = {
        {0.0, "1899-12-30 00:00:00"},
        {1.0, "1899-12-31 00:00:00"},
        {2.5, "1900-01-01 12:00:00"},
        {60.0, "1900-02-28 00:00:00"},
        {61.0, "1900-03-01 00:00:00"},
        {36526.0, "2000-01-01 00:00:00"},
        {kJan1 + 0.375, "2003-01-01 09:00:00"},
        {kJan1 + 16.0 / 24, "2003-01-01 16:00:00"},
        {kJan1 + 0.6 / 86400, "2003-01-01 00:00:00.600"},
        {kJan1 + 1.0 / 86400000, "2003-01-01 00:00:00.001"},
        {kJan1 + 0.99999999999, "2003-01-02 00:00:00"},  // rounds to the next midnight
        {-1.25, "1899-12-29 06:00:00"},                  // days towards zero, time as magnitude
        {-0.5, "1899-12-30 12:00:00"},
        {-2.375, "1899-12-28 09:00:00"},
        {-1.99999999999, "1899-12-30 00:00:00"},  // the end of 29 December rounds forward
        {2958465.5, "9999-12-31 12:00:00"},
    };
    for (const DateCase& c : cases) EXPECT_EQ(FormatOleDate(c.value), c.text) << c.value;
}

TEST(FormatOleDate, MinuteStepsLandOnWholeMinutes) {
    // Bars are stamped by adding a minute again and again; rounding hides the accumulated error.
    double t = kJan1 + 9.0 / 24;
    const double step = 1.0 / 1440;
    for (int i = 0; i < 419; ++i) t += step;
    EXPECT_EQ(FormatOleDate(t), "2003-01-01 15:59:00");
}

TEST(FormatOleDate, OutOfRangeValuesAreWrittenAsNumbers) {
    EXPECT_EQ(FormatOleDate(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(FormatOleDate(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(FormatOleDate(1e300), "1e+300");
    EXPECT_EQ(FormatOleDate(-1e7), "-1e+07");
}

TEST(FormatValue, ShortestRoundTrip) {
    EXPECT_EQ(FormatValue(0.1), "0.1");
    EXPECT_EQ(FormatValue(100), "100");
    EXPECT_EQ(FormatValue(30.25), "30.25");
    EXPECT_EQ(FormatValue(1.0 / 3), "0.3333333333333333");
    EXPECT_EQ(FormatValue(-0.0), "-0");
}

// A store with one bar table (labelled), one tick table without labels and one empty table.
class DbCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("feed.sqlite");
        auto store = TableStore::Open(path_, nullptr);
        StoreTableId bars = store->SetupTable("ABC", 1.0f, "Alpha", "Stock", kJan1, 6);
        const char* labels[] = {"Date/Time", "Open", "High", "Low", "Close", "Volume"};
        for (int k = 0; k < 6; ++k) store->SetLabel(bars, k + 1, labels[k]);
        for (int i = 0; i < 3; ++i) {
            const double v[6] = {kJan1 + 0.375 + i / 1440.0, 30, 30.5, 29.75, 30.25 + i, 1200};
            store->PutRow(bars, v, 6, false);
        }
        StoreTableId ticks = store->SetupTable("XYZ", 0.5f, "", "", kJan1, 0);
        const double t[3] = {kJan1 + 0.375 + 0.6 / 86400, 12.5, 7};
        store->PutRow(ticks, t, 3, false);
        store->SetupTable("EMPTY", 60.0f, "", "", kJan1, 6);
    }

    RowsOptions Options(const std::string& symbol, float interval) {
        RowsOptions o;
        o.dbPath = path_;
        o.symbol = symbol;
        o.interval = interval;
        return o;
    }

    ScratchDir dir_;
    std::string path_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(DbCommands, TablesListsEveryTable) {
    ASSERT_EQ(RunTables(path_, {{"ABC", 1.0f}, {"ABC", 0.5f}}, out_, err_), 0) << err_.str();
    EXPECT_EQ(out_.str(),
              "SYMBOL  INTERVAL  ROWS  FIRST                    LAST                     LIVE  "
              "DESCRIPTION\n"
              "ABC            1     3  2003-01-01 09:00:00      2003-01-01 09:02:00      yes   "
              "Alpha\n"
              "EMPTY         60     0  -                        -                        no    \n"
              "XYZ          0.5     1  2003-01-01 09:00:00.600  2003-01-01 09:00:00.600  no    \n");
    EXPECT_EQ(err_.str(), "");
}

// Dropping a table: refused while the pump serves it live, unless forced; a table the store
// does not hold is an error. What is dropped is gone with its rows and labels.
TEST_F(DbCommands, DropDeletesATableUnlessThePumpServesIt) {
    struct Case {
        const char* symbol;
        float interval;
        bool force;
        int exitCode;
        const char* message;  // on out for 0, on err otherwise
        bool gone;
    };
    const LiveTables live = {{"ABC", 1.0f}};
    const Case cases[] = {
        {"ABC", 1, false, 1, "serves ABC at interval 1 live", false},
        {"XYZ", 0.5f, false, 0, "dropped XYZ at interval 0.5 (1 rows) from ", true},
        {"ABC", 1, true, 0, "the pump still serves it", true},
        {"NOPE", 1, false, 1, "no table NOPE at interval 1 in ", true},
    };
    for (const Case& c : cases) {
        out_.str("");
        err_.str("");
        EXPECT_EQ(RunDrop(path_, c.symbol, c.interval, c.force, live, out_, err_), c.exitCode)
            << c.symbol;
        EXPECT_THAT(c.exitCode == 0 ? out_.str() : err_.str(), HasSubstr(c.message)) << c.symbol;
        DbView db(path_);
        const std::string where = std::string(" WHERE symbol = '") + c.symbol + "'";
        EXPECT_EQ(db.Int("SELECT count(*) FROM tables" + where) == 0, c.gone) << c.symbol;
    }
    DbView db(path_);
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows WHERE table_id NOT IN (SELECT id FROM tables)"), 0);
    EXPECT_EQ(db.Int("SELECT count(*) FROM labels WHERE table_id NOT IN (SELECT id FROM tables)"),
              0);
}

// A table dropped while the library keeps writing it starts anew with the next rows, never as
// rows of a table that is gone.
TEST_F(DbCommands, AStoreStillWritingADroppedTableStartsItAnew) {
    auto store = TableStore::Open(path_, nullptr);
    StoreTableId t = store->TableFor("ABC", 1.0f);
    const double v[6] = {kJan1 + 0.5, 1, 2, 3, 4, 5};
    store->PutRow(t, v, 6, false);
    store->Flush();
    ASSERT_EQ(RunDrop(path_, "ABC", 1, true, {}, out_, err_), 0) << err_.str();
    store->PutRow(t, v, 6, false);
    store->Flush();
    DbView db(path_);
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows r JOIN tables t ON t.id = r.table_id"
                     " WHERE t.symbol = 'ABC' AND r.seq = 1"),
              1);
    EXPECT_EQ(db.Int("SELECT count(*) FROM rows WHERE table_id NOT IN (SELECT id FROM tables)"), 0);
}

// --from/--to pick rows by date/time on both sides of 1900 (the bounds as the chart takes them).
TEST_F(DbCommands, RowsInADateRange) {
    { testing::FillTurnOfTheCentury(*TableStore::Open(path_, nullptr), "OLD"); }
    struct Case {
        const char* from;
        const char* to;
        size_t rows;
        const char* first;
        const char* last;
    };
    const Case cases[] = {
        {"1899-12-29", "1899-12-30", 842, "1899-12-29 09:00:00", "1899-12-30 16:00:00"},
        {"1899-12-29 15:00", "1899-12-29 16:00", 61, "1899-12-29 15:00:00", "1899-12-29 16:00:00"},
        {"", "1899-12-28", 421, "1899-12-28 09:00:00", "1899-12-28 16:00:00"},
        {"1900-01-02 15:59", "", 2, "1900-01-02 15:59:00", "1900-01-02 16:00:00"},
        {"1850-01-01", "1850-01-02", 0, "", ""},
    };
    for (const Case& c : cases) {
        RowsOptions o = Options("OLD", 1.0f);
        o.csv = true;
        ASSERT_TRUE(ReadTimeRange(c.from, c.to, o.range, err_)) << err_.str();
        out_.str("");
        ASSERT_EQ(RunRows(o, out_, err_), 0) << err_.str();
        std::vector<std::string> dates;
        std::istringstream lines(out_.str());
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line)) dates.push_back(line.substr(0, line.find(',')));
        ASSERT_EQ(dates.size(), c.rows) << c.from << " " << c.to;
        if (c.rows == 0) continue;
        EXPECT_EQ(dates.front(), c.first);
        EXPECT_EQ(dates.back(), c.last);
    }
}

TEST_F(DbCommands, RowsAsCsv) {
    RowsOptions o = Options("ABC", 1.0f);
    o.csv = true;
    ASSERT_EQ(RunRows(o, out_, err_), 0) << err_.str();
    EXPECT_EQ(out_.str(),
              "Date/Time,Open,High,Low,Close,Volume\n"
              "2003-01-01 09:00:00,30,30.5,29.75,30.25,1200\n"
              "2003-01-01 09:01:00,30,30.5,29.75,31.25,1200\n"
              "2003-01-01 09:02:00,30,30.5,29.75,32.25,1200\n");
}

TEST_F(DbCommands, RowsLastN) {
    RowsOptions o = Options("ABC", 1.0f);
    o.csv = true;
    o.last = 2;
    ASSERT_EQ(RunRows(o, out_, err_), 0);
    EXPECT_EQ(out_.str(),
              "Date/Time,Open,High,Low,Close,Volume\n"
              "2003-01-01 09:01:00,30,30.5,29.75,31.25,1200\n"
              "2003-01-01 09:02:00,30,30.5,29.75,32.25,1200\n");
}

TEST_F(DbCommands, RowsWithoutLabelsNameTheirColumns) {
    RowsOptions o = Options("XYZ", 0.5f);
    o.csv = true;
    ASSERT_EQ(RunRows(o, out_, err_), 0);
    EXPECT_EQ(out_.str(), "datetime,c2,c3\n2003-01-01 09:00:00.600,12.5,7\n");
}

// 28 December 1899 to 2 January 1900: rows print their own days in order, and the documented SQL
// reads the same date/times (with milliseconds).
TEST_F(DbCommands, DatesAroundNineteenHundredReadTheSameInRowsAndInSql) {
    { testing::FillTurnOfTheCentury(*TableStore::Open(path_, nullptr), "OLD"); }
    RowsOptions o = Options("OLD", 1.0f);
    o.csv = true;
    ASSERT_EQ(RunRows(o, out_, err_), 0) << err_.str();
    std::vector<std::string> texts;
    std::istringstream lines(out_.str());
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) texts.push_back(line.substr(0, line.find(',')));
    const int perDay = testing::kTurnOfTheCenturyRowsPerDay;
    ASSERT_EQ(texts.size(), 6u * perDay);
    EXPECT_EQ(texts.front(), "1899-12-28 09:00:00");
    EXPECT_EQ(texts[perDay - 1], "1899-12-28 16:00:00");
    EXPECT_EQ(texts[perDay], "1899-12-29 09:00:00");
    EXPECT_EQ(texts[3 * perDay - 1], "1899-12-30 16:00:00");
    EXPECT_EQ(texts.back(), "1900-01-02 16:00:00");
    EXPECT_TRUE(std::is_sorted(texts.begin(), texts.end()));

    DbView db(path_);
    const auto sql = db.Column(std::string("SELECT ") + store::kIsoDateTimeSql +
                               " FROM rows JOIN tables t ON t.id = table_id"
                               " WHERE t.symbol = 'OLD' ORDER BY seq");
    const auto view = db.Column(
        "SELECT datetime FROM bars_readable WHERE symbol = 'OLD' AND "
        "interval = 1 ORDER BY seq");
    ASSERT_EQ(sql.size(), texts.size());
    ASSERT_EQ(view.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(sql[i], texts[i] + ".000") << i;
        ASSERT_EQ(view[i], sql[i]) << i;
    }
}

TEST(StoreSchemaDoc, QuotesTheDateTimeExpression) {
    std::ifstream doc(std::string(TARNWICK_SOURCE_DIR) + "/docs/store-schema.md");
    const std::string text((std::istreambuf_iterator<char>(doc)), std::istreambuf_iterator<char>());
    EXPECT_THAT(text, HasSubstr(store::kIsoDateTimeSql));
}

TEST_F(DbCommands, RowsAsTable) {
    ASSERT_EQ(RunRows(Options("XYZ", 0.5f), out_, err_), 0);
    EXPECT_EQ(out_.str(),
              "datetime                           c2            c3\n"
              "2003-01-01 09:00:00.600          12.5             7\n");
}

TEST_F(DbCommands, CsvQuotesLabelsThatNeedIt) {
    {
        auto store = TableStore::Open(path_, nullptr);
        StoreTableId t = store->SetupTable("Q", 1.0f, "", "", kJan1, 2);
        store->SetLabel(t, 1, "a,b");
        store->SetLabel(t, 2, "say \"hi\"");
        const double v[2] = {kJan1, 1};
        store->PutRow(t, v, 2, false);
    }
    RowsOptions o = Options("Q", 1.0f);
    o.csv = true;
    ASSERT_EQ(RunRows(o, out_, err_), 0);
    EXPECT_EQ(out_.str(), "\"a,b\",\"say \"\"hi\"\"\"\n2003-01-01 00:00:00,1\n");
}

TEST_F(DbCommands, WideRowsReadBackExactly) {
    const double v[9] = {kJan1,
                         1,
                         2,
                         3,
                         4,
                         5,
                         0.1,
                         -std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()};
    {
        auto store = TableStore::Open(path_, nullptr);
        StoreTableId t = store->SetupTable("W", 1.0f, "", "", kJan1, 9);
        store->PutRow(t, v, 9, false);
        store->PutRow(t, v, 2, false);  // a narrower row is padded
    }
    RowsOptions o = Options("W", 1.0f);
    o.csv = true;
    ASSERT_EQ(RunRows(o, out_, err_), 0);
    EXPECT_EQ(out_.str(),
              "datetime,c2,c3,c4,c5,c6,c7,c8,c9\n"
              "2003-01-01 00:00:00,1,2,3,4,5,0.1,-inf,nan\n"
              "2003-01-01 00:00:00,1,,,,,,,\n");
}

TEST_F(DbCommands, EmptyTableHasAHeaderOnly) {
    RowsOptions o = Options("EMPTY", 60.0f);
    o.csv = true;
    ASSERT_EQ(RunRows(o, out_, err_), 0);
    EXPECT_EQ(out_.str(), "datetime,c2,c3,c4,c5,c6\n");
}

TEST_F(DbCommands, UnknownTableIsAnError) {
    EXPECT_EQ(RunRows(Options("ABC", 5.0f), out_, err_), 1);
    EXPECT_EQ(err_.str(), "orbfeed: no table ABC at interval 5 in " + path_ + "\n");
    EXPECT_EQ(out_.str(), "");
}

TEST(DbCommandsErrors, MissingDatabaseIsAnError) {
    ScratchDir dir;
    std::ostringstream out, err;
    std::string path = dir.File("none.sqlite");
    EXPECT_EQ(RunTables(path, {}, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("orbfeed: no table store at " + path));
    RowsOptions o;
    o.dbPath = path;
    o.symbol = "ABC";
    EXPECT_EQ(RunRows(o, out, err), 1);
    EXPECT_EQ(out.str(), "");
    // Reading never creates the database.
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(DbCommandsErrors, ForeignDatabaseIsAnError) {
    ScratchDir dir;
    std::string path = dir.File("other.sqlite");
    {
        DbView db(path);
        sqlite3* raw = nullptr;
        sqlite3_open(path.c_str(), &raw);
        sqlite3_exec(raw, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
    }
    std::ostringstream out, err;
    EXPECT_EQ(RunTables(path, {}, out, err), 1);
    EXPECT_THAT(err.str(), HasSubstr("orbfeed: cannot read the table store " + path));
}

// Follow mode prints new rows and a replaced last row again, and ends when told to.
TEST_F(DbCommands, FollowPrintsNewAndReplacedRows) {
    auto store = TableStore::Open(path_, nullptr);
    StoreTableId t = store->TableFor("ABC", 1.0f);
    RowsOptions o = Options("ABC", 1.0f);
    o.csv = true;
    o.last = 1;
    o.follow = true;
    int polls = 0;
    o.waitForStop = [&](std::chrono::milliseconds) {
        ++polls;
        if (polls == 1) {
            const double v[6] = {kJan1 + 0.375 + 3 / 1440.0, 1, 2, 3, 4, 5};
            store->PutRow(t, v, 6, false);
            store->Flush();
        } else if (polls == 2) {
            const double v[6] = {kJan1 + 0.375 + 3 / 1440.0, 1, 2, 3, 4.5, 6};
            store->PutRow(t, v, 6, true);
            store->Flush();
        } else if (polls == 3) {
            // Nothing changed: nothing printed.
        } else if (polls == 4) {
            store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
            const double v[6] = {kJan1 + 2, 7, 7, 7, 7, 7};
            store->PutRow(t, v, 6, false);
            store->Flush();
        } else {
            return true;
        }
        return false;
    };
    ASSERT_EQ(RunRows(o, out_, err_), 0) << err_.str();
    EXPECT_EQ(out_.str(),
              "Date/Time,Open,High,Low,Close,Volume\n"
              "2003-01-01 09:02:00,30,30.5,29.75,32.25,1200\n"
              "2003-01-01 09:03:00,1,2,3,4,5\n"
              "2003-01-01 09:03:00,1,2,3,4.5,6\n"
              "2003-01-03 00:00:00,7,7,7,7,7\n");
}

}  // namespace
}  // namespace orbfeed::cli
