// The document view with its real browser panel over a scratch offline
// database: filling, opening, deleting and searching records.
#include "base/debug_log.h"
#include "config/app_config.h"
#include "outside/LQExploreManager/LQExploreManager.h"
#include "store/database_creation.h"
#include "store/offline_store.h"
#include "store/offline_tables.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_database.h"
#include "views/document/list_filler.h"
#include "views/document/myzelk_view.h"
#include "views/document/offline_commands.h"
#include "views/document/record_cells.h"
#include "views/list/report_list_ctrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

namespace
{
std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A saved file as a row holds it: its bytes and one zero byte.
std::string Stored(const std::string& file)
{
    return file + std::string(1, '\0');
}

std::vector<std::string> FirstColumn(const CReportListCtrl& list)
{
    std::vector<std::string> texts;
    for (int row = 0; row < list.GetItemCount(); ++row)
        texts.push_back(list.GetItemText(row, 0));
    return texts;
}

// Answers Yes to every question, after doing `meanwhile` while it is asked.
class YesAfter : public IMessageBoxHost
{
public:
    explicit YesAfter(std::function<void()> meanwhile) : m_meanwhile(std::move(meanwhile))
    {
        SetMessageBoxHost(this);
    }
    ~YesAfter() override { SetMessageBoxHost(nullptr); }
    int Show(const std::string&, const std::string&, unsigned) override
    {
        m_meanwhile();
        return IDYES;
    }

private:
    std::function<void()> m_meanwhile;
};

void SelectRows(CReportListCtrl* list, std::initializer_list<int> rows)
{
    list->clearSelection();
    for (int row : rows)
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
} // namespace

class DocumentViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void cellTexts();
    void roomSelectionPicksTheList();
    void openingRecreatesAMissingDisplayCopy();
    void openingAGoneRecordTellsTheUser();
    void deletingSelectedRowsDeletesTheirRecords();
    void deletingTakesTheRecordsSelectedWhenAsked();
    void secondSearchReplacesAnUnfinishedFirst();
    void sortingWhileFillingSortsTheLaterRowsToo();
    void fiveThousandRowsFillInBatches();

private:
    void InsertTopic(long id, long room, const std::string& title, const std::string& file = "x");
    void InsertArticle(long id, long room, const std::string& title);
    long InsertPage(const std::string& title, const std::string& file);
    // Topics "abc 1" ... in room 1, more than three batches of them.
    void InsertManyAbcTopics(const std::string& moreSql = "");
    void WaitForRows();

    std::unique_ptr<TempDir> m_folder;
    std::string m_tempFolder;
    CLQADODBController m_controller;
    std::unique_ptr<COfflineStore> m_store;
    CAppConfig m_config;
    std::unique_ptr<CMyZELKView> m_view;
};

void DocumentViewTest::initTestCase()
{
    static TempDir profile;
    CLQExploreManager::SetProfileFolder(profile.path().c_str());
}

void DocumentViewTest::init()
{
    m_folder = std::make_unique<TempDir>();
    m_tempFolder = *m_folder / "Temp";
    std::filesystem::create_directories(m_tempFolder);
    SetDebugLogPathForTesting((*m_folder / "debug.txt").c_str());
    const std::string database = *m_folder / "MyZELK.mdb";
    std::string error;
    QCOMPARE(CreateDatabaseIfMissing(database, MYZELK_TEST_SCHEMA, &error),
             DatabaseCreation::Created);
    m_store = std::make_unique<COfflineStore>(m_controller, database, m_tempFolder);
    QCOMPARE(m_store->OpenDatabase(), 1);

    // Mode 2: a program of the test that records the address it was given.
    const std::string script = *m_folder / "record-argument.sh";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.arg.tmp\" && mv \"$0.arg.tmp\" "
                             "\"$0.arg\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    m_config.SetLinkOpenMode(kLinkOpenCustom);
    m_config.SetLinkOpenCustomPath(script);

    m_view = std::make_unique<CMyZELKView>();
    m_view->SetStore(m_store.get());
    m_view->SetConfig(&m_config);
    m_view->resize(800, 600);
    const std::string welcome = *m_folder / "WelcomePage.htm";
    std::ofstream(welcome) << "<html><body>welcome</body></html>";
    m_view->OnInitialUpdate(welcome);
    m_view->show();
}

void DocumentViewTest::cleanup()
{
    m_view.reset();
    m_store->CloseDatabase();
    m_store.reset();
    SetDebugLogPathForTesting("debug.txt");
    m_folder.reset();
}

void DocumentViewTest::InsertTopic(long id, long room, const std::string& title,
                                   const std::string& file)
{
    CCommunityTable row;
    row.SetLong(CCommunityTable::fID, id);
    row.SetText(CCommunityTable::fTitle, title);
    row.SetText(CCommunityTable::fPostUserName, "poster");
    row.SetLong(CCommunityTable::fRoomID, room);
    row.SetNow(CCommunityTable::fInDate);
    const std::string stored = Stored(file);
    row.SetBinary(CCommunityTable::fContent, stored.data(), static_cast<long>(stored.size()));
    row.SetText(CCommunityTable::fRemark, kRemarkText);
    QCOMPARE(m_store->InsertRecord(row), 1);
}

void DocumentViewTest::InsertArticle(long id, long room, const std::string& title)
{
    CDevelopTable row;
    row.SetLong(CDevelopTable::fID, id);
    row.SetText(CDevelopTable::fTitle, title);
    row.SetLong(CDevelopTable::fRoomID, room);
    row.SetNow(CDevelopTable::fInDate);
    row.SetBinary(CDevelopTable::fContent, "a", 2);
    QCOMPARE(m_store->InsertRecord(row), 1);
}

long DocumentViewTest::InsertPage(const std::string& title, const std::string& file)
{
    CTopicTable row;
    row.SetText(CTopicTable::fTitle, title);
    row.SetNow(CTopicTable::fInDate);
    const std::string stored = Stored(file);
    row.SetBinary(CTopicTable::fContent, stored.data(), static_cast<long>(stored.size()));
    row.SetText(CTopicTable::fRemark, "http://example.invalid/" + file);
    m_store->SaveRecord(row);
    return row.Key();
}

void DocumentViewTest::WaitForRows()
{
    QTRY_VERIFY_WITH_TIMEOUT(!m_view->IsFilling(), 20000);
}

void DocumentViewTest::cellTexts()
{
    CCommunityTable topic;
    topic.SetLong(CCommunityTable::fID, 42);
    topic.SetText(CCommunityTable::fTitle, "标题");
    topic.SetLong(CCommunityTable::fReplyNum, 3);
    topic.SetLong(CCommunityTable::fPostUserName, 5); // not text
    topic.SetDate(CCommunityTable::fInDate, 45356.58829861111);
    topic.SetLong(CCommunityTable::fEndState, 0);
    topic.SetLong(CCommunityTable::fReadNum, 77);
    QCOMPARE(CommunityCells(topic), (std::vector<std::string>{"42", "标题", "3", "(NULL)",
                                                              "2024-03-05 14:07:09", "×", "77"}));
    topic.SetLong(CCommunityTable::fEndState, -1);
    QCOMPARE(CommunityCells(topic)[5], std::string("√"));
    topic.SetText(CCommunityTable::fEndState, "1"); // not an integer
    QCOMPARE(CommunityCells(topic)[5], std::string("×"));

    CDevelopTable article;
    article.SetText(CDevelopTable::fID, "12"); // not an integer
    QCOMPARE(DevelopCells(article)[0], std::string("0"));
}

void DocumentViewTest::roomSelectionPicksTheList()
{
    InsertTopic(1, 12, "a");
    InsertTopic(2, 12, "b");
    InsertTopic(3, 13, "c");
    InsertArticle(4, 10005, "d");
    InsertArticle(5, 10006, "e");
    InsertPage("p", "p1");
    InsertPage("q", "q1");

    ShowRoomRecords(*m_view, "room", std::string("ZELK社区"), 12);
    WaitForRows();
    QVERIFY(m_view->IsCommunityListVisible() && !m_view->IsBrowserVisible());
    QCOMPARE(m_view->CommunityList()->GetItemCount(), 2);
    QCOMPARE(m_view->CommunityList()->GetItemText(1, 0), std::string("2"));

    ShowRoomRecords(*m_view, "class", std::string("zelk文档"), 10005);
    WaitForRows();
    QVERIFY(m_view->IsDevelopListVisible() && !m_view->IsCommunityListVisible());
    QCOMPARE(m_view->DevelopList()->GetItemCount(), 1);
    QCOMPARE(m_view->DevelopList()->GetItemText(0, 1), std::string("d"));

    ShowRoomRecords(*m_view, "其他文章", std::string("ZELK社区其他"), 12);
    WaitForRows();
    QVERIFY(m_view->IsTopicListVisible() && !m_view->IsListShown());
    QCOMPARE(m_view->TopicList()->GetItemCount(), 2);

    // A top-level node changes nothing.
    ShowRoomRecords(*m_view, "ZELK社区", std::nullopt, 0);
    QVERIFY(m_view->IsTopicListVisible());
    m_view->ShowBrowser();
    QVERIFY(m_view->IsBrowserVisible() && !m_view->IsTopicListVisible());
}

void DocumentViewTest::openingRecreatesAMissingDisplayCopy()
{
    const std::string argFile = *m_folder / "record-argument.sh.arg";
    auto open = [&](const std::string& text)
    {
        std::filesystem::remove(argFile);
        QCOMPARE(OpenOfflineRecord(m_view.get(), 1, text), 1);
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(argFile), 10000);
    };

    InsertTopic(7, 12, "topic", "<topic>七</topic>");
    ShowRoomRecords(*m_view, "room", std::string("ZELK社区"), 12);
    WaitForRows();
    const std::string path = m_store->CommunityDisplayPath(7);
    open("7");
    QCOMPARE(ReadAll(argFile), path);
    QCOMPARE(ReadAll(path), std::string("<topic>七</topic>"));

    std::filesystem::remove(path);
    open("7");
    QCOMPARE(ReadAll(path), std::string("<topic>七</topic>"));

    // Pages of one title each open as themselves.
    InsertPage("同名", "first page");
    const long second = InsertPage("同名", "second page");
    ShowRoomRecords(*m_view, "其他文章", std::string("别的"), 0);
    WaitForRows();
    QCOMPARE(m_view->TopicKeyOfRow(1), second);
    SelectRows(m_view->TopicList(), {1});
    open("同名");
    QCOMPARE(ReadAll(ReadAll(argFile)), std::string("second page"));

    // A program outside gets a built-in host's address on the host that
    // replaces it, as the panel would reach it.
    qputenv("MYZELK_HOSTS", "community=127.0.0.1:8080");
    std::filesystem::remove(argFile);
    m_view->OpenAddress("http://community.zelk.example/Expert/ForumList.asp?roomid=7", 2);
    qunsetenv("MYZELK_HOSTS");
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(argFile), 10000);
    QCOMPARE(ReadAll(argFile), std::string("http://127.0.0.1:8080/Expert/ForumList.asp?roomid=7"));
}

void DocumentViewTest::openingAGoneRecordTellsTheUser()
{
    RecordingMessageBox boxes;
    m_view->ShowCommunityList();
    QCOMPARE(OpenOfflineRecord(m_view.get(), 1, "999"), 1);
    QCOMPARE(boxes.boxes().size(), size_t(1));
    QVERIFY(QString::fromStdString(boxes.boxes()[0].text).contains(QStringLiteral("无法打开")));
    QVERIFY(!std::filesystem::exists(m_store->CommunityDisplayPath(999)));
}

void DocumentViewTest::deletingSelectedRowsDeletesTheirRecords()
{
    for (long id = 1; id <= 5; ++id)
        InsertTopic(id, 12, "t" + std::to_string(id));
    InsertPage("p", "p1");
    ShowRoomRecords(*m_view, "room", std::string("ZELK社区"), 12);
    WaitForRows();
    CReportListCtrl* list = m_view->CommunityList();
    SelectRows(list, {0, 2, 4});
    {
        RecordingMessageBox no(IDNO);
        m_view->OnDeleteRecords();
        QCOMPARE(no.boxes().size(), size_t(1));
        QCOMPARE(no.boxes()[0].text, std::string(kDeleteQuestion));
    }
    QCOMPARE(list->GetItemCount(), 5);

    RecordingMessageBox yes(IDYES);
    m_view->OnDeleteRecords();
    QCOMPARE(list->GetItemCount(), 2);
    QCOMPARE(list->GetItemText(0, 0), std::string("2"));
    QCOMPARE(list->GetItemText(1, 0), std::string("4"));
    CCommunityTable row;
    for (long id : {1, 3, 5})
        QCOMPARE(m_store->GetRecordById(id, row), -5L);
    QCOMPARE(m_store->GetRecordById(2, row), 0L);

    // The topic list has no delete, and nothing is asked.
    ShowRoomRecords(*m_view, "其他文章", std::string("别的"), 0);
    WaitForRows();
    SelectRows(m_view->TopicList(), {0});
    m_view->OnDeleteRecords();
    QCOMPARE(yes.boxes().size(), size_t(1));
    QCOMPARE(m_view->TopicList()->GetItemCount(), 1);
}

void DocumentViewTest::InsertManyAbcTopics(const std::string& moreSql)
{
    const std::size_t many = 3 * CListFiller::kBatchRows + 7;
    std::string sql = "BEGIN;";
    for (std::size_t i = 1; i <= many; ++i)
        sql += "INSERT INTO tCommunity (fID, fTitle, fRoomID) VALUES (" + std::to_string(i) +
               ", 'abc " + std::to_string(i) + "', 1);";
    sql += moreSql + "COMMIT;";
    m_store->CloseDatabase();
    RunOnDatabaseFile(m_store->DatabaseFile(), sql);
    QCOMPARE(m_store->OpenDatabase(), 1);
}

void DocumentViewTest::deletingTakesTheRecordsSelectedWhenAsked()
{
    for (long id = 1; id <= 3; ++id)
        InsertTopic(id, 12, "t" + std::to_string(id));
    ShowRoomRecords(*m_view, "room", std::string("ZELK社区"), 12);
    WaitForRows();
    SelectRows(m_view->CommunityList(), {0});
    // The room is listed again while the question is on screen, as when the
    // room tree re-selects its node after another process saved the tree.
    YesAfter relist([&] { ShowRoomRecords(*m_view, "room", std::string("ZELK社区"), 12); });
    m_view->OnDeleteRecords();
    WaitForRows();
    CCommunityTable row;
    QCOMPARE(m_store->GetRecordById(1, row), -5L);
    QCOMPARE(FirstColumn(*m_view->CommunityList()), (std::vector<std::string>{"2", "3"}));
}

void DocumentViewTest::sortingWhileFillingSortsTheLaterRowsToo()
{
    InsertManyAbcTopics();
    QVERIFY(SearchCommunity(*m_view, "abc"));
    QVERIFY(m_view->IsFilling());
    m_view->CommunityList()->SortColumn(1, false);
    WaitForRows();
    std::vector<std::string> titles;
    for (int row = 0; row < m_view->CommunityList()->GetItemCount(); ++row)
        titles.push_back(m_view->CommunityList()->GetItemText(row, 1));
    QCOMPARE(titles.size(), 3 * CListFiller::kBatchRows + 7);
    QVERIFY(std::is_sorted(titles.begin(), titles.end(), std::greater<>()));
}

void DocumentViewTest::secondSearchReplacesAnUnfinishedFirst()
{
    InsertManyAbcTopics("INSERT INTO tCommunity (fID, fTitle, fRoomID) VALUES (90000, 'xyz', 1);");

    QVERIFY(SearchCommunity(*m_view, "abc"));
    QVERIFY(m_view->IsFilling());
    QVERIFY(SearchCommunity(*m_view, "XY"));
    WaitForRows();
    QVERIFY(m_view->IsCommunityListVisible());
    QCOMPARE(m_view->CommunityList()->GetItemCount(), 1);
    QCOMPARE(m_view->CommunityList()->GetItemText(0, 1), std::string("xyz"));
}

void DocumentViewTest::fiveThousandRowsFillInBatches()
{
    m_store->CloseDatabase();
    RunOnDatabaseFile(m_store->DatabaseFile(),
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                      "5000) INSERT INTO tCommunity (fID, fTitle, fPostUserName, fRoomID, "
                      "fReplyNum, fReadNum, fInDate, fEndState, fContent) SELECT i, 'topic ' || "
                      "i, 'poster', 12, i % 30, i * 3, 45356.5, i % 2, zeroblob(4000) FROM n;");
    QCOMPARE(m_store->OpenDatabase(), 1);

    QElapsedTimer timer;
    timer.start();
    ShowRoomRecords(*m_view, "room", std::string("ZELK社区"), 12);
    // The rows arrive over several turns of the event loop.
    QVERIFY(m_view->CommunityList()->GetItemCount() < 5000);
    WaitForRows();
    qInfo("5000 rows listed in %lld ms", static_cast<long long>(timer.elapsed()));
    QCOMPARE(m_view->CommunityList()->GetItemCount(), 5000);
    QCOMPARE(m_view->CommunityList()->GetItemText(4999, 5), std::string("×"));
}

QTEST_MAIN(DocumentViewTest)
#include "document_view_test.moc"
