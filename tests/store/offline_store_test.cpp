#include "tests/store/store_fixture.h"

#include <cstring>

namespace
{

struct Rows
{
    std::vector<std::string> shown; // the columns a forum list row shows
    std::vector<VARTYPE> unshown;   // types of the columns it does not show
    std::vector<long> ids;
    std::vector<std::string> titles;
    std::vector<long> contentLengths;
    std::vector<std::string> remarks;
};

int CommunityRows(void* context, CLQADOField* row)
{
    auto* rows = static_cast<Rows*>(context);
    CCommunityTable t(row);
    rows->ids.push_back(t.GetLong(CCommunityTable::fID));
    rows->titles.push_back(t.GetText(CCommunityTable::fTitle));
    rows->contentLengths.push_back(t.GetBinaryLen(CCommunityTable::fContent));
    rows->remarks.push_back(t.GetText(CCommunityTable::fRemark));
    rows->shown.push_back(std::to_string(t.GetLong(CCommunityTable::fReplyNum)) + "|" +
                          t.GetText(CCommunityTable::fPostUserName) + "|" +
                          t.GetDateText(CCommunityTable::fInDate) + "|" +
                          std::to_string(t.GetLong(CCommunityTable::fEndState)) + "|" +
                          std::to_string(t.GetLong(CCommunityTable::fReadNum)) + "|" +
                          std::to_string(t.GetLong(CCommunityTable::fRoomID)));
    for (long i : {CCommunityTable::fRoomName, CCommunityTable::fContent, CCommunityTable::fRank})
        rows->unshown.push_back(t.GetFieldData(i)->vt);
    return 1;
}

int DevelopRows(void* context, CLQADOField* row)
{
    auto* rows = static_cast<Rows*>(context);
    CDevelopTable t(row);
    rows->ids.push_back(t.GetLong(CDevelopTable::fID));
    rows->titles.push_back(t.GetText(CDevelopTable::fTitle));
    rows->contentLengths.push_back(t.GetBinaryLen(CDevelopTable::fContent));
    return 1;
}

int TopicRows(void* context, CLQADOField* row)
{
    auto* rows = static_cast<Rows*>(context);
    CTopicTable t(row);
    rows->titles.push_back(t.GetText(CTopicTable::fTitle));
    rows->remarks.push_back(t.GetText(CTopicTable::fRemark));
    return 1;
}

int NeverCalled(void* context, CLQADOField*)
{
    ++*static_cast<int*>(context);
    return 1;
}

class OfflineStoreTest : public StoreFixture
{
protected:
    bool InsertArticle(long id, long room, const std::string& title,
                       const std::vector<unsigned char>& content = {})
    {
        if (content.empty())
            return InsertArticle(id, room, title, Pattern(id, 100));
        CDevelopTable t;
        t.SetLong(CDevelopTable::fID, id);
        t.SetText(CDevelopTable::fTitle, title);
        t.SetLong(CDevelopTable::fRoomID, room);
        t.SetText(CDevelopTable::fRoomName, "class");
        t.SetNow(CDevelopTable::fInDate);
        t.SetText(CDevelopTable::fAuthor, "author");
        t.SetBinary(CDevelopTable::fContent, content.data(), static_cast<long>(content.size()));
        t.SetText(CDevelopTable::fRemark, kRemarkText);
        return store->InsertRecord(t) == 1;
    }
    bool InsertPage(const std::string& title, const std::vector<unsigned char>& content)
    {
        CTopicTable t;
        t.SetText(CTopicTable::fTitle, title);
        t.SetNow(CTopicTable::fInDate);
        t.SetBinary(CTopicTable::fContent, content.data(), static_cast<long>(content.size()));
        t.SetText(CTopicTable::fRemark, kRemarkText);
        return store->InsertRecord(t) == 1;
    }
};

TEST_F(OfflineStoreTest, storedTopic_readsBackEveryValueInColumnOrder)
{
    CCommunityTable t;
    auto content = Pattern(7, 5000);
    FillTopic(t, 1234, 12, "帖子标题", content);
    DATE when = 0;
    ASSERT_TRUE(OleDateFromParts({2024, 5, 6, 7, 8, 9}, &when));
    t.SetDate(CCommunityTable::fInDate, when);
    t.SetLong(CCommunityTable::fEndState, 1);
    ASSERT_EQ(store->InsertRecord(t), 1);

    CCommunityTable back;
    ASSERT_EQ(store->GetRecordById(1234, back), 0);
    EXPECT_EQ(back.GetLong(CCommunityTable::fID), 1234);
    EXPECT_EQ(back.GetText(CCommunityTable::fTitle), "帖子标题");
    EXPECT_EQ(back.GetText(CCommunityTable::fPostUserName), "poster");
    EXPECT_EQ(back.GetText(CCommunityTable::fPostUserNickName), "NULL");
    EXPECT_EQ(back.GetText(CCommunityTable::fRank), "rank");
    EXPECT_EQ(back.GetLong(CCommunityTable::fCredit), 100);
    EXPECT_EQ(back.GetLong(CCommunityTable::fRoomID), 12);
    EXPECT_EQ(back.GetText(CCommunityTable::fRoomName), "room name");
    EXPECT_EQ(back.GetLong(CCommunityTable::fReplyNum), 4);
    EXPECT_EQ(back.GetLong(CCommunityTable::fPoint), 20);
    EXPECT_EQ(back.GetLong(CCommunityTable::fReadNum), 99);
    EXPECT_EQ(back.GetDateText(CCommunityTable::fInDate), "2024-05-06 07:08:09");
    EXPECT_EQ(back.GetLong(CCommunityTable::fEndState), 1);
    ASSERT_EQ(back.GetBinaryLen(CCommunityTable::fContent), 5000);
    EXPECT_EQ(0, std::memcmp(back.GetBinaryBuf(CCommunityTable::fContent), content.data(), 5000));
    EXPECT_EQ(back.GetText(CCommunityTable::fRemark), "(NULL)");
    // The date is stored as a number of days, not as text.
    EXPECT_EQ(RawQuery(databaseFile, "SELECT typeof(fInDate) FROM tCommunity"), "real");
}

TEST_F(OfflineStoreTest, secondSaveOfSameId_isRefusedLoggedAndFirstRowStays)
{
    ASSERT_TRUE(InsertTopic(5, 1, "first"));
    EXPECT_FALSE(InsertTopic(5, 1, "second"));
    EXPECT_NE(Log().find("UNIQUE"), std::string::npos);
    CCommunityTable back;
    ASSERT_EQ(store->GetRecordById(5, back), 0);
    EXPECT_EQ(back.GetText(CCommunityTable::fTitle), "first");
    ASSERT_TRUE(InsertArticle(5, 10001, "article"));
    EXPECT_FALSE(InsertArticle(5, 10001, "again"));
    // The refused insert left no transaction open: the next one commits.
    ASSERT_TRUE(InsertTopic(6, 1, "third"));
    EXPECT_EQ(RawQuery(databaseFile, "SELECT count(*) FROM tCommunity"), "2");
    EXPECT_EQ(RawQuery(databaseFile, "SELECT count(*) FROM tDevelop"), "1");
}

// Rows hold the saved file and one zero byte after it; what a browser opens
// must be the saved file alone.
TEST_F(OfflineStoreTest, extract_writesTheSavedFileWithoutTheTrailingZero_forEveryKind)
{
    const std::string saved = "<?xml version=\"1.0\"?><Topic/>";
    std::vector<unsigned char> content(saved.begin(), saved.end());
    content.push_back(0);
    CCommunityTable topic;
    FillTopic(topic, 77, 3, "t", content);
    ASSERT_EQ(store->InsertRecord(topic), 1);
    ASSERT_TRUE(InsertArticle(78, 10001, "a", content));
    ASSERT_TRUE(InsertPage("p", content));

    CCommunityTable topicBack;
    ASSERT_EQ(store->GetRecordById(77, topicBack), 0);
    CDevelopTable articleBack;
    ASSERT_EQ(store->GetRecordById(78, articleBack), 0);
    CTopicTable pageBack;
    ASSERT_EQ(store->GetTopicByTitle("p", pageBack), 0);
    struct
    {
        COfflineTable& row;
        long column;
    } rows[] = {{topicBack, CCommunityTable::fContent},
                {articleBack, CDevelopTable::fContent},
                {pageBack, CTopicTable::fContent}};
    for (const auto& [row, column] : rows)
    {
        const std::string path = tempFolder + "/extracted";
        ASSERT_EQ(store->ExtractContent(row, column, path.c_str()), 1);
        EXPECT_EQ(ReadFile(path), saved) << row.GetTableName();
    }
}

TEST_F(OfflineStoreTest, emptyFetch_extractsNothing)
{
    CCommunityTable back;
    EXPECT_EQ(store->GetRecordById(999, back), LQADO_E_NORECORD);
    std::string path = store->CommunityDisplayPath(999);
    EXPECT_EQ(store->ExtractContent(back, CCommunityTable::fContent, path.c_str()), 0);
    EXPECT_FALSE(PathExists(path));
}

TEST_F(OfflineStoreTest, extractIntoMissingFolder_failsWithoutLeavingFiles)
{
    ASSERT_TRUE(InsertTopic(8, 1, "t"));
    CCommunityTable back;
    ASSERT_EQ(store->GetRecordById(8, back), 0);
    std::string path = folder + "/no/such/folder/x.xml";
    EXPECT_EQ(store->ExtractContent(back, CCommunityTable::fContent, path.c_str()), 0);
    EXPECT_FALSE(PathExists(path));
}

TEST_F(OfflineStoreTest, listRoom_deliversThatRoomsRowsInStoredOrderWithoutContent)
{
    ASSERT_TRUE(InsertTopic(3, 12, "c", 100000));
    ASSERT_TRUE(InsertTopic(1, 12, "a", 100000));
    ASSERT_TRUE(InsertTopic(9, 13, "other room"));
    ASSERT_TRUE(InsertTopic(2, 12, "b", 100000));
    Rows rows;
    EXPECT_EQ(store->ListRoomRecords(OfflineTable::Community, 12, CommunityRows, &rows), 0);
    EXPECT_EQ(rows.ids, (std::vector<long>{3, 1, 2}));
    EXPECT_EQ(rows.titles, (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(rows.contentLengths, (std::vector<long>{0, 0, 0}));
    EXPECT_EQ(rows.remarks, (std::vector<std::string>{"(NULL)", "(NULL)", "(NULL)"}));
    ASSERT_EQ(rows.shown.size(), 3u);
    EXPECT_EQ(rows.shown[0].substr(0, 9), "4|poster|");
    EXPECT_EQ(rows.shown[0].substr(rows.shown[0].size() - 8), "|0|99|12");
    EXPECT_EQ(rows.shown[0].size(), std::string("4|poster|2024-01-01 00:00:00|0|99|12").size());
    EXPECT_EQ(rows.unshown, std::vector<VARTYPE>(9, VT_NULL));
    Rows none;
    EXPECT_EQ(store->ListRoomRecords(OfflineTable::Community, 14, CommunityRows, &none), -5);
    EXPECT_TRUE(none.ids.empty());
}

TEST_F(OfflineStoreTest, listArticleClass_usesOffsetRoomIds)
{
    ASSERT_TRUE(InsertArticle(40, 10005, "x"));
    ASSERT_TRUE(InsertArticle(41, 10006, "y"));
    ASSERT_TRUE(InsertArticle(42, 10005, "z"));
    Rows rows;
    EXPECT_EQ(store->ListRoomRecords(OfflineTable::Develop, 10005, DevelopRows, &rows), 0);
    EXPECT_EQ(rows.ids, (std::vector<long>{40, 42}));
}

TEST_F(OfflineStoreTest, listAllTopics_listsEveryOtherPage)
{
    ASSERT_TRUE(InsertPage("one", Pattern(1, 10)));
    ASSERT_TRUE(InsertPage("two", Pattern(2, 10)));
    Rows rows;
    EXPECT_EQ(store->ListAllTopics(TopicRows, &rows), 0);
    EXPECT_EQ(rows.titles, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(rows.remarks, (std::vector<std::string>{"(NULL)", "(NULL)"}));
}

TEST_F(OfflineStoreTest, searchMatchesAnywhereInTitle)
{
    ASSERT_TRUE(InsertTopic(1, 1, "abc first"));
    ASSERT_TRUE(InsertTopic(2, 1, "the xabcx"));
    ASSERT_TRUE(InsertTopic(3, 1, "nothing"));
    Rows rows;
    EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, "abc", CommunityRows, &rows), 0);
    EXPECT_EQ(rows.ids, (std::vector<long>{1, 2}));
}

TEST_F(OfflineStoreTest, wildcardsInSearchText_matchLiterally)
{
    ASSERT_TRUE(InsertTopic(1, 1, "100% sure"));
    ASSERT_TRUE(InsertTopic(2, 1, "snake_case"));
    ASSERT_TRUE(InsertTopic(3, 1, "back\\slash"));
    ASSERT_TRUE(InsertTopic(4, 1, "plain"));
    for (const auto& [text, id] :
         {std::pair<const char*, long>{"%", 1}, {"_", 2}, {"\\", 3}, {"0% s", 1}, {"e_c", 2}})
    {
        SCOPED_TRACE(text);
        Rows rows;
        EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, text, CommunityRows, &rows), 0);
        EXPECT_EQ(rows.ids, (std::vector<long>{id}));
    }
}

TEST_F(OfflineStoreTest, apostrophesInTexts_matchLiterallyAndCannotChangeTheStatement)
{
    ASSERT_TRUE(InsertTopic(1, 1, "It's a title"));
    ASSERT_TRUE(InsertTopic(2, 1, "plain"));
    Rows rows;
    EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, "It's", CommunityRows, &rows), 0);
    EXPECT_EQ(rows.ids, (std::vector<long>{1}));
    const char* attacks[] = {"' OR 1=1 --", "x'; DELETE FROM tCommunity; --", "''"};
    for (const char* attack : attacks)
    {
        SCOPED_TRACE(attack);
        Rows hit;
        EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, attack, CommunityRows, &hit), -5);
        EXPECT_TRUE(hit.ids.empty());
    }
    Rows lone;
    EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, "'", CommunityRows, &lone), 0);
    EXPECT_EQ(lone.ids, (std::vector<long>{1}));
    EXPECT_EQ(RawQuery(databaseFile, "SELECT count(*) FROM tCommunity"), "2");
    EXPECT_EQ(Log(), "");

    ASSERT_TRUE(InsertPage("Bob's page", Pattern(3, 30)));
    CTopicTable page;
    ASSERT_EQ(store->GetTopicByTitle("Bob's page", page), 0);
    EXPECT_EQ(page.GetBinaryLen(CTopicTable::fContent), 30);
    CTopicTable none;
    EXPECT_EQ(store->GetTopicByTitle("' OR '1'='1", none), -5);
}

TEST_F(OfflineStoreTest, searchTextThatDoesNotFit_isRefusedWithoutQuery)
{
    ASSERT_TRUE(InsertTopic(1, 1, std::string(900, 'a')));
    int calls = 0;
    std::string longText(1100, 'a');
    EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, longText.c_str(), NeverCalled, &calls),
              kStoreRefused);
    // Fits as typed, but not once its apostrophes are doubled.
    std::string quotes(600, '\'');
    EXPECT_EQ(store->SearchByTitle(OfflineTable::Develop, quotes.c_str(), NeverCalled, &calls),
              kStoreRefused);
    std::string title(1000, 'b');
    CTopicTable page;
    EXPECT_EQ(store->GetTopicByTitle(title.c_str(), page), kStoreRefused);
    EXPECT_EQ(calls, 0);
    // A search that fits still runs, up to the limit of the plain statement
    // "SELECT * FROM tCommunity WHERE fTitle LIKE '%...%'" (47 bytes around it).
    std::string fits(700, 'a');
    EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, fits.c_str(), NeverCalled, &calls), 0);
    EXPECT_EQ(calls, 1);
    std::string longest(1023 - 47, 'a');
    EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, longest.c_str(), NeverCalled, &calls),
              -5);
    std::string oneMore(1024 - 47, 'a');
    EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, oneMore.c_str(), NeverCalled, &calls),
              kStoreRefused);
    EXPECT_EQ(calls, 1);
}

TEST_F(OfflineStoreTest, deleteById_removesOnlyThatRow)
{
    ASSERT_TRUE(InsertTopic(1, 1, "a"));
    ASSERT_TRUE(InsertTopic(2, 1, "b"));
    ASSERT_TRUE(InsertArticle(1, 10001, "c"));
    EXPECT_EQ(store->DeleteRecordById(OfflineTable::Community, 1), 1);
    EXPECT_EQ(RawQuery(databaseFile, "SELECT group_concat(fID) FROM tCommunity"), "2");
    EXPECT_EQ(RawQuery(databaseFile, "SELECT count(*) FROM tDevelop"), "1");
    EXPECT_EQ(store->DeleteRecordById(OfflineTable::Develop, 1), 1);
    EXPECT_EQ(RawQuery(databaseFile, "SELECT count(*) FROM tDevelop"), "0");
    EXPECT_EQ(store->DeleteRecordById(OfflineTable::Topic, 1), 0);
}

TEST_F(OfflineStoreTest, operationsOnClosedDatabase_failQuietlyAndLog)
{
    store->CloseDatabase();
    EXPECT_FALSE(InsertTopic(1, 1, "a"));
    EXPECT_EQ(store->DeleteRecordById(OfflineTable::Community, 1), 0);
    Rows rows;
    EXPECT_EQ(store->ListRoomRecords(OfflineTable::Community, 1, CommunityRows, &rows),
              kStoreEngineError);
    EXPECT_NE(Log().find("error code : 0x800a0e78"), std::string::npos);
    ASSERT_EQ(store->OpenDatabase(), 1);
    EXPECT_TRUE(InsertTopic(1, 1, "a"));
}

TEST_F(OfflineStoreTest, valuesOfOtherTypes_readBackAsNullTextAndZero)
{
    CCommunityTable t;
    t.SetLong(CCommunityTable::fID, 50);
    // Everything else stays empty and is stored as NULL.
    ASSERT_EQ(store->InsertRecord(t), 1);
    CCommunityTable back;
    ASSERT_EQ(store->GetRecordById(50, back), 0);
    EXPECT_EQ(back.GetText(CCommunityTable::fTitle), "(NULL)");
    EXPECT_EQ(back.GetLong(CCommunityTable::fReplyNum), 0);
    EXPECT_EQ(back.GetDateText(CCommunityTable::fInDate), "");
    EXPECT_EQ(back.GetBinaryLen(CCommunityTable::fContent), 0);
}

TEST(OpenDatabase, missingFile_givesTheReasonAndCreatesNothing)
{
    std::string folder = MakeScratchFolder();
    RecordingBoxes boxes;
    SetMessageBoxHost(&boxes);
    SetDebugLogPathForTesting((folder + "/debug.txt").c_str());
    CLQADODBController controller;
    COfflineStore store(controller, folder + "/MyZELK.mdb", folder);
    EXPECT_EQ(store.OpenDatabase(), 0);
    EXPECT_TRUE(boxes.texts.empty()); // the caller tells the user
    EXPECT_FALSE(store.OpenError().empty());
    EXPECT_FALSE(PathExists(folder + "/MyZELK.mdb"));
    EXPECT_NO_THROW(store.CloseDatabase());
    // With no connection object at all, closing is as quiet.
    CLQADODBController untouched;
    COfflineStore neverOpened(untouched, folder + "/MyZELK.mdb", folder);
    EXPECT_NO_THROW(neverOpened.CloseDatabase());
    SetMessageBoxHost(nullptr);
    SetDebugLogPathForTesting("debug.txt");
    std::filesystem::remove_all(folder);
}

TEST_F(OfflineStoreTest, readOnlyDatabaseFile_isRefusedAtOpen)
{
    store->CloseDatabase();
    ASSERT_EQ(::chmod(databaseFile.c_str(), 0444), 0);
    CLQADODBController other;
    COfflineStore readOnly(other, databaseFile, tempFolder);
    EXPECT_EQ(readOnly.OpenDatabase(), 0);
    EXPECT_FALSE(readOnly.OpenError().empty());
    readOnly.CloseDatabase();
    ASSERT_EQ(::chmod(databaseFile.c_str(), 0644), 0);
    EXPECT_EQ(store->OpenDatabase(), 1);
}

TEST_F(OfflineStoreTest, displayPaths_followTheNamingOfEachTable)
{
    EXPECT_EQ(store->CommunityDisplayPath(42), tempFolder + "/Community_OffLineData_42.xml");
    EXPECT_EQ(store->DevelopDisplayPath(7), tempFolder + "/Develop_OffLineData_7.mht");
    EXPECT_EQ(store->TopicDisplayPath(7), tempFolder + "/Develop_OffLineData_Page7.mht");
    COfflineStore deep(controller, databaseFile, std::string(250, 'd'));
    EXPECT_EQ(deep.TopicDisplayPath(7), "");
}

TEST_F(OfflineStoreTest, nullCallbackOrText_isRefused)
{
    EXPECT_EQ(store->ListAllTopics(nullptr, nullptr), kStoreRefused);
    EXPECT_EQ(store->SearchByTitle(OfflineTable::Community, nullptr, NeverCalled, nullptr),
              kStoreRefused);
}

} // namespace
