// The update check's 15-day gate and its Yes path, driven through the hooks
// and the platform's message box host.
#include "app/shell/outside_launches.h"

#include "app/startup/app_core.h"
#include "store/database_creation.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

DATE At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    DATE d = 0;
    EXPECT_TRUE(OleDateFromParts({year, month, day, hour, minute, second}, &d));
    return d;
}

class UpdateCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(BuildPaths(paths, appDir.c_str()));
        hooks.now = [this] { return now; };
        hooks.newerVersion = [this]
        {
            ++asked;
            return newer;
        };
        hooks.startProgram = [this](const std::string& program, const std::vector<std::string>& a)
        {
            started.push_back(program);
            for (const std::string& arg : a)
                started.push_back(arg);
            return true;
        };
        hooks.exitProcess = [this](int code) { exitCodes.push_back(code); };
    }

    int Check(int silent)
    {
        COutsideLaunches launches(paths, config, hooks);
        return launches.CheckForUpdate(silent);
    }

    TempDir dir;
    std::string appDir = dir.path() + "/";
    CAppPaths paths;
    CAppConfig config;
    COutsideLaunchHooks hooks;
    DATE now = At(2024, 3, 16, 10, 0, 0);
    bool newer = false;
    int asked = 0;
    std::vector<std::string> started;
    std::vector<int> exitCodes;
};

TEST_F(UpdateCheckTest, FirstRunOrUnreadableTimeAsksAndStoresTheTimeFirst)
{
    for (const char* stored : {"", "not a date"})
    {
        config.SetLastUpdateTime(stored);
        asked = 0;
        std::string storedWhenAsked;
        hooks.newerVersion = [&]
        {
            ++asked;
            storedWhenAsked = config.GetLastUpdateTime();
            return false;
        };
        RecordingMessageBox boxes;
        EXPECT_EQ(Check(1), 0);
        EXPECT_EQ(asked, 1) << stored;
        EXPECT_EQ(storedWhenAsked, "2024-03-16 10:00:00");
        EXPECT_TRUE(boxes.boxes().empty()) << "silent start-up check";
    }
}

TEST_F(UpdateCheckTest, FourteenDaysAndTwentyThreeHoursIsTooSoonEvenFromTheMenu)
{
    config.SetLastUpdateTime("2024-03-01 11:00:00");
    RecordingMessageBox boxes;
    EXPECT_EQ(Check(1), 0);
    EXPECT_EQ(Check(0), 0);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(config.GetLastUpdateTime(), "2024-03-01 11:00:00");
}

TEST_F(UpdateCheckTest, ExactlyFifteenDaysRunsEvenWhereTheSpanRoundsBelowFifteen)
{
    // Find a time of day whose 15-day span comes out just under 15.0 in
    // floating point (the two dates lie either side of day 32768, where the
    // precision of a date changes): only the half-second rounding lets the
    // check run.
    DATE last = 0;
    bool found = false;
    for (int second = 0; second < 86400 && !found; ++second)
    {
        last = At(1989, 9, 10, second / 3600, second / 60 % 60, second % 60);
        now = At(1989, 9, 25, second / 3600, second / 60 % 60, second % 60);
        found = now - last < 15.0;
    }
    ASSERT_TRUE(found);
    config.SetLastUpdateTime(FormatLocalTime(last));
    EXPECT_EQ(Check(1), 0);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(config.GetLastUpdateTime(), FormatLocalTime(now));

    // One second short of 15 days stays below.
    config.SetLastUpdateTime("2024-03-01 10:00:01");
    now = At(2024, 3, 16, 10, 0, 0);
    asked = 0;
    Check(1);
    EXPECT_EQ(asked, 0);
}

TEST_F(UpdateCheckTest, ATimeInTheFutureWaitsUntilTheClockPassesItByFifteenDays)
{
    config.SetLastUpdateTime("2024-04-05 10:00:00"); // the clock was set back 20 days
    RecordingMessageBox boxes;
    Check(0);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(boxes.boxes().empty());
    now = At(2024, 4, 20, 9, 0, 0);
    Check(1);
    EXPECT_EQ(asked, 0);
    now = At(2024, 4, 20, 10, 0, 0);
    Check(1);
    EXPECT_EQ(asked, 1);
}

TEST_F(UpdateCheckTest, NoFromTheMenuShowsNothingMoreAndTheNextCheckWaits)
{
    newer = true;
    RecordingMessageBox boxes(IDNO);
    EXPECT_EQ(Check(0), 0);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, kUpdateQuestion);
    EXPECT_EQ(boxes.boxes()[0].type & 0xF, unsigned(MB_YESNO));
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(exitCodes.empty());

    now += 14;
    Check(0);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST_F(UpdateCheckTest, AlreadyLatestOnlyFromTheMenu)
{
    RecordingMessageBox boxes;
    Check(1);
    EXPECT_TRUE(boxes.boxes().empty());
    config.SetLastUpdateTime("");
    Check(0);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, kAlreadyLatest);
    EXPECT_EQ(asked, 2);
}

TEST_F(UpdateCheckTest, InstalledCopySaysHowToUpdateAndStartsNothing)
{
    paths.m_mode = AppMode::Installed;
    newer = true;
    RecordingMessageBox boxes(IDYES);
    EXPECT_EQ(Check(1), 0);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, kUpdateByPackageManager);
    EXPECT_EQ(boxes.boxes()[0].type & 0xF, static_cast<unsigned>(MB_OK));
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(exitCodes.empty());
}

// The Yes path in a child process, the way the program runs it: a core
// that would save the configuration at a normal exit, the real program
// start and the real process end. A stand-in updater reports its argument
// on descriptor 3; the pipe ends when both processes are gone.
TEST(UpdateCheckYes, StartsTheUpdaterWithTheProgramPathAndEndsWithoutSaving)
{
    TempDir dir;
    const std::string appDir = dir.path() + "/";
    std::string error;
    ASSERT_EQ(CreateDatabaseIfMissing(dir / "DataBase/MyZELK.mdb", MYZELK_SCHEMA, &error),
              DatabaseCreation::Created)
        << error;
    const std::string config = "<LQConfigure><Item Name=\"LastUpdateTime\" "
                               "Value=\"2020-01-01 00:00:00\"/></LQConfigure>";
    std::ofstream(dir / "MyZELK.cfg", std::ios::binary) << config;
    std::ofstream(dir / "BraeAutoUpdate") << "#!/bin/sh\nprintf '%s|' \"$@\" >&3\n";
    ASSERT_EQ(::chmod((dir / "BraeAutoUpdate").c_str(), 0755), 0);

    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        ::close(report[0]);
        ::dup2(report[1], 3);
        // Static, as the application object is: a normal exit would run
        // its shut-down and write the configuration.
        static CMyZELKCore core;
        CMyZELKCore::Options options;
        options.appDirOverride = appDir.c_str();
        if (core.Start(options) != CMyZELKCore::StartResult::Started)
            ::_exit(20);
        static RecordingMessageBox yes(IDYES);
        COutsideLaunchHooks hooks = COutsideLaunchHooks::Program();
        hooks.newerVersion = [] { return true; };
        COutsideLaunches(core.Paths(), core.Config(), hooks).CheckForUpdate(1);
        std::exit(21); // only when the check came back
    }
    ::close(report[1]);
    std::string arguments;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(report[0], buffer, sizeof buffer)) > 0)
        arguments.append(buffer, static_cast<size_t>(n));
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(arguments, appDir + "/MyZELK|");
    EXPECT_EQ(ReadAll(dir / "MyZELK.cfg"), config);
}

} // namespace
