// The platform layer as the core uses it: path arithmetic, the atomic replace and its failures,
// the code page at the feed library, the clock's zone offset, and the binding's export names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/loaded_host_feed.h"
#include "platform/atomic_file.h"
#include "platform/code_page.h"
#include "platform/dynamic_library.h"
#include "platform/paths.h"
#include "pricedata/feed_clock.h"
#include "tests/support/test_folder.h"
#ifdef _WIN32
#include "platform/win32_clock.h"
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

using testing::ReadFile;

class TempFolder : public ::testing::Test {
  protected:
    void SetUp() override { folder = testing::FreshTestFolder("tarnwick-platform-"); }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(folder / "list.dat", fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove_all(folder, ec);
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    fs::path folder;
};

TEST(Paths, FolderOfDropsTheNameAndOneSeparator) {
    struct Case {
        const char* path;
        const char* folder;
    };
    const Case cases[] = {
        {"/opt/t/tarnwick", "/opt/t"},
        {"/tarnwick", ""},
        {"tarnwick", ""},
#ifdef _WIN32
        {"C:\\tarnwick.exe", "C:"},
        {"C:\\Programs\\Tarnwick\\tarnwick.exe", "C:\\Programs\\Tarnwick"},
        {"C:/mixed\\tarnwick.exe", "C:/mixed"},
#endif
    };
    for (const Case& c : cases) EXPECT_EQ(platform::FolderOf(c.path), c.folder) << c.path;
    const std::string root = platform::FolderOf(platform::JoinPath("C:", "tarnwick.exe"));
    EXPECT_EQ(platform::JoinPath(root, "Tarnwick List.DAT"),
              std::string("C:") + platform::PathSeparator + "Tarnwick List.DAT");
    EXPECT_FALSE(platform::ProgramFilePath().empty());
}

TEST_F(TempFolder, ReplaceWritesANewFileAndReplacesAnExistingOne) {
    const std::string path = (folder / "list.dat").string();
    ASSERT_TRUE(platform::ReplaceFileAtomically(path, "first\r\n").ok);
    EXPECT_EQ(ReadFile(path), "first\r\n");
    const platform::ReplaceResult r = platform::ReplaceFileAtomically(path, "second");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(ReadFile(path), "second");
    EXPECT_EQ(Entries(), 1u);  // no temporary file left
}

TEST_F(TempFolder, AFailedReplaceKeepsTheOldFileAndSaysWhy) {
    // A read-only file cannot be replaced (on POSIX the folder's permissions decide instead, so
    // only the missing folder is checked there).
    const fs::path file = folder / "list.dat";
    { std::ofstream(file, std::ios::binary) << "old"; }
#ifdef _WIN32
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
    platform::ReplaceResult r = platform::ReplaceFileAtomically(file.string(), "new");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(file.string() + ": cannot replace the file: "), std::string::npos)
        << r.error;
    EXPECT_EQ(ReadFile(file), "old");
    EXPECT_EQ(Entries(), 1u);
#endif
    const std::string gone = (folder / "gone" / "list.dat").string();
    platform::ReplaceResult r2 = platform::ReplaceFileAtomically(gone, "new");
    EXPECT_FALSE(r2.ok);
    EXPECT_NE(r2.error.find(gone + ": cannot create a temporary file: "), std::string::npos)
        << r2.error;
    EXPECT_GT(r2.error.size(), gone.size() + 34);  // the system's reason follows
    EXPECT_EQ(ReadFile(file), "old");
}

TEST(CodePage, TextsCrossInTheCodePageAndBack) {
    const platform::CodePage cp1252{1252};
    if (platform::IsUtf8(cp1252)) {
        // Outside Windows every code page is UTF-8: nothing changes.
        EXPECT_EQ(platform::ToCodePage("caf\xc3\xa9", cp1252), "caf\xc3\xa9");
        return;
    }
    struct Case {
        const char* utf8;
        const char* bytes;
    };
    const Case cases[] = {
        {"ABC", "ABC"},
        {"caf\xc3\xa9", "caf\xe9"},
        {"\xe2\x82\xac 5", "\x80 5"},     // the euro sign is 0x80 in code page 1252
        {"snow \xe2\x98\x83", "snow ?"},  // not in the code page: its default character
    };
    for (const Case& c : cases) EXPECT_EQ(platform::ToCodePage(c.utf8, cp1252), c.bytes) << c.utf8;
    EXPECT_EQ(platform::FromCodePage("caf\xe9", cp1252), "caf\xc3\xa9");
    EXPECT_EQ(platform::FromCodePage(std::string("\xe8\0x", 3), cp1252),
              std::string("\xc3\xa8\0x", 4));
}

TEST(CodePage, ADescriptionReachesTheLibraryInItsCodePageAndComesBack) {
    const platform::CodePage cp1252{1252};
    auto feed = LoadedHostFeed::Load(FAKE_WHOLE_DIR, FeedLibraryFileName, cp1252);
    std::string reason;
    auto raw = platform::LoadLibraryAt(feed->Path(), reason);
    ASSERT_NE(raw, nullptr) << reason;
    using LastText = const char*(ORBFEED_CALL*)(void);
    auto lastDescription = reinterpret_cast<LastText>(raw->Resolve("FakeLastDescription", 0));
    ASSERT_NE(lastDescription, nullptr);

    std::string symbol = "ABC", description = "Caf\xc3\xa9", category = "Stock";
    feed->ORBSETUPDATA(symbol, description, 1.0f, 6, category, 37622.0);
    const bool utf8 = platform::IsUtf8(cp1252);
    EXPECT_EQ(std::string(lastDescription()), utf8 ? "Caf\xc3\xa9" : "Caf\xe9");
    // The library turned its last byte into 0xE8 (in code page 1252: "è").
    if (!utf8) {
        EXPECT_EQ(description, "Caf\xc3\xa8");
    }
    EXPECT_EQ(symbol, "ZBC");
    // A symbol that needs converting is not handed to the direct entry points as it stands.
    EXPECT_NE(feed->Direct("ABC"), nullptr);
    EXPECT_EQ(feed->Direct("\xc3\xa9") == nullptr, !utf8);
}

// A wall clock at a fixed moment with a fixed offset, counting the offset look-ups.
class FixedWallClock : public platform::WallClock {
  public:
    FixedWallClock(platform::UtcTime* now, long* offset, int* lookups)
        : now_(now), offset_(offset), lookups_(lookups) {}
    platform::UtcTime Now() override { return *now_; }
    long UtcOffsetSeconds(long long) override {
        ++*lookups_;
        return *offset_;
    }

  private:
    platform::UtcTime* now_;
    long* offset_;
    int* lookups_;
};

TEST(SystemClockOffset, LookedUpOncePerSecondAndFollowedAtTheNext) {
    // 1 January 2003 00:00:00 UTC is day 37622.
    platform::UtcTime now{1041379200, 0};
    long offset = 3600;
    int lookups = 0;
    SystemClock clock(std::make_unique<FixedWallClock>(&now, &offset, &lookups));
    EXPECT_DOUBLE_EQ(clock.LocalNow(), 37622.0 + 1.0 / 24);
    now.nanosecond = 500'000'000;
    offset = 7200;  // daylight saving begins within this second
    EXPECT_NEAR(clock.LocalNow(), 37622.0 + 1.0 / 24 + 0.5 / 86400, 1e-9);
    EXPECT_EQ(lookups, 1);
    now = {1041379201, 0};
    EXPECT_NEAR(clock.LocalNow(), 37622.0 + 2.0 / 24 + 1.0 / 86400, 1e-9);
    EXPECT_EQ(lookups, 2);
}

#ifdef _WIN32
TEST(SystemClockOffset, FollowsTheWindowsTimeZoneBias) {
    // Bias is UTC minus local time in minutes: -120 is two hours east of Greenwich.
    auto wall = platform::Win32WallClock([] { return -120L; });
    const platform::UtcTime utc = wall->Now();
    EXPECT_EQ(wall->UtcOffsetSeconds(utc.second), 7200);
    SystemClock clock(platform::Win32WallClock([] { return 300L; }));
    const double local = clock.LocalNow();
    const double utcDay = 25569.0 + static_cast<double>(utc.second) / 86400.0;
    EXPECT_NEAR(local, utcDay - 5.0 / 24, 5.0 / 86400);
}

TEST(Binding, PlainAndDecoratedExportNamesAndAMissingOperation) {
    for (const char* folder : {FAKE_WHOLE_DIR, FAKE_DECORATED_DIR}) {
        auto feed = LoadedHostFeed::Load(folder);
        std::string symbol = "ABC";
        EXPECT_EQ(feed->ORBSETVALUE(symbol, 1.0f, 2, 30.01), 2) << folder;
        EXPECT_EQ(feed->ORBGETNUMROWS2(symbol, 1.0f, 1.0f, 0, 0), 40) << folder;
    }
    try {
        LoadedHostFeed::Load(FAKE_PARTIAL_DIR);
        FAIL() << "a library without ORBCOMMITROW was accepted";
    } catch (const FeedLibraryError& e) {
        EXPECT_NE(std::string(e.what()).find("lacks the operation ORBCOMMITROW"),
                  std::string::npos);
    }
}
#endif

}  // namespace
}  // namespace tarnwick
