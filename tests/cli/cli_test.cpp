// The orbfeed tool, run as a process against a library instance inside the test.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "cli/host_commands.h"
#include "tests/feedlib/feed_test_util.h"

extern char** environ;

namespace orbfeed::testing {
namespace {

// A run of the tool with its output captured.
class ToolRun {
  public:
    ToolRun(const std::vector<std::string>& args, const std::string& socketPath) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "ORBFEED_", 8) != 0) env.emplace_back(*e);
        }
        env.push_back("ORBFEED_SOCKET=" + socketPath);
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        std::vector<char*> argv{const_cast<char*>(ORBFEED_TOOL)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        if (::posix_spawn(&pid_, ORBFEED_TOOL, &fa, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~ToolRun() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }
    // Waits for the exit, collecting output; the exit status, or -1 when it is still running
    // at the deadline.
    int Wait(std::chrono::milliseconds limit = Deadline(10s)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (status_ < 0) {
            Drain(20);
            int st = 0;
            if (::waitpid(pid_, &st, WNOHANG) == pid_) {
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) return -1;
        }
        while (Drain(0)) {
        }
        return status_;
    }
    // Reads what the tool wrote so far (waiting up to ms); whether anything came.
    bool Drain(int ms) {
        pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (::poll(p, 2, ms) <= 0) return false;
        bool any = false;
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = ::read(p[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? out : err).append(buf, static_cast<size_t>(n));
                any = true;
            }
        }
        return any;
    }
    std::string out;
    std::string err;

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = -1;
};

class ToolTest : public ::testing::Test {
  protected:
    void StartPump(const std::string& storePath = ":none:") {
        FeedConfig c = QuietConfig();
        c.storePath = storePath;
        c.socketPath = Socket();
        c.now = [this] { return clock_.Now(); };
        lib_ = std::make_unique<FeedLibrary>(c);
        ASSERT_EQ(lib_->SetDataFeedhwnd(channel_.writeFd), 0);
    }
    std::string Socket() const { return dir_.File("pump.sock"); }

    ScratchDir dir_;
    ManualSteadyClock clock_;
    Channel channel_;
    std::unique_ptr<FeedLibrary> lib_;
};

TEST_F(ToolTest, BadArgumentsFail) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"nonsense"},
        {"unload", "--timeout", "0"},
        {"send"},
        {"request"},
        {"request", "ABC", "--interval", "abc"},
        {"remove", "ABC"},
        {"credentials", "--user", "u"},
        {"send", "a", "--file", "f"},
    };
    for (const auto& args : cases) {
        ToolRun run(args, Socket());
        const int status = run.Wait();
        EXPECT_NE(status, 0) << ::testing::PrintToString(args);
        EXPECT_NE(status, -1) << ::testing::PrintToString(args);
    }
}

TEST_F(ToolTest, NoPumpFailsAtOnceNamingTheSocket) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"send", "x"}, {"unload"}, {"request", "ABC"}, {"remove", "ABC", "1"}}) {
        ToolRun run(args, Socket());
        EXPECT_EQ(run.Wait(), 1);
        EXPECT_NE(run.err.find(Socket()), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

TEST_F(ToolTest, SendDeliversTheTextAsItStands) {
    StartPump();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"send", "ABC!@#A!@#Stock!@#1!@#01/01/2003!@#Date/Time"},
         "ABC!@#A!@#Stock!@#1!@#01/01/2003!@#Date/Time"},
        {{"send", "--", "-starts with a dash"}, "-starts with a dash"},
        {{"send", ""}, ""},
        {{"send", "\xc3\x28 invalid utf-8"}, "\xc3\x28 invalid utf-8"},
    };
    for (const auto& [args, text] : cases) {
        ToolRun run(args, Socket());
        EXPECT_EQ(channel_.Next(), text);
        EXPECT_EQ(run.Wait(), 0) << run.err;
    }
}

TEST_F(ToolTest, SendFromAFileTakesAMegabyteAndRefusesNul) {
    StartPump();
    std::string big(1 << 20, 'q');
    { std::ofstream(dir_.File("big.txt"), std::ios::binary) << big; }
    {
        ToolRun run({"send", "--file", dir_.File("big.txt")}, Socket());
        EXPECT_EQ(channel_.Next(), big);
        EXPECT_EQ(run.Wait(), 0) << run.err;
    }
    { std::ofstream(dir_.File("nul.txt"), std::ios::binary) << std::string("a\0b", 3); }
    ToolRun run({"send", "--file", dir_.File("nul.txt")}, Socket());
    EXPECT_EQ(run.Wait(), 1);
    EXPECT_NE(run.err.find("NUL"), std::string::npos) << run.err;
    EXPECT_TRUE(channel_.Empty());
}

TEST_F(ToolTest, CredentialsReachThePump) {
    StartPump();
    ToolRun run({"credentials", "--user", "alice", "--password", "s3cret"}, Socket());
    EXPECT_EQ(channel_.Next(), "*****UserIDPassword*****");
    EXPECT_EQ(run.Wait(), 0) << run.err;
    CredentialStrings strings;
    lib_->GetUserIDPassword(&strings.user, &strings.password);
    EXPECT_EQ(CredentialStrings::Text(strings.user), "alice");
    EXPECT_EQ(CredentialStrings::Text(strings.password), "s3cret");
}

// The order of events: the command reaches the pump, the pump withdraws its channel (its last
// library call), and only then does the tool end. The withdrawal comes after the tool has had
// ample time to end had it not waited (it ends within milliseconds of the acknowledgement).
TEST_F(ToolTest, UnloadReturnsOnlyAfterThePumpWithdrewItsChannel) {
    StartPump();
    ToolRun run({"unload"}, Socket());
    ASSERT_EQ(channel_.Next(), "*****UnloadEXE*****");
    ASSERT_EQ(run.Wait(Deadline(500ms)), -1)
        << "unload ended before the pump withdrew: " << run.err;
    lib_->SetDataFeedhwnd(0);
    lib_.reset();  // the library is taken down at the pump's end
    EXPECT_EQ(run.Wait(), 0) << run.err;
}

// A pump that withdrew its channel but does not end: unload gives up at its deadline and says so.
TEST_F(ToolTest, UnloadSaysWhenThePumpDoesNotEnd) {
    StartPump();
    ToolRun run({"unload", "--timeout", "1"}, Socket());
    EXPECT_EQ(channel_.Next(), "*****UnloadEXE*****");
    lib_->SetDataFeedhwnd(0);
    EXPECT_EQ(run.Wait(), cli::kExitFailed);
    EXPECT_EQ(run.err, "orbfeed: the pump withdrew its channel but has not ended after 1 s\n");
}

// The pump side of a history request: set-up, three rows with progress, the completion report.
void ServeThreeRows(FeedLibrary& lib, ManualSteadyClock& clock) {
    lib.ORBSETUPDATA("ABC", "Alpha", 1.0f, 6, "Stock", 45293.0);
    for (int i = 0; i < 3; ++i) {
        lib.ORBSETVALUE("ABC", 1.0f, 1, 45293.375 + i / 1440.0);
        lib.ORBCOMMITROW("ABC", 1.0f);
        lib.UpdatePercent(33 * (i + 1));
    }
    clock.Advance(1s);
    lib.UpdatePercent(100);
}

TEST_F(ToolTest, RequestShowsProgressAndTheRowCount) {
    StartPump(dir_.File("feed.sqlite"));
    ToolRun run(
        {"request", "ABC", "--interval", "5", "--start", "2024-01-02", "--description", "Alpha"},
        Socket());
    ASSERT_EQ(channel_.Next(),
              "ABC!@#Alpha!@#Stock!@#5!@#2024-01-02!@#Date/Time,Open,High,Low,Close,Volume");
    // The pump serves an interval above one minute as one minute.
    ServeThreeRows(*lib_, clock_);
    EXPECT_EQ(run.Wait(), 0) << run.err;
    EXPECT_EQ(run.out,
              "ABC: interval 5 is served as 1 (the pump serves intervals above one minute as one "
              "minute)\nprogress 33%\nprogress 66%\nprogress 99%\nprogress 100%\n"
              "ABC at interval 1: 3 rows\n");
}

// The row count comes from what the store holds: a store that cannot be written makes the
// request fail with the store's own message, after one prefix.
TEST_F(ToolTest, RequestReportsWhatTheStoreHolds) {
    { std::ofstream(dir_.File("not-a-db.sqlite")) << std::string(8192, 'x'); }
    struct Case {
        std::string store;
        int exitCode;
        std::string out;  // the last line
        std::string err;
    };
    const Case cases[] = {
        {dir_.File("feed.sqlite"), 0, "ABC at interval 1: 3 rows\n", ""},
        {":none:", 0,
         "ABC at interval 1: 3 rows sent, none kept (the pump's library keeps no store)\n", ""},
        {dir_.File("not-a-db.sqlite"), cli::kExitFailed, "progress 100%\n",
         "orbfeed: ABC at interval 1: 0 of 3 rows stored: cannot write the table store " +
             dir_.File("not-a-db.sqlite") + ": file is not a database\n"},
    };
    for (const Case& c : cases) {
        StartPump(c.store);
        ToolRun run({"request", "ABC", "--start", "2024-01-02"}, Socket());
        ASSERT_TRUE(channel_.Next());
        ServeThreeRows(*lib_, clock_);
        EXPECT_EQ(run.Wait(), c.exitCode) << c.store << run.err;
        EXPECT_TRUE(run.out.size() >= c.out.size() &&
                    run.out.compare(run.out.size() - c.out.size(), c.out.size(), c.out) == 0)
            << c.store << ": " << run.out;
        EXPECT_EQ(run.err, c.err) << c.store;
        lib_.reset();
    }
}

TEST_F(ToolTest, RequestWithoutDataSaysSo) {
    StartPump();
    ToolRun run({"request", "ABC", "--interval", "0.5"}, Socket());
    const auto text = channel_.Next();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("ABC!@#ABC!@#Stock!@#0.5!@#", 0), 0u) << *text;
    clock_.Advance(1s);
    lib_->UpdatePercent(100);
    EXPECT_EQ(run.Wait(), cli::kExitNoData) << run.err;
    EXPECT_NE(run.err.find("no data came for ABC at interval 0.5"), std::string::npos) << run.err;
}

// Input the pump cannot serve is refused with one line before anything is sent.
TEST_F(ToolTest, RequestRefusesWhatCannotBeServed) {
    StartPump();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"request", ""}, "the symbol is blank"},
        {{"request", "  "}, "the symbol is blank"},
        {{"request", "A!@#B"}, "the symbol A!@#B contains the field separator"},
        {{"request", "ABC", "--category", "X!@#Y"}, "the category X!@#Y contains the field"},
        {{"request", "ABC", "--interval", "nan"}, "--interval nan is no number of minutes"},
        {{"request", "ABC", "--interval", "inf"}, "--interval inf is no number of minutes"},
        {{"request", "ABC", "--start", "soon"}, "--start soon: not a date"},
        {{"request", "ABC", "--start", "1850-01-01 10:00"}, "not a date"},
        {{"request", "ABC", "--start", "9999-12-31"}, "lies after the program's clock"},
    };
    for (const auto& [args, message] : cases) {
        ToolRun run(args, Socket());
        EXPECT_EQ(run.Wait(), cli::kExitRefused) << args[1];
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_TRUE(channel_.Empty());
}

// remove says whether a table the pump serves matched: the library follows the pump's list.
TEST_F(ToolTest, RemoveSaysWhetherAServedTableMatched) {
    StartPump();
    lib_->ORBSETUPDATA("ABC", "Alpha", 1.0f, 6, "Stock", 45293.0);
    lib_->ORBSETUPDATA("XYZ", "Xylo", -1.0f, 3, "Stock", 45293.0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"remove", "ABC", "5"},
         cli::kExitNoData,
         "no table ABC at interval 5 (nor at its negation); nothing removed; it serves ABC at 1 "
         "(a requested interval above 1 is served as 1)"},
        {{"remove", "XYZ", "1"}, cli::kExitOk, "XYZ at interval -1: no longer served"},
        {{"remove", "ABC", "1"}, cli::kExitOk, "ABC at interval 1: no longer served"},
        {{"remove", "ABC", "1"}, cli::kExitNoData, "no table ABC at interval 1"},
        {{"remove", "NOPE", "1"}, cli::kExitNoData, "no table NOPE at interval 1"},
    };
    for (const Case& c : cases) {
        ToolRun run(c.args, Socket());
        EXPECT_EQ(channel_.Next(), "*****RemoveTicker*****!@#" + c.args[1] + "!@#" + c.args[2]);
        EXPECT_EQ(run.Wait(), c.exitCode) << c.message;
        EXPECT_NE((c.exitCode == 0 ? run.out : run.err).find(c.message), std::string::npos)
            << run.out << run.err;
    }
}

// The tool's own mistakes: a word that names no subcommand is named, with the subcommands.
TEST_F(ToolTest, UnknownSubcommandsAndHelp) {
    const std::string list =
        "send, unload, credentials, remove, request, tables, rows, drop, "
        "chart, view, help";
    ToolRun typo({"tabels"}, Socket());
    EXPECT_EQ(typo.Wait(), cli::kExitRefused);
    EXPECT_NE(typo.err.find("unknown subcommand tabels; the subcommands are " + list),
              std::string::npos)
        << typo.err;
    ToolRun help({"help"}, Socket());
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_NE(help.out.find("drop"), std::string::npos) << help.out;
    ToolRun helpRows({"help", "rows"}, Socket());
    EXPECT_EQ(helpRows.Wait(), 0);
    EXPECT_NE(helpRows.out.find("--from"), std::string::npos) << helpRows.out;
}

TEST_F(ToolTest, RequestFailsWhenThePumpGoes) {
    StartPump();
    ToolRun run({"request", "ABC"}, Socket());
    ASSERT_TRUE(channel_.Next());
    lib_->SetDataFeedhwnd(0);
    EXPECT_EQ(run.Wait(), 1);
}

TEST(RequestText, JoinsTheFieldsWithTheSeparator) {
    EXPECT_EQ(cli::RequestText("A", "B", "C", "1", "2024-01-01", "Date/Time"),
              "A!@#B!@#C!@#1!@#2024-01-01!@#Date/Time");
}

TEST(ServedInterval, AboveOneMinuteIsOneMinute) {
    EXPECT_EQ(cli::ServedInterval(5), 1.0f);
    EXPECT_EQ(cli::ServedInterval(1), 1.0f);
    EXPECT_EQ(cli::ServedInterval(0.5), 0.5f);
    EXPECT_EQ(cli::ServedInterval(0), 0.0f);
    EXPECT_EQ(cli::ServedInterval(-60), -60.0f);
}

}  // namespace
}  // namespace orbfeed::testing
