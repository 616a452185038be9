// The library's operations in-process: trace lines, tables and their row counts, credentials.
#include <gtest/gtest.h>

#include <thread>

#include "feedlib/trace.h"
#include "tests/feedlib/feed_test_util.h"

namespace orbfeed::testing {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    return out;
}

char* T(const char* s) {
    return const_cast<char*>(s);
}

struct TraceCase {
    const char* name;
    std::function<void(FeedLibrary&)> call;
    const char* line;
};

class TraceTest : public ::testing::TestWithParam<TraceCase> {};

TEST_P(TraceTest, WritesOneExactLinePerCall) {
    ScratchDir dir;
    FeedConfig c = QuietConfig();
    c.tracePath = dir.File("trace.txt");
    c.user = "user";
    c.password = "pw";
    {
        FeedLibrary lib(c);
        GetParam().call(lib);
    }
    EXPECT_EQ(ReadAll(c.tracePath), std::string(GetParam().line) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Calls, TraceTest,
    ::testing::Values(
        TraceCase{"Value", [](FeedLibrary& l) { l.ORBSETVALUE("ABC", 1.0f, 2, 30.01); },
                  "ORBSETVALUE\tABC\t1\t2\t30.01"},
        TraceCase{"NumRows", [](FeedLibrary& l) { l.ORBGETNUMROWS2("ABC", 1.0f, 1.0f, 0, 0); },
                  "ORBGETNUMROWS2\tABC\t1\t1\t0\t0"},
        TraceCase{
            "Setup",
            [](FeedLibrary& l) { l.ORBSETUPDATA("ABC", "Alpha Inc", 0.5f, 6, "Stock", 37622.375); },
            "ORBSETUPDATA\tABC\tAlpha Inc\t0.5\t6\tStock\t37622.375"},
        TraceCase{"NegativeInterval",
                  [](FeedLibrary& l) { l.ORBSETLABEL("X", -60.0f, 1, "Date/Time"); },
                  "ORBSETLABEL\tX\t-60\t1\tDate/Time"},
        TraceCase{"ShortestFloats", [](FeedLibrary& l) { l.ORBSETVALUE("X", 0.1f, -3, 1e-7); },
                  "ORBSETVALUE\tX\t0.1\t-3\t1e-07"},
        TraceCase{"Escapes", [](FeedLibrary& l) { l.ORBSETLABEL("a\\b\tc", 1.0f, 1, "x\r\ny"); },
                  "ORBSETLABEL\ta\\\\b\\tc\t1\t1\tx\\r\\ny"},
        TraceCase{"NullTexts", [](FeedLibrary& l) { l.ORBCOMMITROW(nullptr, 1.0f); },
                  "ORBCOMMITROW\t\t1"},
        TraceCase{"Percent", [](FeedLibrary& l) { l.UpdatePercent(-4); }, "UpdatePercent\t-4"},
        TraceCase{"NoArguments", [](FeedLibrary& l) { l.RequireUserIDPassword(); },
                  "RequireUserIDPassword"},
        TraceCase{"Custom", [](FeedLibrary& l) { l.ORBCustomAction(); }, "ORBCustomAction"},
        TraceCase{"Withdraw", [](FeedLibrary& l) { l.SetDataFeedhwnd(0); }, "SetDataFeedhwnd\t0"},
        TraceCase{"CredentialsHandedBackThePasswordMasked",
                  [](FeedLibrary& l) {
                      CredentialStrings strings;
                      l.GetUserIDPassword(&strings.user, &strings.password);
                  },
                  "GetUserIDPassword\tuser\t**"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Trace, LinesAppearWithoutAFlush) {
    ScratchDir dir;
    FeedConfig c = QuietConfig();
    c.tracePath = dir.File("trace.txt");
    FeedLibrary lib(c);
    lib.UpdatePercent(7);
    // The flusher writes within 200 ms; the deadline is wide for loaded machines.
    EXPECT_TRUE(
        PollUntil([&] { return ReadAll(c.tracePath) == "UpdatePercent\t7\n"; }, Deadline(3s)));
    lib.UpdatePercent(8);
    EXPECT_TRUE(
        PollUntil([&] { return ReadAll(c.tracePath) == "UpdatePercent\t7\nUpdatePercent\t8\n"; },
                  Deadline(3s)));
}

TEST(Trace, WithdrawingTheChannelWritesEverythingAtOnce) {
    ScratchDir dir;
    FeedConfig c = QuietConfig();
    c.tracePath = dir.File("trace.txt");
    FeedLibrary lib(c);
    for (int i = 0; i < 1000; ++i) {
        lib.ORBSETVALUE("ABC", 1.0f, 1, i);
        lib.ORBCOMMITROW("ABC", 1.0f);
    }
    lib.SetDataFeedhwnd(0);
    const auto lines = Lines(ReadAll(c.tracePath));
    ASSERT_EQ(lines.size(), 2001u);
    EXPECT_EQ(lines[1998], "ORBSETVALUE\tABC\t1\t1\t999");
    EXPECT_EQ(lines.back(), "SetDataFeedhwnd\t0");
}

// However fast the calls come, the trace buffers at most a couple of megabytes: the rest is on
// its way to the file.
TEST(Trace, MemoryStaysFlat) {
    ScratchDir dir;
    const std::string path = dir.File("trace.txt");
    size_t most = 0;
    {
        TraceWriter trace(path);
        for (int i = 0; i < 400000; ++i) {
            trace.Add("ORBSETVALUE", [&](TraceLine& l) { l.Text("ABC").F32(1).Int(2).F64(i); });
            if (i % 1000 == 0) most = std::max(most, trace.BufferBytes());
        }
    }
    EXPECT_LE(most, 3u << 20);
    EXPECT_EQ(Lines(ReadAll(path)).size(), 400000u);
}

TEST(Trace, AppendsToAnExistingFile) {
    ScratchDir dir;
    FeedConfig c = QuietConfig();
    c.tracePath = dir.File("trace.txt");
    { std::ofstream(c.tracePath) << "earlier\n"; }
    { FeedLibrary(c).UpdatePercent(1); }
    EXPECT_EQ(ReadAll(c.tracePath), "earlier\nUpdatePercent\t1\n");
}

// The times file: one steady-clock reading per trace line, taken when the call came (not when
// the line was written out), in seconds with six decimals; the trace keeps its format.
TEST(Trace, TimesFileStampsEveryLineWhenTheCallCame) {
    ScratchDir dir;
    const auto before = std::chrono::steady_clock::now();
    {
        TraceWriter trace(dir.File("trace.txt"), dir.File("times.txt"));
        trace.Add("A", [](TraceLine& l) { l.Int(1); });
        std::this_thread::sleep_for(50ms);  // the interval the stamps must show
        trace.Add("B", [](TraceLine&) {});
        trace.Add("C", [](TraceLine& l) { l.Text("x"); });
    }
    const auto after = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadAll(dir.File("trace.txt")), "A\t1\nB\nC\tx\n");
    const auto times = Lines(ReadAll(dir.File("times.txt")));
    ASSERT_EQ(times.size(), 3u);
    auto seconds = [](const std::chrono::steady_clock::time_point t) {
        return std::chrono::duration<double>(t.time_since_epoch()).count();
    };
    std::vector<double> t;
    for (const auto& line : times) {
        ASSERT_EQ(line.size() - line.find('.'), 7u) << line;
        t.push_back(std::stod(line));
    }
    EXPECT_GE(t[0], seconds(before) - 1e-6);
    EXPECT_GE(t[1] - t[0], 0.05 - 1e-6);
    EXPECT_GE(t[2], t[1]);
    EXPECT_LE(t[2], seconds(after) + 1e-6);
}

TEST(Trace, AnUnwritableTimesFileLeavesTheTraceAlone) {
    ScratchDir dir;
    {
        TraceWriter trace(dir.File("trace.txt"), dir.File("no/such/folder/times.txt"));
        ASSERT_TRUE(trace.Enabled());
        trace.Add("A", [](TraceLine&) {});
    }
    EXPECT_EQ(ReadAll(dir.File("trace.txt")), "A\n");
}

class TablesTest : public ::testing::Test {
  protected:
    TablesTest() {
        FeedConfig c = QuietConfig();
        c.openStore = [log = log_](const std::string&, TableStore::ErrorSink) {
            return std::make_unique<LoggingStore>(log);
        };
        lib_ = std::make_unique<FeedLibrary>(c);
    }
    void Row(const char* symbol, float interval, std::vector<double> values) {
        for (size_t k = 0; k < values.size(); ++k)
            lib_->ORBSETVALUE(symbol, interval, static_cast<int32_t>(k + 1), values[k]);
        lib_->ORBCOMMITROW(symbol, interval);
    }
    int32_t Count(const char* symbol, float interval) {
        return lib_->ORBGETNUMROWS2(symbol, interval, interval, 0, 0);
    }
    std::shared_ptr<StoreLog> log_ = std::make_shared<StoreLog>();
    std::unique_ptr<FeedLibrary> lib_;
};

TEST_F(TablesTest, SameDateReplacesTheLastRowOtherDatesAppend) {
    struct Step {
        double date;
        int32_t count;
        bool replaces;
    };
    const Step steps[] = {{1.5, 1, false}, {1.5, 1, true},  {1.6, 2, false}, {1.6, 2, true},
                          {1.6, 2, true},  {1.5, 3, false}, {0.0, 4, false}, {0.0, 4, true}};
    lib_->ORBSETUPDATA("ABC", "A", 1.0f, 2, "Stock", 1.0);
    for (const Step& s : steps) {
        Row("ABC", 1.0f, {s.date, 30.0});
        EXPECT_EQ(Count("ABC", 1.0f), s.count) << s.date;
        ASSERT_FALSE(log_->rows.empty());
        EXPECT_EQ(log_->rows.back().replaces, s.replaces) << s.date;
    }
}

TEST_F(TablesTest, BarsSentAsTicksKeepAllFourRowsOfABar) {
    lib_->ORBSETUPDATA("ABC", "A", -60.0f, 3, "Stock", 1.0);
    for (double price : {30.01, 30.2, 29.9, 30.05}) Row("ABC", -60.0f, {1.375, price, 0});
    EXPECT_EQ(Count("ABC", -60.0f), 4);
    ASSERT_EQ(log_->rows.size(), 4u);
    for (const auto& r : log_->rows) EXPECT_FALSE(r.replaces);
}

TEST_F(TablesTest, TablesAreKeyedBySymbolAndInterval) {
    Row("ABC", 1.0f, {1.0});
    Row("ABC", 1.0f, {2.0});
    Row("ABC", 5.0f, {1.0});
    Row("abc", 1.0f, {1.0});
    EXPECT_EQ(Count("ABC", 1.0f), 2);
    EXPECT_EQ(Count("ABC", 5.0f), 1);
    EXPECT_EQ(Count("abc", 1.0f), 1);
    EXPECT_EQ(Count("ABC", 0.0f), 0);  // never seen: created empty
    EXPECT_EQ(Count("ABC", -0.0f), 0);
}

TEST_F(TablesTest, SetupStartsTheTableAfresh) {
    lib_->ORBSETUPDATA("ABC", "A", 1.0f, 2, "Stock", 1.0);
    Row("ABC", 1.0f, {1.0, 2.0});
    Row("ABC", 1.0f, {2.0, 2.0});
    lib_->ORBSETUPDATA("ABC", "A", 1.0f, 2, "Stock", 1.0);
    EXPECT_EQ(Count("ABC", 1.0f), 0);
    Row("ABC", 1.0f, {2.0, 2.0});  // same date as the old last row: a new row all the same
    EXPECT_EQ(Count("ABC", 1.0f), 1);
    EXPECT_FALSE(log_->rows.back().replaces);
}

TEST_F(TablesTest, RowsCarryTheSetUpColumnsAndAnyBeyond) {
    lib_->ORBSETUPDATA("ABC", "A", 1.0f, 3, "Stock", 1.0);
    Row("ABC", 1.0f, {1.0});
    EXPECT_EQ(log_->rows.back().values, (std::vector<double>{1.0, 0.0, 0.0}));
    Row("ABC", 1.0f, {2.0, 3.0, 4.0, 5.0, 6.0});
    EXPECT_EQ(log_->rows.back().values, (std::vector<double>{2.0, 3.0, 4.0, 5.0, 6.0}));
    // The pending row is cleared after each commit.
    lib_->ORBCOMMITROW(T("ABC"), 1.0f);
    EXPECT_EQ(log_->rows.back().values, (std::vector<double>{0.0, 0.0, 0.0}));
}

TEST_F(TablesTest, ColumnNumbersOutOfRangeAreIgnored) {
    lib_->ORBSETUPDATA("ABC", "A", 1.0f, -5, "Stock", 1.0);
    lib_->ORBSETVALUE("ABC", 1.0f, 0, 9.0);
    lib_->ORBSETVALUE("ABC", 1.0f, -1, 9.0);
    lib_->ORBSETVALUE("ABC", 1.0f, 2'000'000'000, 9.0);
    lib_->ORBSETLABEL("ABC", 1.0f, 2'000'000'000, "huge");
    lib_->ORBSETVALUE("ABC", 1.0f, 1, 3.0);
    lib_->ORBCOMMITROW("ABC", 1.0f);
    EXPECT_EQ(log_->rows.back().values, (std::vector<double>{3.0}));
    EXPECT_TRUE(log_->labels.empty());
}

TEST_F(TablesTest, RowsWithoutASetUpCreateTheTable) {
    Row(nullptr, 1.0f, {1.0, 2.0});
    EXPECT_EQ(Count(nullptr, 1.0f), 1);
    EXPECT_EQ(Count("", 1.0f), 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Row("N", nan, {1.0});
    Row("N", nan, {2.0});
    EXPECT_EQ(Count("N", nan), 2);
}

TEST_F(TablesTest, RowCountIsReadableFromOtherThreads) {
    Row("ABC", 1.0f, {1.0});
    EXPECT_EQ(lib_->RowsOf("ABC", 1.0f), 1);
    EXPECT_EQ(lib_->RowsOf("XYZ", 1.0f), std::nullopt);
}

TEST_F(TablesTest, WithdrawingTheChannelFlushesTheStore) {
    Row("ABC", 1.0f, {1.0});
    lib_->SetDataFeedhwnd(0);
    EXPECT_GE(log_->flushes, 1);
}

TEST(Credentials, AValueThatFitsIsWrittenIntoTheStringALongerOneReplacesIt) {
    std::string euros;  // 8 characters, 24 bytes: handed over whole, never cut
    for (int i = 0; i < 8; ++i) euros += "\xe2\x82\xac";
    struct Case {
        std::string value;
        bool replaced;
        std::string bytes;  // what the caller's variable holds afterwards
    };
    for (const Case& c : {
             Case{"pw", false, "pw" + std::string(19, '\0')},
             Case{std::string(21, 'x'), false, std::string(21, 'x')},
             Case{std::string(30, 'u'), true, std::string(30, 'u')},
             Case{euros, true, euros},
         }) {
        FeedConfig config = QuietConfig();
        config.user = c.value;
        config.password = c.value;
        FeedLibrary lib(config);
        CredentialStrings strings;
        const char* before = strings.user;
        lib.GetUserIDPassword(&strings.user, &strings.password);
        EXPECT_EQ(CredentialStrings::Bytes(strings.user), c.bytes) << c.value;
        EXPECT_EQ(CredentialStrings::Bytes(strings.password), c.bytes) << c.value;
        EXPECT_EQ(strings.user != before, c.replaced) << c.value;
    }
    // No variable, or one holding no string: no fault; the latter gets a string.
    FeedConfig config = QuietConfig();
    config.user = config.password = "alice";
    FeedLibrary lib(config);
    lib.GetUserIDPassword(nullptr, nullptr);
    CredentialStrings none;
    OrbfeedStringFree(none.user);
    none.user = nullptr;
    lib.GetUserIDPassword(&none.user, &none.password);
    EXPECT_EQ(CredentialStrings::Bytes(none.user), "alice");
}

TEST(Credentials, UnknownCredentialsLeaveTheStringsAlone) {
    FeedLibrary lib(QuietConfig());
    CredentialStrings strings(std::string("as it came") + '\0');
    lib.GetUserIDPassword(&strings.user, &strings.password);
    EXPECT_EQ(CredentialStrings::Bytes(strings.user), std::string("as it came") + '\0');
    EXPECT_EQ(CredentialStrings::Bytes(strings.password), std::string(21, '\0'));
}

}  // namespace
}  // namespace orbfeed::testing
