// The rows and tables commands as the command line reaches them: options checked, exit codes.
#include "cli/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <optional>
#include <sstream>
#include <string>

#include "feedlib/store/table_store.h"
#include "tests/store/store_test_util.h"

namespace orbfeed::cli {
namespace {

using ::testing::HasSubstr;
using testing::ScratchDir;

constexpr double kJan1 = 37622.0;  // 2003-01-01

class DbCommandLine : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("feed.sqlite");
        db_.emplace("ORBFEED_DB", path_);
        // No pump answers here, whatever runs on the machine's default socket.
        socket_.emplace("ORBFEED_SOCKET", dir_.File("no-pump.sock"));
        AddCommands(app_, status_);
    }
    int Run(const std::string& line) {
        try {
            app_.parse(line);
            return 0;
        } catch (const CLI::ParseError& e) {
            std::ostringstream out;
            errors_.str("");
            return app_.exit(e, out, errors_);
        }
    }

    ScratchDir dir_;
    std::string path_;
    std::optional<testing::ScopedEnv> db_;
    std::optional<testing::ScopedEnv> socket_;
    std::ostringstream errors_;
    CLI::App app_{"orbfeed"};
    int status_ = 0;
};

TEST_F(DbCommandLine, BadArgumentsGetCli11sCode) {
    EXPECT_EQ(Run("rows ABC notanumber"), static_cast<int>(CLI::ExitCodes::ConversionError));
}

TEST_F(DbCommandLine, NegativeLastIsRefusedInOneShortLine) {
    EXPECT_NE(Run("rows ABC 1 --last -3"), 0);
    EXPECT_THAT(errors_.str(), HasSubstr("--last: expects a row count, 0 or more"));
    EXPECT_LT(errors_.str().size(), 120u) << errors_.str();
    EXPECT_NE(Run("rows ABC 1 --last 3 --from 2003-01-01"), 0);  // one or the other
}

TEST_F(DbCommandLine, MissingArgumentsAreRefused) {
    EXPECT_EQ(Run("rows"), static_cast<int>(CLI::ExitCodes::RequiredError));
}

TEST_F(DbCommandLine, MissingDatabaseExitsWithOne) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run("tables"), 1);
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr(path_));
}

TEST_F(DbCommandLine, UnknownTableExitsWithOne) {
    { TableStore::Open(path_, nullptr)->SetupTable("ABC", 1.0f, "", "", kJan1, 6); }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run("rows NOPE 1"), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "orbfeed: no table NOPE at interval 1 in " + path_ + "\n");
}

}  // namespace
}  // namespace orbfeed::cli
