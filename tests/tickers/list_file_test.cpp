#include "tickers/list_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/test_folder.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

using testing::ReadFile;

class ListFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = testing::FreshTestFolder("tarnwick-list-" + std::to_string(::getpid()) + "-");
    }
    void TearDown() override { fs::remove_all(folder); }
    fs::path folder;
};

#ifndef _WIN32
// POSIX paths, permissions and failures; the Windows ones are in tests/platform.
TEST(ProgramFolder, DropsTheFileNameAndATrailingSeparator) {
    EXPECT_EQ(ProgramFolderOf("/opt/tools/tarnwick"), "/opt/tools");
    EXPECT_EQ(ProgramFolderOf("/tarnwick"), "");
    EXPECT_EQ(ListFilePath(ProgramFolderOf("/tarnwick")), "/Tarnwick List.DAT");
    EXPECT_EQ(ListFilePath("/opt/tools"), "/opt/tools/Tarnwick List.DAT");
}
#endif

TEST(ListFileBytes, JoinsFieldsWithSeparatorsAndEndsEveryLineWithCrLf) {
    TickerList list;
    EXPECT_EQ(ListFileBytes(list), "");
    list.AppendEntry({"ABC", "ABC Corp", "Stock", "01/01/2003", "1"});
    list.AppendEntry({"XYZ", "", "Forex", "", ".5"});
    list.AppendEntry({"A!@#B", " x ", "C\r\nD", "\xc3\xa9", "-1"});
    EXPECT_EQ(ListFileBytes(list),
              "ABC!@#ABC Corp!@#Stock!@#01/01/2003!@#1\r\n"
              "XYZ!@#!@#Forex!@#!@#.5\r\n"
              "A!@#B!@# x !@#C\r\nD!@#\xc3\xa9!@#-1\r\n");
}

TEST_F(ListFileTest, WritesTheRowsAndAnEmptyListAsZeroBytes) {
    const std::string path = ListFilePath(folder.string());
    TickerList list;
    list.AppendEntry({"ABC", "ABC Corp", "Stock", "01/01/2003", "1"});
    ASSERT_TRUE(WriteListFile(path, list).Ok);
    EXPECT_EQ(ReadFile(path), "ABC!@#ABC Corp!@#Stock!@#01/01/2003!@#1\r\n");
    list.RemoveEntryAt(1);
    ASSERT_TRUE(WriteListFile(path, list).Ok);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

#ifndef _WIN32
TEST_F(ListFileTest, KeepsThePermissionsOfTheFileItReplaces) {
    const std::string path = ListFilePath(folder.string());
    { std::ofstream(path) << "old\r\n"; }
    ::chmod(path.c_str(), 0640);
    TickerList list;
    ASSERT_TRUE(WriteListFile(path, list).Ok);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ListFileTest, AFailedWriteLeavesTheOldFileWholeAndSaysWhy) {
    // The list file's "folder" is a regular file, so nothing can be created in it.
    const fs::path blocker = folder / "not-a-folder";
    { std::ofstream(blocker) << "x"; }
    TickerList list;
    list.AppendEntry({"ABC", "", "", "", "1"});
    ListFileResult r = WriteListFile(ListFilePath(blocker.string()), list);
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(r.Error.find(ListFilePath(blocker.string())), std::string::npos);
    EXPECT_NE(r.Error.find("Not a directory"), std::string::npos);

    // A target that cannot be replaced (a non-empty folder of that name) keeps its contents.
    const std::string path = ListFilePath(folder.string());
    fs::create_directories(path);
    { std::ofstream(fs::path(path) / "inside") << "keep"; }
    r = WriteListFile(path, list);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(ReadFile(fs::path(path) / "inside"), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST_F(ListFileTest, AFullDiskLeavesTheOldFileWhole) {
    // A file-size limit makes writes fail as on a full disk; it is set in a child process so the
    // test runner keeps its own limits.
    const std::string path = ListFilePath(folder.string());
    { std::ofstream(path, std::ios::binary) << "old list\r\n"; }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        TickerList list;
        for (int i = 0; i < 500; ++i)
            list.AppendEntry({"SYMBOL", "A description", "Stock", "", "1"});
        ListFileResult r = WriteListFile(path, list);
        ::_exit(!r.Ok && r.Error.find("File too large") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write did not fail with the reason";
    EXPECT_EQ(ReadFile(path), "old list\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}
#endif

}  // namespace
}  // namespace tarnwick
