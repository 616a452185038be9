// The chart command end to end on a store the test fills: the pictures it writes and the one
// line it gives for each bad input.
#include "cli/chart_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QXmlStreamReader>
#include <filesystem>
#include <sstream>

#include "chart/chart_scale.h"
#include "cli/chart_store.h"
#include "feedlib/store/table_store.h"
#include "tests/chart/chart_gui.h"
#include "tests/store/store_test_util.h"

namespace orbfeed::cli {
namespace {

using ::testing::HasSubstr;
using testing::ScratchDir;

constexpr double kJan1 = 37622.0;  // 2003-01-01

// ABC at 1: three days of 420 one-minute bars; XYZ at 0: ticks; EMPTY at 60: no rows.
class ChartCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        tarnwick::chart::testing::EnsureGui();
        db_ = dir_.File("feed.sqlite");
        auto store = TableStore::Open(db_, nullptr);
        StoreTableId bars = store->SetupTable("ABC", 1.0f, "", "", kJan1, 6);
        const char* labels[] = {"Date/Time", "Open", "High", "Low", "Close", "Volume"};
        for (int k = 0; k < 6; ++k) store->SetLabel(bars, k + 1, labels[k]);
        double price = 30;
        for (int day = 0; day < 3; ++day) {
            for (int m = 0; m < 420; ++m) {
                const double open = price;
                price += (m * 7 % 11 - 5) * 0.01;
                const double v[6] = {
                    kJan1 + day + (540 + m) / 1440.0, open,  std::max(open, price) + 0.02,
                    std::min(open, price) - 0.02,     price, 1000.0 + m};
                store->PutRow(bars, v, 6, false);
            }
        }
        StoreTableId ticks = store->SetupTable("XYZ", 0.0f, "", "", kJan1, 3);
        for (int i = 0; i < 500; ++i) {
            const double t[3] = {kJan1 + 0.375 + i * 0.6 / 86400, 12.5 + i % 9 * 0.01, 7};
            store->PutRow(ticks, t, 3, false);
        }
        store->SetupTable("EMPTY", 60.0f, "", "", kJan1, 6);
        testing::FillTurnOfTheCentury(*store, "OLD");
    }

    ChartOptions Options(const std::string& symbol, float interval, const std::string& file) {
        ChartOptions o;
        o.dbPath = db_;
        o.symbol = symbol;
        o.interval = interval;
        o.output = dir_.File(file);
        return o;
    }

    int Run(const ChartOptions& o) {
        out_.str("");
        err_.str("");
        return RunChart(o, out_, err_);
    }

    // The names in the scratch folder besides the store.
    std::vector<std::string> Pictures() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) {
            const std::string n = e.path().filename();
            if (n.rfind("feed.sqlite", 0) != 0) names.push_back(n);
        }
        return names;
    }

    ScratchDir dir_;
    std::string db_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(ChartCommand, WritesPngOfTheRequestedSizeAndSvgWithAnSvgRoot) {
    ChartOptions o = Options("ABC", 1, "abc.png");
    o.width = 640;
    o.height = 360;
    ASSERT_EQ(Run(o), 0) << err_.str();
    EXPECT_THAT(out_.str(), HasSubstr("(1,260 rows, 640 x 360) written to " + o.output));
    QImage png;
    ASSERT_TRUE(png.load(QString::fromStdString(o.output), "PNG"));
    EXPECT_EQ(png.size(), QSize(640, 360));

    o = Options("XYZ", 0, "xyz.SVG");
    ASSERT_EQ(Run(o), 0) << err_.str();
    QFile file(QString::fromStdString(o.output));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), QStringLiteral("svg"));
    while (!xml.atEnd()) xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_THAT(Pictures(), ::testing::UnorderedElementsAre("abc.png", "xyz.SVG"));
}

TEST_F(ChartCommand, LastAndDateRangesPickTheirRows) {
    struct Case {
        int64_t last;
        const char* from;
        const char* to;
        const char* rows;
    };
    const Case cases[] = {
        {5, "", "", "(5 rows"},
        {5000, "", "", "(1,260 rows"},
        {-1, "2003-01-02", "", "(840 rows"},
        {-1, "", "01/01/2003", "(420 rows"},
        {-1, "Jan 2 2003 10:00", "2003-01-02 10:09", "(10 rows"},
    };
    for (const Case& c : cases) {
        ChartOptions o = Options("ABC", 1, "range.png");
        o.last = c.last;
        o.from = c.from;
        o.to = c.to;
        EXPECT_EQ(Run(o), 0) << err_.str();
        EXPECT_THAT(out_.str(), HasSubstr(c.rows)) << c.last << c.from << c.to;
    }
}

// Before 30 December 1899 stored date/times are not on a straight line: ranges, the span in the
// title and the day breaks still follow the calendar.
TEST_F(ChartCommand, DatesBeforeNineteenHundredKeepTheirDays) {
    struct Case {
        const char* from;
        const char* to;
        const char* rows;
    };
    const Case cases[] = {
        {"1899-12-29", "1899-12-30", "(842 rows"},
        {"1899-12-28", "1899-12-28", "(421 rows"},
        {"1899-12-29 15:00", "1899-12-29 16:00", "(61 rows"},
        {"1899-12-31", "", "(1,263 rows"},
    };
    for (const Case& c : cases) {
        ChartOptions o = Options("OLD", 1, "old.png");
        o.from = c.from;
        o.to = c.to;
        EXPECT_EQ(Run(o), 0) << err_.str();
        EXPECT_THAT(out_.str(), HasSubstr(c.rows)) << c.from << " " << c.to;
    }
    ChartSource src{db_, "OLD", 1, -1, {}, {}};
    ChartRead read;
    ASSERT_EQ(ReadChartTable(src, {600, 3}, read, err_), 0) << err_.str();
    EXPECT_EQ(read.rows, 6 * testing::kTurnOfTheCenturyRowsPerDay);
    EXPECT_EQ(tarnwick::chart::DateTimeText(read.firstTime, false), "1899-12-28 09:00");
    EXPECT_EQ(tarnwick::chart::DateTimeText(read.lastTime, false), "1900-01-02 16:00");
    EXPECT_EQ(tarnwick::chart::DayBreaks(read.series.columns).size(), 5u);
}

TEST_F(ChartCommand, BadInputGetsOneLineAndLeavesNoFile) {
    std::filesystem::create_directory(dir_.File("folder.png"));
    struct Case {
        const char* name;
        ChartOptions options;
        const char* message;
    };
    auto with = [&](ChartOptions o, auto change) {
        change(o);
        return o;
    };
    const Case cases[] = {
        {"no table", Options("ABC", 5, "x.png"), "no table ABC at interval 5 in " /* ... */},
        {"unknown symbol", Options("NOPE", 1, "x.png"), "the store holds no table of NOPE"},
        {"empty table", Options("EMPTY", 60, "x.png"), "EMPTY at interval 60 in "},
        {"empty range", with(Options("ABC", 1, "x.png"), [](auto& o) { o.from = "2010-01-01"; }),
         "no rows of ABC at interval 1 in the range asked for"},
        {"last 0", with(Options("ABC", 1, "x.png"), [](auto& o) { o.last = 0; }), "--last 0"},
        {"bad date", with(Options("ABC", 1, "x.png"), [](auto& o) { o.to = "soon"; }),
         "--to soon: not a date"},
        {"reversed",
         with(Options("ABC", 1, "x.png"),
              [](auto& o) {
                  o.from = "2003-01-03";
                  o.to = "2003-01-02";
              }),
         "lies after"},
        {"narrow", with(Options("ABC", 1, "x.png"), [](auto& o) { o.width = 100; }),
         "out of range"},
        {"tall", with(Options("ABC", 1, "x.png"), [](auto& o) { o.height = 9000; }),
         "out of range"},
        {"no folder", Options("ABC", 1, "missing/x.png"), "No such file or directory"},
        {"a folder", Options("ABC", 1, "folder.png"), "Is a directory"},
        {"jpeg", Options("ABC", 1, "x.jpg"), "written as PNG (.png) or SVG (.svg)"},
        {"no extension", Options("ABC", 1, "x"), "written as PNG (.png) or SVG (.svg)"},
        {"no store", with(Options("ABC", 1, "x.png"), [&](auto& o) { o.dbPath += ".gone"; }),
         "no table store at"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.options), 1) << c.name;
        const std::string err = err_.str();
        EXPECT_THAT(err, HasSubstr(c.message)) << c.name;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name << ": " << err;
        EXPECT_EQ(out_.str(), "") << c.name;
        EXPECT_THAT(Pictures(), ::testing::ElementsAre("folder.png")) << c.name;
    }
    // The missing table's message lists what the store holds for the symbol; a write failure
    // names the path.
    Run(Options("ABC", 5, "x.png"));
    EXPECT_THAT(err_.str(), HasSubstr("the store holds ABC at interval 1 (1260 rows)"));
    Run(Options("ABC", 1, "missing/x.png"));
    EXPECT_THAT(err_.str(), HasSubstr("cannot write " + dir_.File("missing/x.png") + ": "));
}

TEST_F(ChartCommand, CandlesOfAPeriodChosenOrFittedWhileReading) {
    using tarnwick::chart::Period;
    struct Case {
        const char* name;
        const char* symbol;
        float interval;
        std::optional<Period> bar;
        ChartRoom room;
        std::optional<Period> period;
        size_t columns;
        int64_t perColumn;
    };
    const Case cases[] = {
        // 1,260 rows: 252 five minutes are too many for 3-pixel candles in 544 pixels, 84
        // quarter hours are not.
        {"default", "ABC", 1, {}, {544, 3}, Period::Minute15, 84, 1},
        {"few rows fit as they are", "ABC", 1, {}, {544 * 10, 3}, {}, 1260, 1},
        {"daily", "ABC", 1, Period::Day1, {544, 3}, Period::Day1, 3, 1},
        {"more candles than pixels", "ABC", 1, Period::Minute1, {100, 3}, Period::Minute1, 79, 16},
        // 500 ticks over 5 minutes: a line of the ticks while they fit one a pixel column.
        {"ticks", "XYZ", 0, {}, {544, 3}, {}, 500, 1},
        {"ticks folded", "XYZ", 0, {}, {300, 3}, Period::Minute1, 5, 1},
    };
    for (const Case& c : cases) {
        ChartSource src{db_, c.symbol, c.interval, -1, {}, c.bar};
        ChartRead read;
        ASSERT_EQ(ReadChartTable(src, c.room, read, err_), 0) << err_.str();
        EXPECT_EQ(read.series.period, c.period) << c.name;
        EXPECT_EQ(read.series.columns.size(), c.columns) << c.name;
        EXPECT_EQ(read.perColumn, c.perColumn) << c.name;
        const bool candles = c.period || c.interval > 0;
        EXPECT_EQ(read.series.style == tarnwick::chart::ChartStyle::Candles, candles) << c.name;
    }

    ChartOptions o = Options("ABC", 1, "abc.png");
    o.bar = "2h";
    EXPECT_EQ(Run(o), 1);
    EXPECT_THAT(err_.str(), HasSubstr("--bar 2h: not a period; the periods are 1m, 5m"));
    o.bar = "1d";
    o.log = true;
    EXPECT_EQ(Run(o), 0) << err_.str();
    o = Options("OLD", 1, "old.png");  // its first close is 0
    o.log = true;
    EXPECT_EQ(Run(o), 1);
    EXPECT_THAT(err_.str(), HasSubstr("--log cannot show prices at or below 0"));
    EXPECT_THAT(Pictures(), ::testing::ElementsAre("abc.png"));
}

TEST(ChartCommandNames, DefaultFileAndColumnChoice) {
    EXPECT_EQ(DefaultChartFile("DEMO", 1), "DEMO-1.png");
    EXPECT_EQ(DefaultChartFile("A/B", 0.5f), "A_B-0.5.png");
    EXPECT_EQ(DefaultChartFile("DEMO", -1), "DEMO--1.png");

    const std::vector<std::string> bar = {"Date/Time", "Open", "High", "Low", "Close", "Volume"};
    const ChartColumnChoice candles = ChooseChartColumns(1, bar, 6);
    EXPECT_TRUE(candles.candles);
    EXPECT_EQ(candles.close, 5);
    EXPECT_EQ(candles.volume, 6);
    // Ticks keep price and volume in columns 2 and 3 whatever the labels say.
    const ChartColumnChoice ticks = ChooseChartColumns(0, bar, 6);
    EXPECT_FALSE(ticks.candles);
    EXPECT_EQ(ticks.close, 2);
    EXPECT_EQ(ticks.volume, 3);
    // A bar table without Open/High/Low: its Close as a line; without labels: the bar layout.
    const ChartColumnChoice line = ChooseChartColumns(1, {"Date", "Size", "Close"}, 3);
    EXPECT_FALSE(line.candles);
    EXPECT_EQ(line.close, 3);
    EXPECT_TRUE(ChooseChartColumns(1, {}, 6).candles);
}

}  // namespace
}  // namespace orbfeed::cli
