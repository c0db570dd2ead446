#include "app_paths.h"
#include "builtin_hosts.h"
#include "file_helpers.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

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
