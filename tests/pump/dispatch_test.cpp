// The command channel: which text is which command, emptying the field, credentials, unload.
#include <fstream>

#include "tests/pump/pump_fixture.h"
#include "tests/support/fixed_date_locales.h"
#include "tickers/list_file.h"

namespace tarnwick::testing {
namespace {

using Dispatch = PumpTest;

TEST_F(Dispatch, EmptyTextCallsNothingAndWritesNothing) {
    shell.Send("");
    EXPECT_TRUE(feed.calls.empty());
    EXPECT_EQ(shell.channelWrites, 1);  // only the test's own write
}

TEST_F(Dispatch, EveryCommandButUnloadEmptiesTheFieldAndTheEmptyingStopsThere) {
    shell.Send("*****UserIDPassword*****");
    EXPECT_EQ(shell.channel, "");
    EXPECT_EQ(shell.channelWrites, 2);
    shell.Send("*****RemoveTicker*****!@#ABC!@#1");
    EXPECT_EQ(shell.channel, "");
    EXPECT_EQ(shell.channelWrites, 4);
}

TEST_F(Dispatch, OnlyTheExactMarkersAreTheirCommands) {
    struct Case {
        std::string text;
        bool credentials;
    };
    for (const Case& c :
         {Case{"*****UserIDPassword*****", true}, Case{"*****UserIDPassword***** ", false},
          Case{"*****useridpassword*****", false}, Case{" *****UserIDPassword*****", false}}) {
        feed.calls.clear();
        shell.Send(c.text);
        EXPECT_EQ(Count("GetUserIDPassword"), c.credentials ? 1 : 0) << c.text;
        // Anything that is no marker is a history request: it ends with the completion report.
        EXPECT_EQ(Count("UpdatePercent"), c.credentials ? 0 : 1) << c.text;
    }
    shell.Send("*****unloadexe*****");
    shell.Send("*****UnloadEXE***** ");
    EXPECT_EQ(shell.unloads, 0);
}

TEST_F(Dispatch, RemoveMarkerAnywhereIsTheRemoveCommand) {
    shell.Send(Request("ABC", "1"));
    ASSERT_EQ(pump.List().EntryCount(), 1);
    feed.calls.clear();
    shell.Send("junk before *****RemoveTicker*****!@#ABC!@#1");
    EXPECT_EQ(pump.List().EntryCount(), 0);
    EXPECT_TRUE(feed.calls.empty());  // removal calls no host operation
}

TEST_F(Dispatch, UnloadClosesThroughTheNormalPathAndLeavesTheField) {
    shell.Send(Request("ABC", "1"));
    feed.calls.clear();
    shell.Send("*****UnloadEXE*****");
    EXPECT_EQ(shell.unloads, 1);
    EXPECT_EQ(shell.unloadStatus, 0);
    EXPECT_EQ(shell.channel, "*****UnloadEXE*****");
    ASSERT_FALSE(feed.calls.empty());
    EXPECT_EQ(feed.calls.back(), "SetDataFeedhwnd\t0");
    std::ifstream in(ListFilePath(folder.string()), std::ios::binary);
    std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(line, "ABC!@#Alpha!@#Stock!@#01/01/2003!@#1\r\n");
}

struct CredentialCase {
    const char* name;
    std::function<void(std::string&)> fill;
    std::string shown;
};

TEST_F(Dispatch, CredentialsAreFittedToTwentyOneCharacters) {
    const std::vector<CredentialCase> cases = {
        {"left as NULs", [](std::string&) {}, ""},
        {"abc in the buffer", [](std::string& s) { s.replace(0, 3, "abc"); }, "abc"},
        {"replaced by 30 characters", [](std::string& s) { s = "123456789012345678901234567890"; },
         "123456789012345678901"},
        {"replaced by ab: filled up with spaces", [](std::string& s) { s = "ab"; },
         "ab" + std::string(19, ' ')},
        {"replaced by a shorter non-ASCII text: filled up by characters",
         [](std::string& s) { s = "Jos\xc3\xa9"; }, "Jos\xc3\xa9" + std::string(17, ' ')},
        {"multi-byte characters count once",
         [](std::string& s) { s = std::string(22, 'x').replace(0, 2, "\xc3\xa9"); },
         "\xc3\xa9" + std::string(20, 'x')},
        {"Jos\xc3\xa9 in the buffer comes back exactly",
         [](std::string& s) { s.replace(0, 5, "Jos\xc3\xa9"); }, "Jos\xc3\xa9"},
        {"a long non-ASCII value is cut between characters",
         [](std::string& s) {
             s.clear();
             for (int i = 0; i < 25; ++i) s += "\xe2\x82\xac";  // the euro sign, 3 bytes
         },
         [] {
             std::string euros;
             for (int i = 0; i < 21; ++i) euros += "\xe2\x82\xac";
             return euros;
         }()},
        {"the text ends at the library's NUL", [](std::string& s) { s = std::string("ab\0cd", 5); },
         "ab"},
        {"a buffer filled to its closing NUL is not padded",
         [](std::string& s) {
             s = "x";
             for (int i = 0; i < 10; ++i) s += "\xc3\xa9";
             s += '\0';
         },
         [] {
             std::string x = "x";
             for (int i = 0; i < 10; ++i) x += "\xc3\xa9";
             return x;
         }()},
    };
    for (const auto& c : cases) {
        feed.credentials = [&](std::string& user, std::string& pass) {
            EXPECT_EQ(user, std::string(21, '\0'));
            EXPECT_EQ(pass, std::string(21, '\0'));
            c.fill(user);
            pass = "pw";
        };
        shell.log.clear();
        shell.Send("*****UserIDPassword*****");
        EXPECT_EQ(shell.panel1, "UserID: " + c.shown) << c.name;
        EXPECT_EQ(shell.panel2, "Password: pw" + std::string(19, ' ')) << c.name;
        EXPECT_EQ(shell.log, (std::vector<std::string>{"panel 1", "panel 2"}));
    }
}

TEST_F(Dispatch, LoadRegistersTheChannelThenAsksForCredentials) {
    pump.Form_Load(42);
    EXPECT_EQ(feed.calls,
              (std::vector<std::string>{"SetDataFeedhwnd\t42", "RequireUserIDPassword"}));
    EXPECT_EQ(pump.Prices().Generator().LastPrice, 30.0);
}

TEST_F(Dispatch, UnloadWithAnUnchangedListLeavesTheOldFile) {
    const std::string path = ListFilePath(folder.string());
    { std::ofstream(path, std::ios::binary) << "old bytes\r\n"; }
    shell.Send("*****RemoveTicker*****!@#ABC!@#1");  // the only change: does not mark the list
    EXPECT_EQ(pump.Form_Unload(), 0);
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "old bytes\r\n");
    EXPECT_EQ(feed.calls.back(), "SetDataFeedhwnd\t0");
}

TEST_F(Dispatch, AListThatCannotBeWrittenIsReportedAndTheChannelStillWithdrawn) {
    DataPump stranded(feed, clock, shell, EnUSLocale(), (folder / "gone" / "deeper").string());
    shell.pump = &stranded;
    shell.Send(Request("ABC", "1"));
    feed.calls.clear();
    EXPECT_EQ(stranded.Form_Unload(), 1);
    EXPECT_EQ(feed.calls, (std::vector<std::string>{"SetDataFeedhwnd\t0"}));
    ASSERT_EQ(shell.diagnostics.size(), 1u);
    EXPECT_NE(shell.diagnostics[0].find("Tarnwick List.DAT"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::testing
