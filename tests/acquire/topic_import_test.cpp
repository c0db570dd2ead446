#include "acquire/topic_import.h"
#include "tests/acquire/import_test_support.h"
#include "tests/support/sqlite_fault_vfs.h"

namespace
{

constexpr const char* kSkinInstruction =
    "<?xml-stylesheet type='text/xsl' href='../Resource/Skins/style1.xsl'?>";

class TopicImportTest : public ImportTest
{
protected:
    std::string ImportTopic(const std::string& bytes)
    {
        const std::string path = Download("CommunityTemp.xml", bytes);
        importer->ImportTopicFile(path);
        return path;
    }

    long Fetch(long id, CCommunityTable& row) { return store->GetRecordById(id, row); }
};

TEST_F(TopicImportTest, StoresEveryColumnOfAUtf8Topic)
{
    const std::string path = ImportTopic(Fixture("topic_utf8.xml"));
    EXPECT_TRUE(ui.statusTexts.empty());

    CCommunityTable row;
    ASSERT_EQ(Fetch(4711, row), 0);
    EXPECT_EQ(row.GetLong(CCommunityTable::fID), 4711);
    EXPECT_EQ(row.GetText(CCommunityTable::fTitle), "如何在 C++ 中读取 UTF-8 文件?");
    EXPECT_EQ(row.GetText(CCommunityTable::fPostUserName), "zhangsan");
    EXPECT_EQ(row.GetText(CCommunityTable::fPostUserNickName), "NULL"); // present but empty
    EXPECT_EQ(row.GetText(CCommunityTable::fRank), "二级(中级)");
    EXPECT_EQ(row.GetLong(CCommunityTable::fCredit), 100);
    EXPECT_EQ(row.GetLong(CCommunityTable::fRoomID), 7);
    EXPECT_EQ(row.GetText(CCommunityTable::fRoomName), "C/C++");
    EXPECT_EQ(row.GetLong(CCommunityTable::fReplyNum), 3);
    EXPECT_EQ(row.GetLong(CCommunityTable::fPoint), 20);
    EXPECT_EQ(row.GetLong(CCommunityTable::fReadNum), 156);
    EXPECT_EQ(row.GetLong(CCommunityTable::fEndState), 1);
    EXPECT_EQ(row.GetText(CCommunityTable::fRemark), "(NULL)");
    EXPECT_EQ(row.GetDateText(CCommunityTable::fInDate).size(), 19u);

    // The stored content is the rewritten file plus one zero byte.
    const std::string rewritten = ReadBytes(path);
    EXPECT_NE(rewritten.find(kSkinInstruction), std::string::npos) << rewritten.substr(0, 200);
    EXPECT_EQ(rewritten.find("community.zelk.example"), std::string::npos);
    ASSERT_EQ(row.GetBinaryLen(CCommunityTable::fContent), static_cast<long>(rewritten.size() + 1));
    EXPECT_EQ(std::string(static_cast<const char*>(row.GetBinaryBuf(CCommunityTable::fContent)),
                          rewritten.size() + 1),
              rewritten + '\0');

    // Display copy and extraction: the rewritten file, without the zero byte.
    const std::string display = store->CommunityDisplayPath(4711);
    EXPECT_EQ(display, Temp("Community_OffLineData_4711.xml"));
    EXPECT_EQ(ReadBytes(display), rewritten);
    const std::string extracted = Temp("extracted.xml");
    ASSERT_EQ(store->ExtractContent(row, CCommunityTable::fContent, extracted.c_str()), 1);
    EXPECT_EQ(ReadBytes(extracted), rewritten);

    EXPECT_EQ(SavedChildren("ZELK社区"), (std::vector<std::string>{"C/C++=7"}));
    EXPECT_EQ(treeCheck.addedPaths, (std::vector<std::string>{"离线资料\\ZELK社区\\C/C++"}));
}

// Saving a stored topic again brings the new download in; a save the
// database refuses is a failure and leaves the stored topic as it was.
TEST_F(TopicImportTest, SavingAgainReplacesTheTopicAndKeepsItsRoomNode)
{
    ImportTopic(Fixture("topic_utf8.xml"));
    std::string again = Fixture("topic_utf8.xml");
    const std::string title = "如何在 C++ 中读取 UTF-8 文件?";
    again.replace(again.find(title), title.size(), "changed title");
    again.replace(again.find("<ReplyNum>3<"), 12, "<ReplyNum>4<");
    again.replace(again.find("<ReadNum>156<"), 13, "<ReadNum>157<");
    const std::string path = ImportTopic(again);
    const std::string rewritten = ReadBytes(path);
    EXPECT_TRUE(ui.statusTexts.empty()) << ui.statusTexts.front();

    CCommunityTable row;
    ASSERT_EQ(Fetch(4711, row), 0);
    EXPECT_EQ(row.GetText(CCommunityTable::fTitle), "changed title");
    EXPECT_EQ(row.GetLong(CCommunityTable::fReplyNum), 4);
    EXPECT_EQ(row.GetLong(CCommunityTable::fReadNum), 157);
    EXPECT_EQ(row.GetBinaryLen(CCommunityTable::fContent), static_cast<long>(rewritten.size() + 1));
    EXPECT_EQ(ReadBytes(store->CommunityDisplayPath(4711)), rewritten);
    EXPECT_EQ(SavedChildren("ZELK社区"), (std::vector<std::string>{"C/C++=7"}));
    EXPECT_EQ(treeCheck.addedPaths.size(), 1u);

    // A full disk: the third save fails, says so, and changes nothing.
    store->CloseDatabase();
    SqliteFaultVfs vfs;
    ASSERT_EQ(store->OpenDatabase(), 1);
    vfs.FailWritesAfter(0);
    ImportTopic(Fixture("topic_utf8.xml"));
    vfs.FailWritesAfter(-1);
    ASSERT_EQ(ui.statusTexts.size(), 1u);
    EXPECT_NE(ui.statusTexts[0].find("full"), std::string::npos) << ui.statusTexts[0];
    CCommunityTable kept;
    ASSERT_EQ(Fetch(4711, kept), 0);
    EXPECT_EQ(kept.GetText(CCommunityTable::fTitle), "changed title");
    EXPECT_EQ(ReadBytes(store->CommunityDisplayPath(4711)), rewritten);
    store->CloseDatabase();
}

TEST_F(TopicImportTest, Gb2312TopicKeepsItsEncodingAndReadsChineseValues)
{
    const std::string path = ImportTopic(Fixture("topic_gb2312.xml"));
    CCommunityTable row;
    ASSERT_EQ(Fetch(4712, row), 0);
    EXPECT_EQ(row.GetText(CCommunityTable::fTitle), "SQLite 的事务怎么用?");
    EXPECT_EQ(row.GetText(CCommunityTable::fPostUserNickName), "老张");
    EXPECT_EQ(row.GetText(CCommunityTable::fRoomName), "数据库开发");
    EXPECT_EQ(row.GetLong(CCommunityTable::fReplyNum), 2);

    // Still GB2312 bytes under a gb2312 declaration, now with the skin.
    const std::string rewritten = ReadBytes(path);
    EXPECT_EQ(rewritten.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?>", 0), 0u);
    EXPECT_NE(rewritten.find("\xC0\xCF\xD5\xC5"), std::string::npos); // 老张 in GB2312
    EXPECT_NE(rewritten.find(kSkinInstruction), std::string::npos);
    EXPECT_EQ(SavedChildren("ZELK社区"), (std::vector<std::string>{"数据库开发=8"}));
}

TEST_F(TopicImportTest, ShippedSkinShowsTheTitleAndEveryReply)
{
    for (const char* fixture : {"topic_utf8.xml", "topic_gb2312.xml"})
    {
        ImportTopic(Fixture(fixture));
    }
    const std::string utf8Page = TransformWithOwnSkin(store->CommunityDisplayPath(4711));
    EXPECT_NE(utf8Page.find("<title>如何在 C++ 中读取 UTF-8 文件?</title>"), std::string::npos)
        << utf8Page;
    EXPECT_NE(utf8Page.find("请问各位, 读 UTF-8 文件有什么好办法?"), std::string::npos);
    EXPECT_NE(utf8Page.find("再自己解码 &amp; 校验."), std::string::npos);
    EXPECT_NE(utf8Page.find("文件开头可能有 EF BB BF 三个字节。\n第二行。"), std::string::npos);
    EXPECT_NE(utf8Page.find("结帖了 &lt;谢谢&gt;"), std::string::npos); // text, not markup
    EXPECT_NE(utf8Page.find("回复 (3)"), std::string::npos);
    for (const char* user : {"lisi", "wangwu", "zhaoliu"})
        EXPECT_NE(utf8Page.find(user), std::string::npos) << user;

    const std::string gbPage = TransformWithOwnSkin(store->CommunityDisplayPath(4712));
    EXPECT_NE(gbPage.find("<title>SQLite 的事务怎么用?</title>"), std::string::npos) << gbPage;
    EXPECT_NE(gbPage.find("zhangsan (老张)"), std::string::npos);
    EXPECT_NE(gbPage.find("回复 (2)"), std::string::npos);
    EXPECT_EQ(gbPage.find("zhaoliu"), std::string::npos);
}

TEST_F(TopicImportTest, SkinReadsTopicsWrittenWithLowerCaseNames)
{
    const std::string path = ImportTopic(
        "<?xml-stylesheet type=\"text/xsl\" href=\"x.xsl\"?><topic><issue><topicid>12x</topicid>"
        "<topicname>lower</topicname><roomid>9</roomid><roomname>r</roomname></issue>"
        "<replys><reply><postusername>u1</postusername><content>first</content></reply>"
        "<reply><postusername>u2</postusername><content>second</content></reply></replys></topic>");
    CCommunityTable row;
    ASSERT_EQ(Fetch(12, row), 0); // "12x" reads as 12
    EXPECT_EQ(row.GetText(CCommunityTable::fTitle), "lower");
    EXPECT_EQ(row.GetText(CCommunityTable::fPostUserNickName), ""); // absent: empty text
    EXPECT_EQ(row.GetLong(CCommunityTable::fCredit), 0);
    const std::string page = TransformWithOwnSkin(store->CommunityDisplayPath(12));
    EXPECT_NE(page.find("<title>lower</title>"), std::string::npos) << page;
    EXPECT_NE(page.find("first"), std::string::npos);
    EXPECT_NE(page.find("second"), std::string::npos);
    (void)path;
}

TEST_F(TopicImportTest, AbsentTopicIdStoresZeroAndNamesTheCopyWithIt)
{
    ImportTopic("<?xml-stylesheet href=\"a\"?><Topic><Issue><TopicName>t</TopicName>"
                "<RoomId>7</RoomId><RoomName>seven</RoomName></Issue></Topic>");
    CCommunityTable row;
    ASSERT_EQ(Fetch(0, row), 0);
    EXPECT_EQ(row.GetText(CCommunityTable::fTitle), "t");
    EXPECT_TRUE(std::filesystem::exists(Temp("Community_OffLineData_0.xml")));
}

TEST_F(TopicImportTest, ControlCharactersInARoomNameBecomeBlanksInTheTree)
{
    ImportTopic("<?xml-stylesheet href=\"a\"?><Topic><Issue><TopicId>5</TopicId><RoomId>3</RoomId>"
                "<RoomName>\tC&#9;plus\r\n</RoomName></Issue></Topic>");
    CCommunityTable row;
    ASSERT_EQ(Fetch(5, row), 0);
    EXPECT_EQ(row.GetText(CCommunityTable::fRoomName), "\tC\tplus\r\n"); // stored as sent
    EXPECT_EQ(SavedChildren("ZELK社区"), (std::vector<std::string>{"C plus=3"}));
}

TEST_F(TopicImportTest, NewRoomNamedLikeAnotherKeepsBothRooms)
{
    ImportTopic("<?xml-stylesheet href=\"a\"?><Topic><Issue><TopicId>5</TopicId><RoomId>3</RoomId>"
                "<RoomName>Same</RoomName></Issue></Topic>");
    ImportTopic("<?xml-stylesheet href=\"a\"?><Topic><Issue><TopicId>6</TopicId><RoomId>4</RoomId>"
                "<RoomName>Same</RoomName></Issue></Topic>");
    EXPECT_EQ(SavedChildren("ZELK社区"), (std::vector<std::string>{"Same=3", "Same (4)=4"}));
}

TEST_F(TopicImportTest, RoomIdOfAnExistingNodeAddsNoRoom)
{
    // 90003 is the ZELK文档 node of the shipped tree.
    ImportTopic("<?xml-stylesheet href=\"a\"?><Topic><Issue><TopicId>5</TopicId>"
                "<RoomId>90003</RoomId><RoomName>clash</RoomName></Issue></Topic>");
    CCommunityTable row;
    EXPECT_EQ(Fetch(5, row), 0);
    EXPECT_TRUE(SavedChildren("ZELK社区").empty());
    EXPECT_TRUE(treeCheck.addedPaths.empty());
}

TEST_F(TopicImportTest, LaterElementOfTheSameNameWins)
{
    ImportTopic("<?xml-stylesheet href=\"a\"?><Topic><!-- c --><Issue>text<TopicId>6</TopicId>"
                "<TopicName>first</TopicName><!-- note --><TOPICNAME>second</TOPICNAME>"
                "<Other>x</Other></Issue></Topic>");
    CCommunityTable row;
    ASSERT_EQ(Fetch(6, row), 0);
    EXPECT_EQ(row.GetText(CCommunityTable::fTitle), "second");
}

struct RefusedCase
{
    const char* name;
    const char* document;
};

class RefusedTopicTest : public TopicImportTest, public testing::WithParamInterface<RefusedCase>
{
};

TEST_P(RefusedTopicTest, ReportsAndStoresNothing)
{
    const std::string path = ImportTopic(GetParam().document);
    EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{"无法正确读取论坛数据"}));
    EXPECT_EQ(ReadBytes(path), GetParam().document); // not rewritten
    CCommunityTable row;
    EXPECT_EQ(Fetch(1, row), -5);
    EXPECT_FALSE(std::filesystem::exists(Temp("Community_OffLineData_1.xml")));
    EXPECT_EQ(ui.uiCalls, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, RefusedTopicTest,
    testing::Values(
        RefusedCase{"NoStyleSheet", "<Topic><Issue><TopicId>1</TopicId></Issue></Topic>"},
        RefusedCase{
            "NoTopic",
            "<?xml-stylesheet href=\"a\"?><Other><Issue><TopicId>1</TopicId></Issue></Other>"},
        RefusedCase{"NoIssue", "<?xml-stylesheet href=\"a\"?><Topic><TopicId>1</TopicId></Topic>"},
        RefusedCase{"Malformed", "<?xml-stylesheet href=\"a\"?><Topic><Issue><TopicId>1</TopicId>"},
        RefusedCase{"Empty", ""}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

TEST_F(TopicImportTest, MissingDownloadIsReported)
{
    importer->ImportTopicFile(Temp("CommunityTemp.xml"));
    EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{"无法正确读取论坛数据"}));
}

} // namespace
