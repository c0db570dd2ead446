#include "base/app_paths.h"
#include "base/builtin_hosts.h"
#include "base/file_helpers.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace
{
// Set when this binary runs as the copy placed in a deep folder.
constexpr const char* kDeepResultVariable = "MYZELK_TEST_DEEP_RESULT";
} // namespace

class BuildPathsTest : public ::testing::Test
{
protected:
    std::string appDir() const { return dir.path() + "/"; }
    TempDir dir;
    CAppPaths paths;
};

TEST_F(BuildPathsTest, EveryPathFollowsItsFormat)
{
    ASSERT_TRUE(BuildPaths(paths, appDir().c_str()));
    const std::string a = appDir();
    EXPECT_EQ(paths.m_szAppDir, a);
    EXPECT_EQ(paths.m_szConfigFile, a + "/MyZELK.cfg");
    EXPECT_EQ(paths.m_szHelpFile, a + "MyZELK.chm");
    EXPECT_EQ(paths.m_szTempDir, a + "Temp");
    EXPECT_EQ(paths.m_szResourceDir, a + "Resource");
    EXPECT_EQ(paths.m_szRoomListDir, a + "Resource/RoomList");
    EXPECT_EQ(paths.m_szOnlineList, a + "Resource/RoomList/Online.xml");
    EXPECT_EQ(paths.m_szOfflineTree, a + "Resource/RoomList/OffLine.xml");
    EXPECT_EQ(paths.m_szDatabaseDir, a + "/DataBase");
    EXPECT_EQ(paths.m_szDatabaseFile, a + "/DataBase/MyZELK.mdb");
    EXPECT_EQ(paths.m_szAdDir, a + "AD");
    EXPECT_EQ(paths.m_szWelcomePage, a + "AD/WelcomePage.htm");
    EXPECT_EQ(paths.m_szFeedbackModule, a + "LQFeedBack.so");
    EXPECT_TRUE(FileExists(paths.m_szTempDir));
    EXPECT_TRUE(FileExists(paths.m_szAdDir));
}

TEST_F(BuildPathsTest, FileInPlaceOfTempFolderFailsSilently)
{
    std::ofstream(dir / "Temp") << "not a folder";
    BuildPathsError error{};
    std::string failed;
    EXPECT_FALSE(BuildPaths(paths, appDir().c_str(), &error, &failed));
    EXPECT_EQ(error, BuildPathsError::TempFolder);
    EXPECT_EQ(failed, dir / "Temp");
    EXPECT_TRUE(DescribeBuildPathsError(error, failed).empty());
}

TEST_F(BuildPathsTest, DeepProgramFolderIsRefusedNotTruncated)
{
    // 230 bytes of folder leaves no room for "/DataBase/MyZELK.mdb".
    std::string deep = dir.path();
    while (deep.size() < 230)
        deep += "/dddddddddd";
    deep.resize(230);
    deep += "/";
    BuildPathsError error{};
    std::string failed;
    EXPECT_FALSE(BuildPaths(paths, deep.c_str(), &error, &failed));
    EXPECT_EQ(error, BuildPathsError::PathTooLong);
    EXPECT_GT(failed.size(), 259u);
    EXPECT_NE(DescribeBuildPathsError(error, failed).find(failed), std::string::npos);
    EXPECT_STREQ(paths.m_szDatabaseFile, "");
    EXPECT_FALSE(FileExists((deep + "Temp").c_str()));
}

TEST_F(BuildPathsTest, RunningProgramFolderIsUsedByDefault)
{
    char folder[260];
    ASSERT_TRUE(GetModuleFolder(folder));
    EXPECT_EQ(folder[std::char_traits<char>::length(folder) - 1], '/');
}

// Runs inside the copy of this binary only: start-up from that folder must
// explain the refusal, not end silently.
TEST(BuildPathsDeepProgram, ReportsTheFolderAsTooLong)
{
    const char* result = std::getenv(kDeepResultVariable);
    if (!result)
        GTEST_SKIP() << "run by ProgramInAFolderTooDeepIsRefusedWithAMessage";
    CAppPaths paths;
    BuildPathsError error{};
    std::string failed;
    const bool built = BuildPaths(paths, nullptr, &error, &failed);
    std::ofstream(result) << built << "\n"
                          << static_cast<int>(error) << "\n"
                          << DescribeBuildPathsError(error, failed).empty() << "\n"
                          << failed;
}

TEST_F(BuildPathsTest, ProgramInAFolderTooDeepIsRefusedWithAMessage)
{
    std::string deep = dir.path();
    while (deep.size() < 300)
        deep += "/dddddddddddddddddddddddddddddd";
    std::filesystem::create_directories(deep);
    const std::string program = deep + "/app_core_tests";
    std::filesystem::copy_file("/proc/self/exe", program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);

    const std::string resultFile = dir / "result.txt";
    setenv(kDeepResultVariable, resultFile.c_str(), 1);
    std::string filter = "--gtest_filter=BuildPathsDeepProgram.*";
    char* argv[] = {const_cast<char*>(program.c_str()), filter.data(), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    unsetenv(kDeepResultVariable);
    ASSERT_EQ(spawned, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::ifstream in(resultFile);
    int built = -1, error = -1, silent = -1;
    std::string failed;
    in >> built >> error >> silent;
    in.ignore(1);
    std::getline(in, failed);
    EXPECT_EQ(built, 0);
    EXPECT_EQ(error, static_cast<int>(BuildPathsError::PathTooLong));
    EXPECT_EQ(silent, 0);
    EXPECT_EQ(failed, deep + "/");
}

TEST(BuiltInHosts, OverrideReplacesNamedHostsAndRejectsJunk)
{
    const CBuiltInHosts defaults;
    EXPECT_EQ(defaults.community, "community.zelk.example");
    const CBuiltInHosts h =
        ApplyHostsOverride(defaults, "community=127.0.0.1:8080, develop = localhost:81,bogus=x,"
                                     "search=bad/host");
    EXPECT_EQ(h.community, "127.0.0.1:8080");
    EXPECT_EQ(h.develop, "localhost:81");
    EXPECT_EQ(h.fullSearch, defaults.fullSearch);
}
