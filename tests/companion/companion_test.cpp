// The companion as a script would use it: a copied installation, the sample
// service on loopback, and the files the program leaves behind.
#include "tests/support/run_program.h"
#include "tests/support/sample_service_process.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');)
        fields.push_back(f);
    return fields;
}

// A fresh copy of build/bin: the program's files, its data, an empty library.
class Installation
{
public:
    explicit Installation(const std::string& root) : m_root(root)
    {
        const fs::path bin = MYZELK_BIN_DIR;
        for (const auto& entry : fs::directory_iterator(bin))
        {
            const std::string name = entry.path().filename().string();
            if (name == "MyZELKCmd" || name.rfind("libLQADO.so", 0) == 0)
                fs::copy(entry.path(), m_root / name, fs::copy_options::copy_symlinks);
        }
        // Shipped data and a new database, not what earlier runs left in bin/.
        fs::copy(MYZELK_SHIPPED_RESOURCES, m_root / "Resource", fs::copy_options::recursive);
        const ProgramResult created =
            RunProgram((bin / "MyZELK-initdb").string(),
                       {MYZELK_SCHEMA, (m_root / "DataBase/MyZELK.mdb").string()});
        if (created.exitCode != 0)
            throw std::runtime_error("MyZELK-initdb failed: " + created.err);
    }
    fs::path Root() const { return m_root; }
    std::string Program() const { return (m_root / "MyZELKCmd").string(); }

private:
    fs::path m_root;
};

// The address of an archive's main part: which page the file holds.
std::string MainPartAddress(const std::string& archive)
{
    const std::string header = "\nContent-Location: ";
    const size_t at = archive.find(header);
    if (at == std::string::npos)
        return {};
    const size_t begin = at + header.size();
    return archive.substr(begin, archive.find_first_of("\r\n", begin) - begin);
}

long CountRows(const fs::path& db, const char* table)
{
    sqlite3* handle = nullptr;
    long count = -1;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
    {
        sqlite3_stmt* st = nullptr;
        const std::string sql = std::string("SELECT COUNT(*) FROM ") + table;
        if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            count = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(handle);
    return count;
}

} // namespace

class CompanionTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(service.Running()); }

    ProgramResult Run(const std::vector<std::string>& args)
    {
        const std::string host = "127.0.0.1:" + std::to_string(service.Port());
        // debug.txt lands in the working folder, as for the program.
        return RunProgram(
            install.Program(), args,
            {"MYZELK_HOSTS=community=" + host + ",develop=" + host + ",search=" + host},
            scratch.Path());
    }
    fs::path Db() const { return install.Root() / "DataBase/MyZELK.mdb"; }
    std::string Tree() const
    {
        return ReadFileBytes((install.Root() / "Resource/RoomList/OffLine.xml").string());
    }

    SampleServiceProcess service;
    ScratchDir scratch;
    ScratchDir installDir;
    Installation install{installDir.Path()};
};

TEST_F(CompanionTest, SavesTopicArticleAndPageInArrivalOrder)
{
    const ProgramResult r =
        Run({"save", service.Url("/Expert/TopicView1.asp?id=4711"),
             service.Url("/article/2006/123.shtm"), service.Url("/static/pages/utf8-bom.html"),
             service.Url("/Expert/topic/12/5001.xml")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    const auto topic = Fields(lines[0]);
    ASSERT_EQ(topic.size(), 5u);
    EXPECT_EQ(topic[0], "topic");
    EXPECT_EQ(topic[1], "tCommunity");
    EXPECT_EQ(topic[2], "4711");
    EXPECT_EQ(topic[4], (install.Root() / "Temp/Community_OffLineData_4711.xml").string());
    EXPECT_EQ(Fields(lines[1])[0], "article");
    EXPECT_EQ(Fields(lines[1])[2], "123");
    EXPECT_EQ(Fields(lines[2])[0], "page");
    EXPECT_EQ(Fields(lines[3])[2], "5001");

    EXPECT_EQ(CountRows(Db(), "tCommunity"), 2);
    EXPECT_EQ(CountRows(Db(), "tDevelop"), 1);
    EXPECT_EQ(CountRows(Db(), "tTopic"), 1);
    for (const auto& line : lines)
        EXPECT_TRUE(fs::exists(Fields(line).back())) << line;

    // The display copy of a topic points at the program's own skin.
    const std::string copy = ReadFileBytes(topic[4]);
    EXPECT_NE(copy.find("../Resource/Skins/style1.xsl"), std::string::npos);

    const std::string tree = Tree();
    EXPECT_NE(tree.find("ID=\"7\""), std::string::npos) << tree;
    EXPECT_NE(tree.find("ID=\"12\""), std::string::npos);
    EXPECT_NE(tree.find("ID=\"10023\""), std::string::npos);
    EXPECT_NE(tree.find("其他文章"), std::string::npos);
}

// The companion has no browser: its downloads carry the cookies that the
// program's browser panel keeps in the installation (a sign-in).
TEST_F(CompanionTest, SavesWithTheBrowserPanelsCookies)
{
    fs::create_directories(install.Root() / "BrowserProfile");
    std::ofstream(install.Root() / "BrowserProfile/cookies.txt")
        << "# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tZelkUser\tpanel-user\n";
    const ProgramResult r = Run({"save", service.Url("/Expert/welcome.asp")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto fields = Fields(Lines(r.out).at(0));
    ASSERT_EQ(fields.size(), 4u) << r.out;
    EXPECT_EQ(fields[0], "page");
    EXPECT_EQ(fields[2], "欢迎 panel-user");
}

// A reply goes out with the panel's sign-in and the signature, and the topic
// saved afterwards holds it; without a sign-in the service's refusal is kept
// for the user to read.
TEST_F(CompanionTest, RepliesWithTheBrowserPanelsSignIn)
{
    const fs::path result = install.Root() / "Temp/ReplyResult.htm";
    const ProgramResult guest = Run({"reply", "5001", "游客的回复"});
    EXPECT_EQ(guest.exitCode, 1) << guest.out << guest.err;
    EXPECT_EQ(Fields(Lines(guest.out).at(0)).at(0), "refused") << guest.out;
    EXPECT_NE(ReadFileBytes(result.string()).find("/Expert/login.asp"), std::string::npos);

    fs::create_directories(install.Root() / "BrowserProfile");
    std::ofstream(install.Root() / "BrowserProfile/cookies.txt")
        << "# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tZelkUser\tpanel-user\n";
    std::ofstream(install.Root() / "MyZELK.cfg")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config><Item Name=\"UserSign\" "
           "Value=\"-- 老王 &amp; co\"/></Config>\n";
    const ProgramResult signedIn = Run({"reply", "5001", "SQLite 用 BEGIN IMMEDIATE 100%"});
    EXPECT_EQ(signedIn.exitCode, 0) << signedIn.out << signedIn.err;
    EXPECT_EQ(Fields(Lines(signedIn.out).at(0)).at(0), "accepted") << signedIn.out;

    ASSERT_EQ(Run({"save", service.Url("/Expert/TopicView1.asp?id=5001")}).exitCode, 0);
    const std::string topic =
        ReadFileBytes((install.Root() / "Temp/Community_OffLineData_5001.xml").string());
    EXPECT_NE(topic.find("panel-user"), std::string::npos) << topic;
    EXPECT_NE(topic.find("SQLite 用 BEGIN IMMEDIATE 100%\r\n-- 老王 &amp; co"), std::string::npos)
        << topic;
    EXPECT_EQ(topic.find("游客的回复"), std::string::npos);
}

TEST_F(CompanionTest, SavingAgainAddsNoRowAndNoNode)
{
    ASSERT_EQ(Run({"save", service.Url("/Expert/TopicView1.asp?id=4711")}).exitCode, 0);
    const std::string tree = Tree();
    const ProgramResult again = Run({"save", service.Url("/Expert/TopicView1.asp?id=4711"),
                                     service.Url("/Expert/TopicView1.asp?id=4712")});
    EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
    // The stored topic was replaced by the new download, and the line says so.
    const auto lines = Lines(again.out);
    ASSERT_EQ(lines.size(), 2u) << again.out;
    EXPECT_EQ(Fields(lines[0]).at(0), "updated") << lines[0];
    EXPECT_EQ(Fields(lines[1]).at(0), "topic") << lines[1];
    EXPECT_EQ(CountRows(Db(), "tCommunity"), 2);
    // 4712 lives in the same room as 4711: the tree file is unchanged.
    EXPECT_EQ(Tree(), tree);
}

// Items are told apart by what they are, not by what they are called: two
// pages of one title, and a page titled with an article's id.
TEST_F(CompanionTest, EveryItemOpensAsItselfWhateverItIsCalled)
{
    const std::vector<std::string> addresses{service.Url("/article/2006/123.shtm"),
                                             service.Url("/static/pages/numeric-title.html"),
                                             service.Url("/static/pages/same-title-a.html"),
                                             service.Url("/static/pages/same-title-b.html")};
    std::vector<std::string> args{"save"};
    args.insert(args.end(), addresses.begin(), addresses.end());
    const ProgramResult r = Run(args);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), addresses.size()) << r.out;
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(MainPartAddress(ReadFileBytes(Fields(lines[i]).back())), addresses[i])
            << lines[i];

    // Opened again from the database: each page by the key its list row ends with.
    for (const auto& entry : fs::directory_iterator(install.Root() / "Temp"))
        fs::remove(entry.path());
    const auto pages = Lines(Run({"list", "topic"}).out);
    ASSERT_EQ(pages.size(), 3u);
    std::set<std::string> opened;
    for (const auto& page : pages)
    {
        const ProgramResult e = Run({"extract", "page", Fields(page).back()});
        ASSERT_EQ(e.exitCode, 0) << page << e.err;
        opened.insert(MainPartAddress(ReadFileBytes(Lines(e.out).at(0))));
    }
    EXPECT_EQ(opened, std::set<std::string>(addresses.begin() + 1, addresses.end()));
    const ProgramResult article = Run({"extract", "develop", "123"});
    ASSERT_EQ(article.exitCode, 0) << article.err;
    EXPECT_EQ(MainPartAddress(ReadFileBytes(Lines(article.out).at(0))), addresses[0]);
}

// A display copy cut short (the program killed while writing it) is written
// again when the item is opened.
TEST_F(CompanionTest, OpeningRewritesACutDisplayCopy)
{
    const ProgramResult r = Run({"save", service.Url("/Expert/TopicView1.asp?id=4711"),
                                 service.Url("/article/2006/123.shtm")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    for (const auto& line : Lines(r.out))
    {
        const auto fields = Fields(line);
        const std::string path = fields.back();
        const std::string whole = ReadFileBytes(path);
        fs::resize_file(path, whole.size() / 2);
        const ProgramResult e =
            Run({"extract", fields.at(0) == "topic" ? "community" : "develop", fields.at(2)});
        ASSERT_EQ(e.exitCode, 0) << e.err;
        EXPECT_EQ(ReadFileBytes(path), whole) << line;
    }
}

// Another process holds the database's write lock past the busy time-out:
// the save fails, says why, and leaves no display copy or room node.
TEST_F(CompanionTest, ASaveTheLockedDatabaseRefusesLeavesNothingBehind)
{
    const std::string tree = Tree();
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(Db().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const ProgramResult r = Run({"save", service.Url("/Expert/TopicView1.asp?id=4711")});
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);

    EXPECT_EQ(r.exitCode, 1);
    const auto fields = Fields(Lines(r.out).at(0));
    EXPECT_EQ(fields.at(0), "failed");
    EXPECT_NE(fields.back().find("locked"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(install.Root() / "Temp/Community_OffLineData_4711.xml"));
    EXPECT_EQ(Tree(), tree);
    EXPECT_EQ(Run({"extract", "community", "4711"}).exitCode, 1);
}

TEST_F(CompanionTest, FailedFetchesAreReportedAndStoreNothing)
{
    const ProgramResult r =
        Run({"save", service.Url("/Expert/TopicView1.asp?id=9999"),
             "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/page.html",
             service.Url("/static/pages/gb2312.html")});
    EXPECT_EQ(r.exitCode, 1);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(Fields(lines[0])[0], "failed");
    EXPECT_NE(lines[0].find("无法下载"), std::string::npos);
    EXPECT_EQ(Fields(lines[1])[0], "failed");
    EXPECT_EQ(Fields(lines[2])[0], "page");
    // A topic's line says why, as a page's does; so does the log.
    EXPECT_NE(lines[0].find("404"), std::string::npos) << lines[0];
    EXPECT_NE(ReadFileBytes(scratch.File("debug.txt")).find("404"), std::string::npos);
    EXPECT_EQ(CountRows(Db(), "tCommunity"), 0);
    EXPECT_EQ(CountRows(Db(), "tTopic"), 1);
}

// An empty answer, or an image, is no page: refused with the reason, nothing stored.
TEST_F(CompanionTest, AnswersThatAreNoPageAreRefused)
{
    const ProgramResult r =
        Run({"save", service.Url("/cookie/echo"), service.Url("/static/img/a.png")});
    EXPECT_EQ(r.exitCode, 1);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_NE(lines[0].find("empty"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("image/png"), std::string::npos) << lines[1];
    EXPECT_EQ(CountRows(Db(), "tTopic"), 0);
}

// A tree file that cannot be written makes the item's line a failure.
TEST_F(CompanionTest, ARoomNodeThatCannotBeWrittenIsAFailure)
{
    const fs::path tree = install.Root() / "Resource/RoomList/OffLine.xml";
    const std::string before = Tree();
    fs::permissions(tree, fs::perms::owner_read);
    const ProgramResult r = Run({"save", service.Url("/Expert/TopicView1.asp?id=4711")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Fields(Lines(r.out).at(0)).at(0), "failed") << r.out;
    EXPECT_NE(r.out.find(tree.string()), std::string::npos) << r.out;
    EXPECT_EQ(Tree(), before);
}

TEST_F(CompanionTest, ListSearchAndExtractReadTheLibrary)
{
    ASSERT_EQ(Run({"save", service.Url("/Expert/TopicView1.asp?id=4711"),
                   service.Url("/article/2006/123.shtm")})
                  .exitCode,
              0);
    const ProgramResult room = Run({"list", "community", "7"});
    ASSERT_EQ(room.exitCode, 0);
    EXPECT_EQ(Fields(Lines(room.out).at(0)).at(0), "4711");
    EXPECT_EQ(Run({"list", "community", "8"}).exitCode, 1);
    EXPECT_EQ(Lines(Run({"list", "develop"}).out).size(), 1u);

    const ProgramResult found = Run({"search", "develop", "SQLite"});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(Run({"search", "develop", "x' OR '1'='1"}).exitCode, 1);

    // Extract re-creates a deleted display copy from the database.
    const std::string path = (install.Root() / "Temp/Community_OffLineData_4711.xml").string();
    const std::string original = ReadFileBytes(path);
    fs::remove(path);
    const ProgramResult extracted = Run({"extract", "community", "4711"});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_EQ(Lines(extracted.out).at(0), path);
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_EQ(Run({"extract", "community", "1234"}).exitCode, 1);

    const ProgramResult tree = Run({"tree"});
    EXPECT_NE(tree.out.find("Database [10023]"), std::string::npos) << tree.out;
}

TEST_F(CompanionTest, TwoCompanionsAtOnceImportOnlyTheirOwnDownloads)
{
    // Both would download into the same fixed files if they shared them.
    auto saveMany = [this](const std::string& page)
    {
        std::vector<std::string> args{"save"};
        for (int i = 0; i < 6; ++i)
            args.push_back(service.Url("/static/pages/" + page + "?n=" + std::to_string(i)));
        return Run(args);
    };
    auto a = std::async(std::launch::async, saveMany, "gb2312.html");
    auto b = std::async(std::launch::async, saveMany, "utf8-bom.html");
    const ProgramResult ra = a.get(), rb = b.get();
    ASSERT_EQ(ra.exitCode, 0) << ra.out << ra.err;
    ASSERT_EQ(rb.exitCode, 0) << rb.out << rb.err;
    const auto titleOf = [](const std::string& line) { return Fields(line).at(2); };
    const auto linesA = Lines(ra.out), linesB = Lines(rb.out);
    ASSERT_EQ(linesA.size(), 6u);
    ASSERT_EQ(linesB.size(), 6u);
    for (const auto& line : linesA)
        EXPECT_EQ(titleOf(line), titleOf(linesA[0]));
    for (const auto& line : linesB)
        EXPECT_EQ(titleOf(line), titleOf(linesB[0]));
    EXPECT_NE(titleOf(linesA[0]), titleOf(linesB[0]));
    EXPECT_EQ(CountRows(Db(), "tTopic"), 12);
    // Each companion's download folder is gone afterwards.
    for (const auto& entry : fs::directory_iterator(install.Root() / "Temp"))
        EXPECT_FALSE(entry.is_directory()) << entry.path();
}

// What processes killed mid-work left is gone after the next start; a
// running companion's folder stays.
TEST_F(CompanionTest, LeftoversOfEndedProcessesAreRemovedAtStart)
{
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    ASSERT_GT(ended, 0);
    waitpid(ended, nullptr, 0);
    const fs::path temp = install.Root() / "Temp";
    const fs::path gone = temp / ("MyZELKCmd." + std::to_string(ended));
    const fs::path running = temp / ("MyZELKCmd." + std::to_string(getpid()));
    const fs::path half = install.Root() / "Resource/RoomList/OffLine.xml.tmpA1b2C3";
    fs::create_directories(gone / "inner");
    fs::create_directories(running);
    std::ofstream(half) << "<LQEditTree";
    ASSERT_EQ(Run({"tree"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_FALSE(fs::exists(half));
    EXPECT_TRUE(fs::exists(running));
}

TEST_F(CompanionTest, ClassifyAndUsageErrors)
{
    const ProgramResult r = Run({"classify", service.Url("/Expert/topic/4/4711.xml")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Fields(Lines(r.out).at(0)).at(0), "CommunityTopic");
    EXPECT_EQ(Run({}).exitCode, 2);
    EXPECT_EQ(Run({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(Run({"list", "nowhere"}).exitCode, 2);
    EXPECT_EQ(Run({"extract", "community", "abc"}).exitCode, 2);
    EXPECT_EQ(Run({"--help"}).exitCode, 0);
}

TEST_F(CompanionTest, BrokenInstallationsExitWithThree)
{
    const fs::path tree = install.Root() / "Resource/RoomList/OffLine.xml";
    std::ofstream(tree, std::ios::trunc) << "<LQEditTree><Node";
    const ProgramResult damagedTree = Run({"tree"});
    EXPECT_EQ(damagedTree.exitCode, 3);
    EXPECT_NE(damagedTree.err.find("damaged"), std::string::npos) << damagedTree.err;
    fs::remove(tree);
    const ProgramResult noTree = Run({"tree"});
    EXPECT_EQ(noTree.exitCode, 3);
    EXPECT_NE(noTree.err.find("缺少文件 : "), std::string::npos);
    fs::remove(Db());
    const ProgramResult noDb = Run({"list", "topic"});
    EXPECT_EQ(noDb.exitCode, 3);
    EXPECT_NE(noDb.err.find("初始化数据库失败!"), std::string::npos);
    EXPECT_FALSE(fs::exists(Db())) << "the database must never be created by the program";
}

// The box text stays; the message goes on to say what is wrong.
TEST_F(CompanionTest, AnUnusableDatabaseSaysWhy)
{
    std::ofstream(Db(), std::ios::binary | std::ios::trunc) << std::string(4096, 'x');
    const ProgramResult damaged = Run({"list", "topic"});
    EXPECT_EQ(damaged.exitCode, 3);
    EXPECT_NE(damaged.err.find("初始化数据库失败!"), std::string::npos);
    EXPECT_NE(damaged.err.find("not a database"), std::string::npos) << damaged.err;

    fs::permissions(Db(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const ProgramResult readOnly = Run({"list", "topic"});
    EXPECT_EQ(readOnly.exitCode, 3);
    EXPECT_NE(readOnly.err.find("read-only"), std::string::npos) << readOnly.err;
}
