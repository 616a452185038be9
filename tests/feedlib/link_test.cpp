// The command channel and the host endpoint of a library instance.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "tests/feedlib/feed_test_util.h"

namespace orbfeed::testing {
namespace {

using proto::Type;

class LinkTest : public ::testing::Test {
  protected:
    FeedConfig Config() {
        FeedConfig c = QuietConfig();
        c.socketPath = dir_.File("pump.sock");
        c.now = [this] { return clock_.Now(); };
        return c;
    }
    void Start(std::optional<FeedConfig> c = std::nullopt) {
        lib_ = std::make_unique<FeedLibrary>(c ? *c : Config());
        ASSERT_EQ(lib_->SetDataFeedhwnd(channel_.writeFd), ORBFEED_OK);
    }
    std::string Socket() const { return dir_.File("pump.sock"); }

    ScratchDir dir_;
    ManualSteadyClock clock_;
    Channel channel_;
    std::unique_ptr<FeedLibrary> lib_;
};

TEST_F(LinkTest, KnownCredentialsAreRequestedThroughTheChannel) {
    FeedConfig c = Config();
    c.user = "u";
    c.password = "p";
    Start(c);
    lib_->RequireUserIDPassword();
    EXPECT_EQ(channel_.Next(), "*****UserIDPassword*****");
}

TEST_F(LinkTest, ATextFromAToolArrivesWithItsNul) {
    Start();
    RawTool tool(Socket());
    ASSERT_TRUE(tool.Connected());
    const std::vector<std::string> texts = {"ABC!@#A!@#Stock!@#1!@#01/01/2003!@#Date/Time", "",
                                            "-dash", std::string("\xff\xfe\x80", 3),
                                            "tab\tand\nnewline"};
    for (const std::string& text : texts) {
        ASSERT_TRUE(tool.Write(SendFrame(text)));
        EXPECT_EQ(channel_.Next(), text);
        auto ack = tool.Next(Type::Ack);
        ASSERT_TRUE(ack);
        EXPECT_EQ(AckOf(*ack), proto::AckStatus::Delivered);
    }
}

TEST_F(LinkTest, AMegabyteTextIsDeliveredWhole) {
    Start();
    RawTool tool(Socket());
    std::string big(1 << 20, 'x');
    big.back() = 'y';
    ASSERT_TRUE(tool.Write(SendFrame(big)));
    EXPECT_EQ(channel_.Next(), big);
    auto ack = tool.Next(Type::Ack);
    ASSERT_TRUE(ack);
    EXPECT_EQ(AckOf(*ack), proto::AckStatus::Delivered);
}

TEST_F(LinkTest, ATextWithNulIsRejected) {
    Start();
    RawTool tool(Socket());
    ASSERT_TRUE(tool.Write(SendFrame(std::string("a\0b", 3))));
    auto ack = tool.Next(Type::Ack);
    ASSERT_TRUE(ack);
    EXPECT_EQ(AckOf(*ack), proto::AckStatus::BadText);
    EXPECT_TRUE(channel_.Empty());
}

TEST_F(LinkTest, CredentialsFromAToolAreKeptAndAnnounced) {
    Start();
    RawTool tool(Socket());
    ASSERT_TRUE(tool.Connected());
    lib_->RequireUserIDPassword();
    ASSERT_TRUE(tool.Next(Type::CredentialsRequested));
    RawTool late(Socket());  // a tool connecting later hears of the open request too
    ASSERT_TRUE(late.Next(Type::CredentialsRequested));
    ASSERT_TRUE(tool.Write(proto::Writer(Type::Credentials).Text("alice").Text("secret").Done()));
    EXPECT_EQ(channel_.Next(), "*****UserIDPassword*****");
    CredentialStrings strings;
    lib_->GetUserIDPassword(&strings.user, &strings.password);
    EXPECT_EQ(CredentialStrings::Text(strings.user), "alice");
    EXPECT_EQ(CredentialStrings::Text(strings.password), "secret");
    // Known now: a new request goes straight to the channel.
    lib_->RequireUserIDPassword();
    EXPECT_EQ(channel_.Next(), "*****UserIDPassword*****");
}

TEST_F(LinkTest, TheSocketIsOwnerOnly) {
    Start();
    struct stat st;
    ASSERT_EQ(::stat(Socket().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(LinkTest, AStaleSocketIsReplaced) {
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, Socket().c_str(), sizeof addr.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd);  // the file stays, nobody answers
    }
    Start();
    RawTool tool(Socket());
    ASSERT_TRUE(tool.Write(proto::Writer(Type::Ping).Done()));
    EXPECT_TRUE(tool.Next(Type::Pong));
}

TEST_F(LinkTest, ALiveSocketIsNotStolen) {
    Start();
    Channel other;
    FeedLibrary second(Config());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(second.SetDataFeedhwnd(other.writeFd), ORBFEED_E_ENDPOINT_BUSY);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "orbfeed: another pump is already serving " + Socket() + "\n");
    RawTool tool(Socket());
    ASSERT_TRUE(tool.Write(SendFrame("still the first")));
    EXPECT_EQ(channel_.Next(), "still the first");
    // The second library's channel works nonetheless.
    FeedConfig c = Config();
    second.SetDataFeedhwnd(0);
}

TEST_F(LinkTest, AFileInTheWayIsLeftAlone) {
    { std::ofstream(Socket()) << "mine"; }
    lib_ = std::make_unique<FeedLibrary>(Config());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(lib_->SetDataFeedhwnd(channel_.writeFd), ORBFEED_E_ENDPOINT_FAILED);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadAll(Socket()), "mine");
}

TEST_F(LinkTest, ABadHandleIsRefused) {
    FeedLibrary lib(Config());
    EXPECT_EQ(lib.SetDataFeedhwnd(-5), ORBFEED_E_BAD_HANDLE);
    EXPECT_EQ(lib.SetDataFeedhwnd(987654), ORBFEED_E_BAD_HANDLE);
}

TEST_F(LinkTest, TwoToolsHearEveryReport) {
    Start();
    RawTool a(Socket());
    RawTool b(Socket());
    ASSERT_TRUE(a.Write(proto::Writer(Type::Ping).Done()));
    ASSERT_TRUE(b.Write(proto::Writer(Type::Ping).Done()));
    ASSERT_TRUE(a.Next(Type::Pong));
    ASSERT_TRUE(b.Next(Type::Pong));
    lib_->ORBSETUPDATA("ABC", "A", 1.0f, 6, "Stock", 37622.0);
    lib_->UpdatePercent(42);
    for (RawTool* t : {&a, &b}) {
        auto table = t->Next(Type::Table);
        ASSERT_TRUE(table);
        proto::Reader r(table->payload);
        EXPECT_EQ(r.Text(), "ABC");
        EXPECT_EQ(r.F32(), 1.0f);
        EXPECT_EQ(r.I32(), 6);
        auto progress = t->Next(Type::Progress);
        ASSERT_TRUE(progress);
        proto::Reader p(progress->payload);
        EXPECT_EQ(p.I32(), 42);
        EXPECT_EQ(p.U8(), 0);
    }
}

TEST_F(LinkTest, AToolLeavingMidwayHarmsNothing) {
    Start();
    {
        RawTool quitter(Socket());
        std::string frame = SendFrame("never finished");
        ASSERT_TRUE(quitter.Write(frame.substr(0, frame.size() / 2)));
    }
    RawTool tool(Socket());
    ASSERT_TRUE(tool.Write(SendFrame("next")));
    EXPECT_EQ(channel_.Next(), "next");
}

TEST_F(LinkTest, AFramingErrorClosesOnlyThatConnection) {
    Start();
    const std::vector<std::string> bad = {
        std::string("\0\0\0\0", 4),                         // empty frame
        std::string("\x01\x00\x00\x01\x01", 5),             // above 16 MiB
        proto::Writer(Type::Progress).I32(1).U8(0).Done(),  // not a tool's message
        proto::Writer(Type::Send).U32(100).Done(),          // text shorter than said
        proto::Writer(Type::Ping).U8(1).Done(),             // trailing bytes
    };
    RawTool good(Socket());
    for (const std::string& b : bad) {
        RawTool broken(Socket());
        ASSERT_TRUE(broken.Write(b));
        EXPECT_TRUE(broken.ClosedByPeer());
        ASSERT_TRUE(good.Write(proto::Writer(Type::Ping).Done()));
        EXPECT_TRUE(good.Next(Type::Pong));
    }
}

TEST_F(LinkTest, QueryRowsAnswersTheAskingTool) {
    Start();
    lib_->ORBSETVALUE("ABC", 1.0f, 1, 1.0);
    lib_->ORBCOMMITROW("ABC", 1.0f);
    RawTool tool(Socket());
    ASSERT_TRUE(tool.Write(proto::Writer(Type::QueryRows).Text("ABC").F32(1.0f).Done()));
    auto rows = tool.Next(Type::Rows);
    ASSERT_TRUE(rows);
    proto::Reader r(rows->payload);
    EXPECT_EQ(r.Text(), "ABC");
    EXPECT_EQ(r.F32(), 1.0f);
    EXPECT_EQ(r.U8(), 1);
    EXPECT_EQ(r.I64(), 1);
}

// Withdrawing the channel tells the tools and removes the socket; the tools' connections stay
// open until the library is taken down (the pump's end), which a tool waiting for that end sees.
TEST_F(LinkTest, WithdrawingTellsTheToolsAndRemovesTheSocket) {
    Start();
    RawTool tool(Socket());
    ASSERT_TRUE(tool.Write(proto::Writer(Type::Ping).Done()));
    ASSERT_TRUE(tool.Next(Type::Pong));
    EXPECT_EQ(lib_->SetDataFeedhwnd(0), ORBFEED_OK);
    EXPECT_TRUE(tool.Next(Type::ChannelWithdrawn));
    EXPECT_FALSE(std::filesystem::exists(Socket()));
    // And it can be registered again.
    EXPECT_EQ(lib_->SetDataFeedhwnd(channel_.writeFd), ORBFEED_OK);
    RawTool again(Socket());
    ASSERT_TRUE(again.Write(SendFrame("back")));
    EXPECT_EQ(channel_.Next(), "back");
    lib_.reset();
    EXPECT_TRUE(tool.ClosedByPeer());
    EXPECT_TRUE(again.ClosedByPeer());
}

TEST_F(LinkTest, AClosedChannelFailsTheTextInsteadOfHanging) {
    Start();
    ::shutdown(channel_.readFd, SHUT_RDWR);
    RawTool tool(Socket());
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(tool.Write(SendFrame("nobody reads")));
    auto ack = tool.Next(Type::Ack);
    ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ack);
    EXPECT_EQ(AckOf(*ack), proto::AckStatus::NoChannel);
}

TEST_F(LinkTest, AFullChannelNeverBlocksTheCalls) {
    Start();
    RawTool tool(Socket());
    // Far more than the socket buffer holds while nobody reads the channel.
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(tool.Write(SendFrame(std::string(1 << 20, 'a' + i))));
    lib_->UpdatePercent(5);  // returns at once
    lib_->RequireUserIDPassword();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(channel_.Next(), std::string(1 << 20, 'a' + i));
}

TEST_F(LinkTest, TheFinalReportReachesTheTools) {
    Start();
    RawTool tool(Socket());
    ASSERT_TRUE(tool.Write(SendFrame("ABC!@#A!@#Stock!@#1!@#01/01/2003!@#Date/Time")));
    ASSERT_EQ(channel_.Next(), "ABC!@#A!@#Stock!@#1!@#01/01/2003!@#Date/Time");
    ASSERT_TRUE(tool.Next(Type::Ack));
    lib_->ORBSETUPDATA("ABC", "A", 1.0f, 1, "Stock", 37622.0);
    for (int i = 0; i < 100; ++i) {
        lib_->ORBSETVALUE("ABC", 1.0f, 1, 37622.375 + i);
        lib_->ORBCOMMITROW("ABC", 1.0f);
    }
    lib_->UpdatePercent(100);  // the transfer's own
    clock_.Advance(1s);
    lib_->UpdatePercent(100);  // the completion
    std::vector<std::pair<int32_t, int>> seen;
    for (int i = 0; i < 2; ++i) {
        auto f = tool.Next(Type::Progress);
        ASSERT_TRUE(f);
        proto::Reader r(f->payload);
        const int32_t p = r.I32();
        seen.emplace_back(p, r.U8());
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int32_t, int>>{{100, 0}, {100, 1}}));
    auto rows = tool.Next(Type::Rows);
    ASSERT_TRUE(rows);
    proto::Reader r(rows->payload);
    EXPECT_EQ(r.Text(), "ABC");
    r.F32();
    r.U8();
    EXPECT_EQ(r.I64(), 100);
}

}  // namespace
}  // namespace orbfeed::testing
