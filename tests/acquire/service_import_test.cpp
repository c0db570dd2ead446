// Saving from the sample community service on loopback, as the download
// worker does: topic XML fetched as it is, pages archived by our archiver,
// then imported.
#include "acquire/article_import.h"
#include "platform/net/page_archiver.h"
#include "platform/net/url_fetch.h"
#include "tests/acquire/import_test_support.h"
#include "tests/support/sample_service_process.h"

namespace
{

class ServiceImportTest : public ImportTest
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
        ImportTest::SetUp();
        ASSERT_TRUE(service->Running());
        const std::string host = "127.0.0.1:" + std::to_string(service->Port());
        config.SetHostForCommunity(host);
        config.SetHostForDevelop(host);
        config.SetHostForFullSearchCommunity(host);
        fetch.connectTimeoutMs = 5000;
        fetch.totalTimeoutMs = 20000;
    }

    std::string Archive(const std::string& path, const char* fileName)
    {
        ArchiveOptions options;
        options.fetch = fetch;
        const ArchiveResult result = SavePageAsMhtml(service->Url(path), Temp(fileName), options);
        EXPECT_TRUE(result.ok) << result.error;
        return Temp(fileName);
    }

    static SampleServiceProcess* service;
    FetchOptions fetch;
};

SampleServiceProcess* ServiceImportTest::service = nullptr;

TEST_F(ServiceImportTest, Gb2312TopicFromTheCommunity)
{
    const std::string path = Temp("CommunityTemp.xml");
    std::string error;
    ASSERT_TRUE(DownloadUrlToFile(service->Url("/Expert/topic/4/4711.xml"), path, fetch, &error))
        << error;
    importer->ImportTopicFile(path);
    EXPECT_TRUE(ui.statusTexts.empty());

    CCommunityTable row;
    ASSERT_EQ(store->GetRecordById(4711, row), 0);
    EXPECT_EQ(row.GetText(CCommunityTable::fTitle), "如何在多线程中安全地访问数据库？");
    EXPECT_EQ(row.GetText(CCommunityTable::fPostUserNickName), "小李飞刀");
    EXPECT_EQ(row.GetText(CCommunityTable::fRoomName), "数据库开发");
    EXPECT_EQ(row.GetLong(CCommunityTable::fRoomID), 7);
    EXPECT_EQ(row.GetLong(CCommunityTable::fReplyNum), 1);
    EXPECT_EQ(SavedChildren("ZELK社区"), (std::vector<std::string>{"数据库开发=7"}));

    const std::string page = TransformWithOwnSkin(store->CommunityDisplayPath(4711));
    EXPECT_NE(page.find("<title>如何在多线程中安全地访问数据库？</title>"), std::string::npos)
        << page;
    EXPECT_NE(page.find("用一个临界区保护连接即可。"), std::string::npos) << page;
}

TEST_F(ServiceImportTest, ArchivedArticleFromTheArticleSite)
{
    const std::string address = service->Url("/article/2006/123.shtm");
    const std::string archive = Archive("/article/2006/123.shtm", "DevelopTemp.shtm");
    // The archive keeps the page encoded: the markers exist only once decoded.
    ASSERT_EQ(ReadBytes(archive).find("ArticleTitle1_ArticleTitle1_hlClass\" href=\""),
              std::string::npos);
    importer->ImportArticleFile(address, archive);
    EXPECT_TRUE(ui.statusTexts.empty());

    CDevelopTable row;
    ASSERT_EQ(store->GetRecordById(123, row), 0);
    EXPECT_EQ(row.GetText(CDevelopTable::fTitle), "用 SQLite 替代 Access 数据库");
    EXPECT_EQ(row.GetLong(CDevelopTable::fRoomID), 10023);
    EXPECT_EQ(row.GetText(CDevelopTable::fRoomName), "Database");
    EXPECT_EQ(row.GetText(CDevelopTable::fAuthor), "wangwu");
    EXPECT_EQ(SavedChildren("ZELK文档"), (std::vector<std::string>{"Database=10023"}));
}

struct ServicePage
{
    const char* path;
    const char* title;
};

class ServicePageTest : public ServiceImportTest, public testing::WithParamInterface<ServicePage>
{
};

TEST_P(ServicePageTest, ArchivedPageGetsItsTitle)
{
    importer->ImportOtherPageFile(service->Url(GetParam().path),
                                  Archive(GetParam().path, "TopicTemp.mht"));
    CTopicTable row;
    EXPECT_EQ(store->GetTopicByTitle(GetParam().title, row), 0) << GetParam().path;
    EXPECT_TRUE(std::filesystem::exists(store->TopicDisplayPath(row.Key())));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ServicePageTest,
    testing::Values(ServicePage{"/static/pages/gb2312.html", "简体中文页面"},
                    ServicePage{"/static/pages/server-charset.html", "服务器声明的字符集"},
                    ServicePage{"/static/pages/utf8-bom.html", "带字节序标记的页面"},
                    ServicePage{"/static/pages/quoted-charset.html", "引号中的字符集"},
                    // A browser shows the first title element, whatever its spelling.
                    ServicePage{"/static/pages/both-titles.html", "Upper"},
                    ServicePage{"/static/pages/no-title.html", "TopicTemp"}));

} // namespace
