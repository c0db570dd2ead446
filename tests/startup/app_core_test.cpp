#include "app/startup/app_core.h"
#include "store/database_creation.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace
{

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old, m_had = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

} // namespace

class AppCoreTest : public ::testing::Test
{
protected:
    std::string appDir() const { return dir.path() + "/"; }
    void MakeDatabase()
    {
        std::string error;
        ASSERT_EQ(CreateDatabaseIfMissing(dir / "DataBase/MyZELK.mdb", MYZELK_SCHEMA, &error),
                  DatabaseCreation::Created)
            << error;
    }
    CMyZELKCore::Options Options() const
    {
        CMyZELKCore::Options o;
        o.appDirOverride = m_appDir.c_str();
        return o;
    }

    TempDir dir;
    std::string m_appDir = dir.path() + "/";
    RecordingMessageBox boxes;
    ScopedEnv noOverride{"MYZELK_HOSTS", nullptr};
};

TEST_F(AppCoreTest, MissingDatabaseEndsStartUpButConfigIsStillWritten)
{
    {
        CMyZELKCore core;
        EXPECT_EQ(core.Start(Options()), CMyZELKCore::StartResult::DatabaseFailed);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, "初始化数据库失败!");
    }
    const std::string cfg = ReadAll(dir / "MyZELK.cfg");
    EXPECT_EQ(cfg, "<LQConfigure>"
                   "<Item Name=\"HostForCommunity\" Value=\"community.zelk.example\"/>"
                   "<Item Name=\"HostForDevelop\" Value=\"develop.zelk.example\"/>"
                   "<Item Name=\"HostForFullSearchCommunity\" Value=\"search.zelk.example\"/>"
                   "</LQConfigure>");
    // The database is never created by start-up.
    EXPECT_FALSE(std::ifstream(dir / "DataBase/MyZELK.mdb").good());
}

TEST_F(AppCoreTest, BuiltInHostsReplaceTheFilesAndOtherSettingsSurvive)
{
    MakeDatabase();
    std::ofstream(dir / "MyZELK.cfg")
        << "<LQConfigure><Item Name=\"HostForCommunity\" Value=\"old.example\"/>"
           "<Item Name=\"LinkOpenMode\" Value=\"2\"/></LQConfigure>";
    {
        ScopedEnv hosts("MYZELK_HOSTS", "community=127.0.0.1:9");
        CMyZELKCore core;
        ASSERT_EQ(core.Start(Options()), CMyZELKCore::StartResult::Started);
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_EQ(core.Config().GetHostForCommunity(), "127.0.0.1:9");
        EXPECT_EQ(core.Config().GetHostForDevelop(), "develop.zelk.example");
        EXPECT_EQ(core.Config().GetLinkOpenMode(), 2);
        ASSERT_NE(core.Store(), nullptr);
        core.Config().SetIsShowToolBar(1);
    }
    const std::string cfg = ReadAll(dir / "MyZELK.cfg");
    EXPECT_NE(cfg.find("Value=\"127.0.0.1:9\""), std::string::npos) << cfg;
    EXPECT_EQ(cfg.find("old.example"), std::string::npos);
    EXPECT_NE(cfg.find("<Item Name=\"IsShowToolBar\" Value=\"1\"/>"), std::string::npos);
    EXPECT_NE(cfg.find("<Item Name=\"LinkOpenMode\" Value=\"2\"/>"), std::string::npos);
}

TEST_F(AppCoreTest, CompanionModeLeavesTheConfigurationFileAlone)
{
    MakeDatabase();
    {
        CMyZELKCore core;
        CMyZELKCore::Options o = Options();
        o.saveConfigAtShutdown = false;
        ASSERT_EQ(core.Start(o), CMyZELKCore::StartResult::Started);
    }
    EXPECT_FALSE(std::ifstream(dir / "MyZELK.cfg").good());
}

TEST_F(AppCoreTest, FileInPlaceOfTempFolderEndsSilentlyWithoutWritingConfig)
{
    std::ofstream(dir / "Temp") << "x";
    {
        CMyZELKCore core;
        EXPECT_EQ(core.Start(Options()), CMyZELKCore::StartResult::PathsFailed);
        EXPECT_EQ(core.Store(), nullptr);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}
