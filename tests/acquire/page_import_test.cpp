#include "acquire/page_import.h"
#include "tests/acquire/import_test_support.h"

namespace
{

class PageImportTest : public ImportTest
{
protected:
    std::string ImportPage(const std::string& bytes)
    {
        const std::string path = Download("TopicTemp.mht", bytes);
        importer->ImportOtherPageFile("http://elsewhere.example/", path);
        return path;
    }

    std::vector<std::string> OtherArticleNodes() const
    {
        CEditTreeModel saved;
        EXPECT_TRUE(saved.LoadTree(paths.m_szOfflineTree));
        std::vector<std::string> out;
        for (const auto& child : saved.GetRootItem()->GetChildren())
            if (child->GetNode()->Text == "其他文章")
                out.push_back(child->GetNode()->Text + "=" + std::to_string(child->GetNode()->ID));
        return out;
    }
};

struct PageCase
{
    const char* fixture;
    const char* title;
};

class PageFixtureTest : public PageImportTest, public testing::WithParamInterface<PageCase>
{
};

TEST_P(PageFixtureTest, StoresTheTitleTheArchiveAndOneNode)
{
    const std::string archive = Fixture(GetParam().fixture);
    ImportPage(archive);
    ImportPage(archive); // a second save of the page
    EXPECT_TRUE(ui.statusTexts.empty());

    CTopicTable row;
    ASSERT_EQ(store->GetTopicByTitle(GetParam().title, row), 0) << GetParam().title;
    EXPECT_EQ(row.GetText(CTopicTable::fTitle), GetParam().title);
    EXPECT_EQ(row.GetText(CTopicTable::fRemark), "http://elsewhere.example/");
    EXPECT_EQ(row.GetDateText(CTopicTable::fInDate).size(), 19u);
    ASSERT_EQ(row.GetBinaryLen(CTopicTable::fContent), static_cast<long>(archive.size() + 1));
    EXPECT_EQ(std::string(static_cast<const char*>(row.GetBinaryBuf(CTopicTable::fContent)),
                          archive.size() + 1),
              archive + '\0');

    const std::string display = store->TopicDisplayPath(row.Key());
    EXPECT_EQ(display, Temp("Develop_OffLineData_Page" + std::to_string(row.Key()) + ".mht"));
    EXPECT_EQ(ReadBytes(display), archive);

    // Added once; the notification comes with every import.
    EXPECT_EQ(OtherArticleNodes(), (std::vector<std::string>{"其他文章=90004"}));
    EXPECT_EQ(treeCheck.addedPaths,
              (std::vector<std::string>{"离线资料\\其他文章", "离线资料\\其他文章"}));
}

INSTANTIATE_TEST_SUITE_P(Archives, PageFixtureTest,
                         testing::Values(PageCase{"page_utf8_bom.mht", "离线阅读测试页"},
                                         PageCase{"page_gb2312.mht", "国标编码的页面"},
                                         PageCase{"page_quoted_charset.mht", "引號裡的字元集"},
                                         PageCase{"page_no_title.mht", "TopicTemp"}));

TEST_F(PageImportTest, UnsafeTitleIsStoredAsIsButNamesAFileInTheTemporaryFolder)
{
    const std::string page = Fixture("page_unsafe_title.htm");
    ImportPage(page);
    const std::string title = "../../etc/passwd: a/b\\c";
    CTopicTable row;
    ASSERT_EQ(store->GetTopicByTitle(title.c_str(), row), 0);

    const std::filesystem::path display = store->TopicDisplayPath(row.Key());
    ASSERT_FALSE(display.empty());
    EXPECT_EQ(display.parent_path(), std::filesystem::path(paths.m_szTempDir));
    EXPECT_EQ(ReadBytes(display.string()), page);
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(paths.m_szTempDir).parent_path() / "etc"));
}

int CollectPageRow(void* context, CLQADOField* fields)
{
    CTopicTable row(fields);
    static_cast<std::vector<std::string>*>(context)->push_back(
        row.GetText(CTopicTable::fTitle) + " | " + row.GetText(CTopicTable::fRemark));
    return 1;
}

// A page saved again from the same address replaces its row, which keeps the
// address in its remark column.
TEST_F(PageImportTest, SavingTheSameAddressAgainReplacesItsRow)
{
    const std::string first = "<html><title>One</title>first</html>";
    const std::string second = "<html><title>One again</title>second</html>";
    importer->ImportOtherPageFile("http://a.example/page", Download("TopicTemp.mht", first));
    importer->ImportOtherPageFile("http://b.example/page", Download("TopicTemp.mht", first));
    importer->ImportOtherPageFile("http://a.example/page", Download("TopicTemp.mht", second));
    EXPECT_TRUE(ui.statusTexts.empty());

    std::vector<std::string> rows;
    ASSERT_EQ(store->ListAllTopics(CollectPageRow, &rows), 0);
    EXPECT_EQ(rows, (std::vector<std::string>{"One again | http://a.example/page",
                                              "One | http://b.example/page"}));
    CTopicTable row;
    ASSERT_EQ(store->GetTopicByTitle("One again", row), 0);
    EXPECT_EQ(std::string(static_cast<const char*>(row.GetBinaryBuf(CTopicTable::fContent))),
              second);
}

TEST_F(PageImportTest, MissingArchiveIsReported)
{
    importer->ImportOtherPageFile("http://elsewhere.example/", Temp("TopicTemp.mht"));
    EXPECT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{"无法正确读取文档数据"}));
    EXPECT_TRUE(OtherArticleNodes().empty());
}

} // namespace
