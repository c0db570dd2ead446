// The updater against the sample service: the program end to end, and its
// core where a download, a check or a replacement fails half-way.
#include "outside/BraeAutoUpdate/update_installer.h"
#include "tests/support/run_program.h"
#include "tests/support/sample_service_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace
{

void Write(const std::string& path, const std::string& bytes, mode_t mode = 0644)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    ::chmod(path.c_str(), mode);
}

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every entry below `root`: kind, mode and bytes (or a link's target).
std::map<std::string, std::string> Snapshot(const std::string& root)
{
    std::map<std::string, std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(root))
    {
        struct stat st
        {
        };
        ::lstat(e.path().c_str(), &st);
        std::string value = std::to_string(st.st_mode) + ":";
        if (S_ISLNK(st.st_mode))
            value += fs::read_symlink(e.path()).string();
        else if (S_ISREG(st.st_mode))
            value += Read(e.path());
        entries[e.path().lexically_relative(root).string()] = value;
    }
    return entries;
}

const std::string kUserDatabase = std::string("SQLite format 3\0\x01\x02user rows", 28);

// An installation of the old version, with the user's data in it.
void MakeInstallation(const std::string& dir)
{
    Write(dir + "/MyZELK", "#!/bin/sh\necho 'MyZELK 2.50.0'\n", 0755);
    Write(dir + "/Resource/Skins/style1.xsl", "<!-- skin of MyZELK 2.50.0 -->\n");
    Write(dir + "/AD/WelcomePage.htm", "<html>2.50.0</html>\n");
    Write(dir + "/libLQADO.so.1.0.0", "old library\n");
    fs::create_symlink("libLQADO.so.1.0.0", dir + "/libLQADO.so.1");
    Write(dir + "/MyZELK.cfg",
          "<LQConfigure><Item Name=\"UserSign\" Value=\"mine\"/></LQConfigure>");
    Write(dir + "/DataBase/MyZELK.mdb", kUserDatabase);
    Write(dir + "/Resource/RoomList/OffLine.xml", "<LQEditTree PersistCount=\"7\"/>");
    Write(dir + "/Temp/Community_OffLineData_4711.xml", "<Topic/>");
    Write(dir + "/BrowserProfile/Cookies", "ZelkUser=me");
    Write(dir + "/debug.txt", "an old log entry\r\n");
}

std::map<std::string, std::string> UserData(const std::map<std::string, std::string>& all)
{
    std::map<std::string, std::string> data;
    for (const auto& [path, value] : all)
        if (IsUserDataPath(path))
            data[path] = value;
    return data;
}

TEST(UpdaterProgram, ReplacesProgramFilesKeepsUserDataAndStartsTheProgramAgain)
{
    SampleServiceProcess service;
    ASSERT_TRUE(service.Running());
    TempDir dir;
    const std::string install = dir / "bin";
    MakeInstallation(install);
    const auto before = Snapshot(install);
    // As the program passes it: its folder ending in "/", then "/MyZELK".
    const std::string program = install + "//MyZELK";

    const ProgramResult run = RunProgram(
        MYZELK_BIN_DIR "/BraeAutoUpdate", {program},
        {"QT_QPA_PLATFORM=offscreen", "MYZELK_UPDATE_URL=" + service.Url("/update/manifest.txt"),
         "MYZELK_SAMPLE_RESTART_NOTE=" + (dir / "restarted.txt")});
    // The restarted program shares the updater's output, so both have ended.
    ASSERT_EQ(run.exitCode, 0) << run.err;

    EXPECT_EQ(Read(dir / "restarted.txt"), "MyZELK 2.51.0 started as " + program + "\n");
    const auto after = Snapshot(install);
    EXPECT_NE(Read(install + "/MyZELK").find("# MyZELK 2.51.0 (sample package)"),
              std::string::npos);
    EXPECT_EQ(fs::status(install + "/MyZELK").permissions() & fs::perms::owner_exec,
              fs::perms::owner_exec);
    EXPECT_NE(Read(install + "/Resource/Skins/style1.xsl").find("skin of MyZELK 2.51.0"),
              std::string::npos);
    EXPECT_EQ(Read(install + "/AD/WelcomePage.htm"), "<html><body>MyZELK 2.51.0</body></html>\n");
    EXPECT_EQ(Read(install + "/doc/CHANGES.txt"), "MyZELK 2.51.0: sample release notes\n");
    // The package's defaults for the user's data are not taken.
    EXPECT_EQ(UserData(after), UserData(before));
    EXPECT_EQ(Read(install + "/DataBase/MyZELK.mdb"), kUserDatabase);
    EXPECT_FALSE(fs::exists(install + "/Temp/left-over.txt"));
    // Files the package does not name stay; nothing of the work is left.
    EXPECT_EQ(after.at("libLQADO.so.1"), before.at("libLQADO.so.1"));
    EXPECT_EQ(after.at("libLQADO.so.1.0.0"), before.at("libLQADO.so.1.0.0"));
    for (const auto& [path, value] : after)
        EXPECT_EQ(path.find(".myzelk"), std::string::npos) << path;
}

class UpdaterFailure : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { service = new SampleServiceProcess(); }
    static void TearDownTestSuite()
    {
        delete service;
        service = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(service->Running());
        MakeInstallation(install);
        Write(dir / "outside.txt", "next to the installation\n");
        before = Snapshot(dir.path());
    }

    CUpdateOptions Options(const std::string& manifestQuery = "")
    {
        CUpdateOptions options;
        options.programPath = install + "/MyZELK";
        options.manifestUrl = service->Url("/update/manifest.txt" + manifestQuery);
        options.connectTimeoutMs = 5000;
        return options;
    }

    void ExpectUnchanged(const CUpdateResult& result, const std::string& why)
    {
        EXPECT_EQ(result.outcome, UpdateOutcome::Failed);
        EXPECT_NE(result.reason.find(why), std::string::npos) << result.reason;
        EXPECT_NE(result.reason.find("原有的安装保持不变。"), std::string::npos);
        EXPECT_EQ(Snapshot(dir.path()), before);
    }

    // A tar.gz of the given entries: path, kind, data or link target.
    struct Entry
    {
        std::string path;
        mode_t kind = AE_IFREG;
        std::string data;
        bool hardLink = false;
    };
    std::string Package(const std::vector<Entry>& entries)
    {
        const std::string file = packages / "crafted.tar.gz";
        archive* a = archive_write_new();
        archive_write_add_filter_gzip(a);
        archive_write_set_format_pax_restricted(a);
        EXPECT_EQ(archive_write_open_filename(a, file.c_str()), ARCHIVE_OK);
        for (const Entry& e : entries)
        {
            archive_entry* entry = archive_entry_new();
            archive_entry_set_pathname(entry, e.path.c_str());
            archive_entry_set_filetype(entry, e.kind);
            archive_entry_set_perm(entry, 0644);
            if (e.hardLink)
                archive_entry_set_hardlink(entry, e.data.c_str());
            else if (e.kind == AE_IFLNK)
                archive_entry_set_symlink(entry, e.data.c_str());
            else if (e.kind == AE_IFREG)
                archive_entry_set_size(entry, static_cast<la_int64_t>(e.data.size()));
            archive_write_header(a, entry);
            if (e.kind == AE_IFREG && !e.hardLink)
                archive_write_data(a, e.data.data(), e.data.size());
            archive_entry_free(entry);
        }
        archive_write_close(a);
        archive_write_free(a);
        before = Snapshot(dir.path());
        return file;
    }

    static SampleServiceProcess* service;
    TempDir dir;
    TempDir packages;
    std::string install = dir / "bin";
    std::map<std::string, std::string> before;
};
SampleServiceProcess* UpdaterFailure::service = nullptr;

TEST_F(UpdaterFailure, AnInstalledCopyIsLeftToThePackageManager)
{
    // The marker of the install rules; root could write the folder all the same.
    Write(install + "/MyZELK.installed", "installed\n");
    before = Snapshot(dir.path());
    ExpectUnchanged(RunUpdate(Options()), "软件包管理器");

    // Reached through a launcher link (/usr/bin/myzelk): the link's own
    // folder is not the installation.
    const std::string launcher = dir / "myzelk";
    fs::create_symlink(install + "/MyZELK", launcher);
    before = Snapshot(dir.path());
    CUpdateOptions options = Options();
    options.programPath = launcher;
    ExpectUnchanged(RunUpdate(options), "软件包管理器");
}

TEST_F(UpdaterFailure, WrongHashLeavesEveryFile)
{
    ExpectUnchanged(RunUpdate(Options("?hash=wrong")), "SHA-256");
}

TEST_F(UpdaterFailure, DownloadCutInTheMiddleLeavesEveryFile)
{
    ExpectUnchanged(RunUpdate(Options("?cut=1")), "下载中断");
}

TEST_F(UpdaterFailure, NoServerLeavesEveryFile)
{
    CUpdateOptions options = Options();
    options.manifestUrl =
        "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/update/manifest.txt";
    ExpectUnchanged(RunUpdate(options), "无法取得更新信息");
}

TEST_F(UpdaterFailure, AFileThatCannotBeReplacedRollsTheOthersBack)
{
    CUpdateHooks hooks;
    int renames = 0;
    hooks.rename = [&](const char* from, const char* to)
    {
        if (++renames == 3)
        {
            errno = EBUSY;
            return -1;
        }
        return ::rename(from, to);
    };
    ExpectUnchanged(RunUpdate(Options(), hooks), "无法替换文件");
    EXPECT_EQ(renames, 3);
}

TEST_F(UpdaterFailure, AnUpdaterKilledHalfWayIsRolledBackAtItsNextStart)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        CUpdateHooks hooks;
        int renames = 0;
        hooks.rename = [&](const char* from, const char* to)
        {
            if (++renames == 3)
                ::_exit(9); // as if killed between two renames
            return ::rename(from, to);
        };
        RunUpdate(Options(), hooks);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
    ASSERT_NE(Snapshot(dir.path()), before) << "two files were replaced";

    EXPECT_TRUE(RecoverInterruptedUpdate(install));
    EXPECT_EQ(Snapshot(dir.path()), before);
}

// The program started again while an updater works, and its user said Yes
// once more: the second updater must leave the first one's half-done set
// alone (not roll it back as a stopped one), and the first one finishes.
TEST_F(UpdaterFailure, ASecondUpdaterLeavesTheFirstOneAtWork)
{
    int halfWay[2], goOn[2];
    ASSERT_EQ(::pipe(halfWay), 0);
    ASSERT_EQ(::pipe(goOn), 0);
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0)
    {
        CUpdateHooks hooks;
        int renames = 0;
        hooks.rename = [&](const char* from, const char* to)
        {
            if (++renames == 3)
            {
                char c = 0;
                if (::write(halfWay[1], "h", 1) != 1 || ::read(goOn[0], &c, 1) != 1)
                    ::_exit(8);
            }
            return ::rename(from, to);
        };
        ::_exit(RunUpdate(Options(), hooks).outcome == UpdateOutcome::Installed ? 0 : 9);
    }
    ::close(halfWay[1]);
    ::close(goOn[0]);
    char c = 0;
    ASSERT_EQ(::read(halfWay[0], &c, 1), 1);
    before = Snapshot(dir.path());

    ExpectUnchanged(RunUpdate(Options()), "另一个更新程序");

    ASSERT_EQ(::write(goOn[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    ::close(halfWay[0]);
    ::close(goOn[1]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(Read(install + "/MyZELK").find("MyZELK 2.51.0"), std::string::npos);
    EXPECT_EQ(Read(install + "/doc/CHANGES.txt"), "MyZELK 2.51.0: sample release notes\n");
}

TEST_F(UpdaterFailure, UnsafePackagesAreRefusedWholly)
{
    const Entry fine{"MyZELK", AE_IFREG, "#!/bin/sh\n"};
    const std::vector<std::pair<Entry, std::string>> cases = {
        {{"../outside.txt", AE_IFREG, "escaped\n"}, "路径不安全"},
        {{"/tmp/absolute.txt", AE_IFREG, "absolute\n"}, "路径不安全"},
        {{"Resource/../../outside.txt", AE_IFREG, "escaped\n"}, "路径不安全"},
        {{"lib/link", AE_IFLNK, "/etc/passwd"}, "不是普通文件"},
        {{"hard", AE_IFREG, "MyZELK", true}, "不是普通文件"},
        {{"AD", AE_IFREG, "a file where a folder is\n"}, "无法替换"},
        {{"libLQADO.so.1.0.0/inside", AE_IFREG, "below a file\n"}, "无法替换"},
    };
    for (const auto& [entry, why] : cases)
    {
        SCOPED_TRACE(entry.path);
        // The bad entry comes last, after a good one was already staged.
        const std::string package = Package({fine, entry});
        ExpectUnchanged(InstallPackage(install, package, Options()), why);
    }

    // A folder of the installation that is a link out of it.
    fs::create_directory(dir / "elsewhere");
    fs::remove_all(install + "/AD");
    fs::create_directory_symlink(dir / "elsewhere", install + "/AD");
    const std::string package = Package({fine, {"AD/WelcomePage.htm", AE_IFREG, "new\n"}});
    ExpectUnchanged(InstallPackage(install, package, Options()), "是一个链接");
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

} // namespace
