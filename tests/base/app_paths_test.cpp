#include "base/app_mode.h"
#include "base/app_paths.h"
#include "base/builtin_hosts.h"
#include "base/file_helpers.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
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

TEST(AppMode, XdgFoldersAndTheMarkerDecide)
{
    const auto set = UserFolders("/x/data", "/x/conf/", "/home/u");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->data, "/x/data/MyZELK/");
    EXPECT_EQ(set->config, "/x/conf/MyZELK/");
    // Unset, empty and relative values do not count.
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/data"})
    {
        const auto fallback = UserFolders(ignored, ignored, "/home/u/");
        ASSERT_TRUE(fallback);
        EXPECT_EQ(fallback->data, "/home/u/.local/share/MyZELK/");
        EXPECT_EQ(fallback->config, "/home/u/.config/MyZELK/");
    }
    EXPECT_FALSE(UserFolders(nullptr, "/x/conf", nullptr));

    TempDir dir;
    EXPECT_EQ(DetectAppMode((dir.path() + "/").c_str()), AppMode::Portable);
    std::ofstream(dir / kInstalledMarkerFile) << "installed\n";
    EXPECT_EQ(DetectAppMode((dir.path() + "/").c_str()), AppMode::Installed);
}

// A program folder as the install rules lay it out, and a user's home.
class InstalledPathsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            if (const char* value = std::getenv(name))
                saved[name] = value;
        Ship("DataBase/MyZELK.mdb", "SQLite format 3\nempty");
        Ship("Resource/RoomList/OffLine.xml", "<LQEditTree PersistCount=\"0\"/>");
        Ship("Resource/RoomList/Online.xml", "<Categories/>");
        Ship("Resource/Skins/style1.xsl", "<xsl/>");
        Ship("AD/WelcomePage.htm", "<html/>");
        Ship(kInstalledMarkerFile, "installed\n");
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    }
    void TearDown() override
    {
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            if (saved.count(name))
                setenv(name, saved[name].c_str(), 1);
            else
                unsetenv(name);
    }
    void Ship(const std::string& relative, const std::string& bytes)
    {
        std::filesystem::create_directories(std::filesystem::path(app / relative).parent_path());
        std::ofstream(app / relative, std::ios::binary) << bytes;
    }
    // Every entry of the program folder with its bytes and time stamp.
    std::map<std::string, std::string> ProgramFolder() const
    {
        std::map<std::string, std::string> entries;
        for (const auto& e : std::filesystem::recursive_directory_iterator(app.path()))
        {
            std::ifstream in(e.path(), std::ios::binary);
            std::stringstream bytes;
            if (e.is_regular_file())
                bytes << in.rdbuf();
            entries[e.path().string()] =
                bytes.str() + "@" +
                std::to_string(
                    std::filesystem::last_write_time(e.path()).time_since_epoch().count());
        }
        return entries;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    TempDir app, home;
    std::map<std::string, std::string> saved;
    CAppPaths paths;
};

TEST_F(InstalledPathsTest, WritableItemsLiveInTheUserFoldersSeededOnce)
{
    const auto shipped = ProgramFolder();
    ASSERT_TRUE(BuildPaths(paths, (app.path() + "/").c_str()));
    const std::string a = app.path() + "/", d = home / "data/MyZELK/", c = home / "config/MyZELK/";
    EXPECT_EQ(paths.m_mode, AppMode::Installed);
    EXPECT_EQ(paths.m_szDataDir, d);
    EXPECT_EQ(paths.m_szConfigFile, c + "/MyZELK.cfg");
    EXPECT_EQ(paths.m_szTempDir, d + "Temp");
    EXPECT_EQ(paths.m_szOnlineList, d + "Resource/RoomList/Online.xml");
    EXPECT_EQ(paths.m_szOfflineTree, d + "Resource/RoomList/OffLine.xml");
    EXPECT_EQ(paths.m_szDatabaseFile, d + "/DataBase/MyZELK.mdb");
    EXPECT_EQ(paths.m_szHelpFile, a + "MyZELK.chm");
    EXPECT_EQ(paths.m_szWelcomePage, a + "AD/WelcomePage.htm");
    EXPECT_EQ(paths.m_szFeedbackModule, a + "LQFeedBack.so");
    EXPECT_EQ(std::filesystem::status(d).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    EXPECT_EQ(Read(paths.m_szDatabaseFile), "SQLite format 3\nempty");
    EXPECT_EQ(Read(paths.m_szOfflineTree), "<LQEditTree PersistCount=\"0\"/>");
    EXPECT_EQ(Read(paths.m_szOnlineList), "<Categories/>");
    // Display copies in Temp/ name their skin as ../Resource/Skins/style1.xsl.
    EXPECT_EQ(Read(std::string(paths.m_szTempDir) + "/../Resource/Skins/style1.xsl"), "<xsl/>");

    // The user's own data survives the next start; the shipped tree is
    // never written.
    std::ofstream(paths.m_szDatabaseFile, std::ios::binary) << "user rows";
    std::ofstream(paths.m_szOfflineTree, std::ios::binary) << "<LQEditTree PersistCount=\"9\"/>";
    CAppPaths again;
    ASSERT_TRUE(BuildPaths(again, (app.path() + "/").c_str()));
    EXPECT_EQ(Read(again.m_szDatabaseFile), "user rows");
    EXPECT_EQ(Read(again.m_szOfflineTree), "<LQEditTree PersistCount=\"9\"/>");
    EXPECT_EQ(ProgramFolder(), shipped);
}

TEST_F(InstalledPathsTest, FoldersThatCannotBeUsedAreRefusedWithAMessage)
{
    // A data folder too deep for the table: refused, nothing made.
    std::string deep = home.path();
    while (deep.size() < 250)
        deep += "/dddddddddd";
    setenv("XDG_DATA_HOME", deep.c_str(), 1);
    BuildPathsError error{};
    std::string failed;
    EXPECT_FALSE(BuildPaths(paths, (app.path() + "/").c_str(), &error, &failed));
    EXPECT_EQ(error, BuildPathsError::UserFolderTooLong);
    EXPECT_FALSE(std::filesystem::exists(home / "dddddddddd"));
    // The user's folder is too deep, not the program's: the message names
    // what to change instead of asking to move the program.
    const std::string text = DescribeBuildPathsError(error, failed);
    EXPECT_EQ(text.find("程序所在的文件夹"), std::string::npos) << text;
    EXPECT_NE(text.find("XDG_DATA_HOME"), std::string::npos) << text;

    // Temp/ lives in the user's folder now: a start that cannot make it
    // says so instead of ending silently.
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    std::filesystem::create_directories(home / "data/MyZELK");
    std::ofstream(home / "data/MyZELK/Temp") << "not a folder";
    EXPECT_FALSE(BuildPaths(paths, (app.path() + "/").c_str(), &error, &failed));
    EXPECT_NE(DescribeBuildPathsError(error, failed).find(home / "data/MyZELK/Temp"),
              std::string::npos);
    std::filesystem::remove(home / "data/MyZELK/Temp");

    // A shipped database that is missing is named, not passed over.
    std::filesystem::remove(app / "DataBase/MyZELK.mdb");
    EXPECT_FALSE(BuildPaths(paths, (app.path() + "/").c_str(), &error, &failed));
    EXPECT_EQ(error, BuildPathsError::UserFolder);
    EXPECT_EQ(failed, app.path() + "/DataBase/MyZELK.mdb");
    EXPECT_NE(DescribeBuildPathsError(error, failed).find(failed), std::string::npos);
}
