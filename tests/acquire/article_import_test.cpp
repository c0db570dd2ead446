#include "acquire/article_import.h"
#include "tests/acquire/import_test_support.h"

namespace
{

constexpr const char* kArticleAddress = "http://develop.zelk.example/article/2006/123.shtm";

class ArticleImportTest : public ImportTest
{
protected:
    std::string ImportArticle(const std::string& address, const std::string& bytes)
    {
        const std::string path = Download("DevelopTemp.shtm", bytes);
        importer->ImportArticleFile(address, path);
        return path;
    }
};

TEST_F(ArticleImportTest, QuotedPrintableArchiveGivesEveryColumn)
{
    const std::string archive = Fixture("article_qp.mht");
    // The markers are split by soft line breaks and "=3D" in the file itself.
    ASSERT_EQ(archive.find("ArticleTitle1_ArticleTitle1_hlClass\" href=\""), std::string::npos);

    ImportArticle(kArticleAddress, archive);
    EXPECT_TRUE(ui.statusTexts.empty());

    CDevelopTable row;
    ASSERT_EQ(store->GetRecordById(123, row), 0);
    EXPECT_EQ(row.GetLong(CDevelopTable::fID), 123);
    EXPECT_EQ(row.GetText(CDevelopTable::fTitle), "SQLite 入门: 从零开始的嵌入式数据库教程");
    EXPECT_EQ(row.GetLong(CDevelopTable::fRoomID), 10023);
    EXPECT_EQ(row.GetText(CDevelopTable::fRoomName), "数据库");
    EXPECT_EQ(row.GetText(CDevelopTable::fAuthor), "lisi");
    EXPECT_EQ(row.GetText(CDevelopTable::fRemark), "(NULL)");
    EXPECT_EQ(row.GetDateText(CDevelopTable::fInDate).size(), 19u);
    // The archive is stored as downloaded, plus the zero byte.
    ASSERT_EQ(row.GetBinaryLen(CDevelopTable::fContent), static_cast<long>(archive.size() + 1));
    EXPECT_EQ(std::string(static_cast<const char*>(row.GetBinaryBuf(CDevelopTable::fContent)),
                          archive.size() + 1),
              archive + '\0');

    EXPECT_EQ(ReadBytes(Temp("Develop_OffLineData_123.mht")), archive);
    const std::string extracted = Temp("extracted.mht");
    ASSERT_EQ(store->ExtractContent(row, CDevelopTable::fContent, extracted.c_str()), 1);
    EXPECT_EQ(ReadBytes(extracted), archive);

    EXPECT_EQ(SavedChildren("ZELK文档"), (std::vector<std::string>{"数据库=10023"}));
}

TEST_F(ArticleImportTest, AbsoluteLinksInABase64ArchiveAreFound)
{
    ImportArticle("http://develop.zelk.example/article/2006/124.shtm",
                  Fixture("article_absolute_b64.mht"));
    CDevelopTable row;
    ASSERT_EQ(store->GetRecordById(124, row), 0);
    EXPECT_EQ(row.GetLong(CDevelopTable::fRoomID), 10023);
    EXPECT_EQ(row.GetText(CDevelopTable::fRoomName), "数据库");
    EXPECT_EQ(row.GetText(CDevelopTable::fTitle), "SQLite 入门: 从零开始的嵌入式数据库教程");
    EXPECT_EQ(row.GetText(CDevelopTable::fAuthor), "lisi");
}

TEST_F(ArticleImportTest, SecondArticleOfTheClassAddsNoNode)
{
    ImportArticle(kArticleAddress, Fixture("article_qp.mht"));
    ImportArticle("http://develop.zelk.example/article/2006/125.shtm", Fixture("article_qp.mht"));
    CDevelopTable row;
    EXPECT_EQ(store->GetRecordById(125, row), 0);
    EXPECT_EQ(SavedChildren("ZELK文档"), (std::vector<std::string>{"数据库=10023"}));
    EXPECT_EQ(treeCheck.addedPaths, (std::vector<std::string>{"离线资料\\ZELK文档\\数据库"}));
}

TEST_F(ArticleImportTest, AddressWithoutIdIsReported)
{
    for (const char* text : {"http://develop.zelk.example/article/2006/01/123.shtm",
                             "http://community.zelk.example/article/2006/123.shtm"})
    {
        const std::string address = text;
        ui.statusTexts.clear();
        ImportArticle(address, Fixture("article_qp.mht"));
        EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{"无法处理指定的URL链接 : " + address}));
    }
    EXPECT_FALSE(std::filesystem::exists(Temp("Develop_OffLineData_123.mht")));
    EXPECT_TRUE(SavedChildren("ZELK文档").empty());
}

TEST_F(ArticleImportTest, MissingArchiveShowsTheBoxThenTheStatus)
{
    importer->ImportArticleFile(kArticleAddress, Temp("DevelopTemp.shtm"));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0].rfind("Can't open the file : " + Temp("DevelopTemp.shtm"), 0), 0u);
    EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{"无法正确读取文档数据"}));
    CDevelopTable row;
    EXPECT_EQ(store->GetRecordById(123, row), -5);
}

TEST_F(ArticleImportTest, PageWithoutMarkersStoresEmptyValues)
{
    ImportArticle(kArticleAddress, "<html><title>x</title><body>nothing here</body></html>");
    CDevelopTable row;
    ASSERT_EQ(store->GetRecordById(123, row), 0);
    EXPECT_EQ(row.GetLong(CDevelopTable::fRoomID), 10000);
    EXPECT_EQ(row.GetText(CDevelopTable::fTitle), "");
    EXPECT_EQ(row.GetText(CDevelopTable::fRoomName), "");
    EXPECT_EQ(row.GetText(CDevelopTable::fAuthor), "");
    // The class node still gets a visible label.
    EXPECT_EQ(SavedChildren("ZELK文档"), (std::vector<std::string>{"(NULL)=10000"}));
}

struct MarkerCase
{
    const char* name;
    const char* page;
    int classNumber;
    const char* className;
    const char* title;
    const char* author;
};

class ArticleMarkersTest : public testing::TestWithParam<MarkerCase>
{
};

TEST_P(ArticleMarkersTest, SearchesRunInOrder)
{
    CArticleInfo info;
    ParseArticleText(GetParam().page, info, "develop.zelk.example");
    EXPECT_EQ(info.classNumber, GetParam().classNumber);
    EXPECT_EQ(info.className, GetParam().className);
    EXPECT_EQ(info.title, GetParam().title);
    EXPECT_EQ(info.author, GetParam().author);
}

#define CLASS_LINK(c, text)                                                                        \
    "<a id=\"ArticleTitle1_ArticleTitle1_hlClass\" href=\"/articlelist.aspx?c=" c "\">" text "</"  \
    "a>"
#define TITLE(t) "<span id=\"ArticleTitle1_ArticleTitle1_lblTitle\">" t "</span>"
#define AUTHOR(a) "<a id=\"ArticleTitle1_ArticleTitle1_AuthorLink\" href=\"/user/" a "\">" a "</a>"

INSTANTIATE_TEST_SUITE_P(
    Pages, ArticleMarkersTest,
    testing::Values(
        MarkerCase{"All", CLASS_LINK("23", "Database") TITLE("T") AUTHOR("bob"), 10023, "Database",
                   "T", "bob"},
        // Each search starts where the previous one's begin marker ended: a
        // title ahead of the class link is not found, nor anything after it.
        MarkerCase{"TitleFirst", TITLE("T") CLASS_LINK("5", "C") AUTHOR("bob"), 10005, "C", "", ""},
        MarkerCase{"NoClass", TITLE("T") AUTHOR("bob"), 10000, "", "", ""},
        MarkerCase{"NoTitle", CLASS_LINK("7", "C") AUTHOR("bob"), 10007, "C", "", ""},
        MarkerCase{"References", CLASS_LINK("8", "C&amp;C++") TITLE("&lt;T&gt;") AUTHOR("a&#46;b"),
                   10008, "C&C++", "<T>", "a.b"},
        MarkerCase{"ClassNotNumeric", CLASS_LINK("x1", "C") TITLE("T") AUTHOR("a"), 10000, "C", "T",
                   "a"},
        // The offset must not overflow a class number at the top of the range.
        MarkerCase{"HugeClassNumber", CLASS_LINK("99999999999", "C") TITLE("T") AUTHOR("a"),
                   2147483647, "C", "T", "a"},
        MarkerCase{"AbsoluteOnOtherHost",
                   "<a id=\"ArticleTitle1_ArticleTitle1_hlClass\" "
                   "href=\"http://evil.example/articlelist.aspx?c=9\">C</a>" TITLE("T"),
                   10000, "", "", ""}),
    [](const testing::TestParamInfo<MarkerCase>& info) { return std::string(info.param.name); });

} // namespace
