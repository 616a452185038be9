#include "host/loaded_host_feed.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/dynamic_library.h"
#include "platform/paths.h"
#include "tests/support/test_folder.h"

namespace tarnwick {
namespace {

TEST(LoadedHostFeed, ResolvesEveryOperationAndPassesTextsAsBuffers) {
    auto feed = LoadedHostFeed::Load(FAKE_WHOLE_DIR);
    EXPECT_EQ(feed->Path(), platform::JoinPath(FAKE_WHOLE_DIR, FeedLibraryFileName));
    EXPECT_EQ(feed->SetDataFeedhwnd(5), 1);
    EXPECT_EQ(feed->RequireUserIDPassword(), 2);
    EXPECT_EQ(feed->UpdatePercent(42), 42);
    std::string symbol = "ABC", description = "Alpha", category = "Stock", label = "Close";
    EXPECT_EQ(feed->ORBSETUPDATA(symbol, description, 1.0f, 6, category, 37622.0), 6);
    EXPECT_EQ(symbol, "ZBC");  // what the library left in the buffer
    EXPECT_EQ(feed->ORBSETLABEL(symbol, 1.0f, 3, label), 3);
    EXPECT_EQ(feed->ORBSETVALUE(symbol, 1.0f, 2, 30.01), 2);
    EXPECT_EQ(feed->ORBCOMMITROW(symbol, 1.0f), 7);
    EXPECT_EQ(feed->ORBGETNUMROWS2(symbol, 1.0f, 1.0f, 0, 0), 40);
}

TEST(LoadedHostFeed, CredentialsComeBackAsTheStringsTheLibraryLeft) {
    auto feed = LoadedHostFeed::Load(FAKE_WHOLE_DIR);
    std::string reason;
    auto fake = platform::LoadLibraryAt(feed->Path(), reason);  // the same module again
    ASSERT_NE(fake, nullptr) << reason;
    auto mode =
        reinterpret_cast<void(ORBFEED_CALL*)(int32_t)>(fake->Resolve("FakeCredentialsMode", 4));
    auto received = reinterpret_cast<int32_t(ORBFEED_CALL*)(void)>(
        fake->Resolve("FakeReceivedCredentialBytes", 0));
    ASSERT_TRUE(mode != nullptr && received != nullptr);
    struct Case {
        std::string user, password;  // as the fake's modes 0 to 3 leave them
    };
    const Case cases[] = {
        {std::string("abc") + '\0' + std::string(17, 'u'), std::string(21, 'p')},  // written into
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "abcdefghijklmnopqrstuvwxyz0123"},  // replaced, longer
        {"ab", "pw"},                                                          // replaced, shorter
        {std::string(21, '\0'), std::string(21, '\0')},                        // left alone
    };
    for (int32_t m = 0; m < 4; ++m) {
        mode(m);
        std::string user(21, '\0'), password(21, '\0');
        EXPECT_EQ(feed->GetUserIDPassword(user, password), 3) << m;
        EXPECT_EQ(received(), 21) << m;  // a string of 21 zero bytes went in
        EXPECT_EQ(user, cases[m].user) << m;
        EXPECT_EQ(password, cases[m].password) << m;
    }
}

TEST(LoadedHostFeed, AMissingOperationIsNamed) {
    try {
        LoadedHostFeed::Load(FAKE_PARTIAL_DIR);
        FAIL() << "a library without ORBCOMMITROW was accepted";
    } catch (const FeedLibraryError& e) {
        EXPECT_NE(std::string(e.what()).find("lacks the operation ORBCOMMITROW"), std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find(FAKE_PARTIAL_DIR), std::string::npos) << e.what();
    }
}

TEST(LoadedHostFeed, AMissingLibraryNamesThePathTried) {
    try {
        LoadedHostFeed::Load("/nonexistent-folder", "ORBFEED_absent");
        FAIL() << "a missing library was accepted";
    } catch (const FeedLibraryError& e) {
        EXPECT_NE(
            std::string(e.what()).find(platform::JoinPath("/nonexistent-folder", "ORBFEED_absent")),
            std::string::npos)
            << e.what();
    }
}

#ifndef _WIN32
// An installed program (bin/) finds the library in its private folder (lib/tarnwick/) when none
// lies beside it; one beside it still wins, as in the build folder.
TEST(LoadedHostFeed, TheCopyBesideTheProgramWinsThenThePrivateFolder) {
    namespace fs = std::filesystem;
    const fs::path root = testing::FreshTestFolder("loaded_feed_");
    fs::create_directories(root / "bin");
    fs::create_directories(root / "lib" / "tarnwick");
    const fs::path name = FeedLibraryFileName;
    fs::copy_file(fs::path(FAKE_WHOLE_DIR) / name, root / "lib" / "tarnwick" / name);
    const std::string bin = (root / "bin").string();

    auto installed = LoadedHostFeed::Load(bin, FeedLibraryFileName, {}, "../lib/tarnwick");
    EXPECT_EQ(installed->Path(), (root / "lib" / "tarnwick" / name).string());

    // Beside the program: the partial library, which is refused, so it must be the one tried.
    fs::copy_file(fs::path(FAKE_PARTIAL_DIR) / name, root / "bin" / name);
    EXPECT_THROW(LoadedHostFeed::Load(bin, FeedLibraryFileName, {}, "../lib/tarnwick"),
                 FeedLibraryError);
}
#endif

}  // namespace
}  // namespace tarnwick
