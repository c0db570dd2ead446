// The main window over a scratch installation and the sample service: its
// command table, the toggles' settings, the one-second notice, the exit
// question, dropped links, and closing while the worker is busy.
#include "app/window/banner_panel.h"
#include "app/window/command_table.h"
#include "app/window/frame_downloads.h"
#include "app/window/left_bar.h"
#include "app/window/main_frame.h"
#include "app/window/myzelk_app.h"
#include "outside/LQExploreManager/LQExploreManager.h"
#include "store/database_creation.h"
#include "tests/support/sample_service_process.h"
#include "tests/support/temp_dir.h"
#include "widgets/tree/edit_tree_ctrl.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <filesystem>
#include <memory>

namespace
{

// Sends a drop of `data` to the widget's centre as a window would.
void DropOn(QWidget* widget, QMimeData* data)
{
    const QPointF centre = QRectF(widget->rect()).center();
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &enter);
    QDropEvent drop(centre, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &drop);
}

} // namespace

class MainFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menusToolbarAndAcceleratorCarryTheCommandIds();
    void togglesStoreTheirSettings();
    void transientNoticeClosesItselfAndReturnsOne();
    void droppedLinksAreParsedAndQueued();
    void exitQuestionCountsWaitingRequests();
    void closingDuringAnImportEndsPromptly();
    void aSavedPageSaysWhatItsArchiveHolds();
    void hugeTextsAreCutInNoticesAndBoxes();
    void rightClickOnTheBannerOpensNoBarMenu();
    void destroyingTheShownFrameLeavesItsCommandsAlone();

private:
    CMainFrame* Frame() const { return m_app->MainFrame(); }
    // Keeps the worker in a slow download, so later requests wait.
    void KeepWorkerBusy();
    std::string SlowAddress() const { return m_service->Url("/slow/delay?ms=20000&id=1"); }

    std::unique_ptr<SampleServiceProcess> m_service;
    TempDir m_dir;
    std::string m_appDir = m_dir.path() + "/";
    std::unique_ptr<CMyZELKApp> m_app;
};

void MainFrameTest::initTestCase()
{
    m_service = std::make_unique<SampleServiceProcess>();
    QVERIFY(m_service->Running());
    const std::string host = "127.0.0.1:" + std::to_string(m_service->Port());
    qputenv("MYZELK_HOSTS", QByteArray::fromStdString("community=" + host + ",develop=" + host +
                                                      ",search=" + host));
    std::string error;
    QCOMPARE(CreateDatabaseIfMissing(m_dir / "DataBase/MyZELK.mdb", MYZELK_SCHEMA, &error),
             DatabaseCreation::Created);
    std::filesystem::create_directories(m_dir / "Resource/RoomList");
    for (const char* file : {"OffLine.xml", "Online.xml"})
        std::filesystem::copy_file(std::string(MYZELK_ROOM_LISTS) + "/" + file,
                                   m_dir / ("Resource/RoomList/" + std::string(file)));
    CLQExploreManager::SetProfileFolder((m_dir / "BrowserProfile").c_str());
}

void MainFrameTest::init()
{
    m_app = std::make_unique<CMyZELKApp>();
    CMyZELKApp::Options options;
    options.appDirOverride = m_appDir.c_str();
    options.checkForUpdate = false;
    QVERIFY(m_app->InitInstance(options));
    QVERIFY(QTest::qWaitForWindowExposed(Frame()));
}

void MainFrameTest::cleanup()
{
    if (m_app)
        m_app->ExitInstance();
    m_app.reset();
    CMyZELKApp::TakeAnsweredMessageBoxes();
}

void MainFrameTest::KeepWorkerBusy()
{
    Frame()->QueueDownload(SlowAddress());
    QTRY_COMPARE(Frame()->Downloads()->WaitingCount(), size_t(0));
}

void MainFrameTest::menusToolbarAndAcceleratorCarryTheCommandIds()
{
    QStringList titles;
    for (QAction* menu : Frame()->menuBar()->actions())
        titles << menu->text();
    QCOMPARE(titles, QStringList({"系统(&S)", "查看(&V)", "离线(&O)", "在线(&L)", "链接(&L)",
                                  "下载(&D)", "其他(&O)"}));
    QCOMPARE(Frame()->windowTitle(), QString("MyZELK version 2.50.0 - Build On 2006-09-09"));
    QVERIFY(Frame()->isMaximized());

    // Menu item, toolbar button and accelerator are one action per command.
    const struct
    {
        unsigned id;
        const char* text;
    } items[] = {{32796, "清空临时目录(&T)"}, {57665, "退出(&X)"},     {32800, "小图标"},
                 {32774, "全文搜索(&L)"},     {32777, "指定下载(&S)"}, {32803, "意见反馈(&F)"}};
    for (const auto& item : items)
    {
        QAction* action = Frame()->findChild<QAction*>(QString::number(item.id));
        QVERIFY2(action, qPrintable(QString::number(item.id)));
        QCOMPARE(action->text(), QString::fromUtf8(item.text));
    }
    QList<QAction*> buttons;
    for (QAction* action : Frame()->ToolBar()->actions())
        if (!action->isSeparator())
            buttons << action;
    QCOMPARE(buttons.size(), 15);
    QCOMPARE(buttons.at(9)->objectName(), QString("32783"));
    QCOMPARE(buttons.at(9)->toolTip(), QString("ZELK社区"));
    QCOMPARE(buttons.at(9), Frame()->Action(32783));
    QCOMPARE(Frame()->Action(32792)->shortcut(), QKeySequence("Ctrl+Q"));
}

void MainFrameTest::togglesStoreTheirSettings()
{
    // A first run: toolbar and status bar hidden, the left bar on its
    // on-line tab at the left.
    QVERIFY(Frame()->ToolBar()->isHidden());
    QCOMPARE(Frame()->dockWidgetArea(Frame()->LeftBar()), Qt::LeftDockWidgetArea);
    QCOMPARE(Frame()->LeftBar()->CurrentTab(), kOnlineTab);

    // Large icons with the toolbar hidden rebuild it and leave it hidden.
    Frame()->Action(kCmdToolBarBigIcons)->trigger();
    QCOMPARE(Frame()->ToolBar()->iconSize(), QSize(32, 32));
    QVERIFY(Frame()->ToolBar()->isHidden());
    QVERIFY(Frame()->Action(kCmdToolBarBigIcons)->isChecked());
    QVERIFY(!Frame()->Action(kCmdToolBarSmallIcons)->isChecked());

    Frame()->Action(kCmdToolBarShow)->trigger();
    QVERIFY(!Frame()->ToolBar()->isHidden());
    QVERIFY(Frame()->Action(kCmdToolBarShow)->isChecked());
    Frame()->Action(kCmdStatusBar)->trigger();
    Frame()->Action(kCmdStatusBar)->trigger();
    Frame()->resizeDocks({Frame()->LeftBar()}, {300}, Qt::Horizontal);
    QTRY_COMPARE(Frame()->LeftBar()->width(), 300);
    QVERIFY(Frame()->close());

    m_app->ExitInstance();
    const std::string config = ReadFileBytes(m_dir / "MyZELK.cfg");
    QVERIFY2(config.find("<Item Name=\"IsShowToolBar\" Value=\"1\"/>") != std::string::npos,
             config.c_str());
    QVERIFY(config.find("<Item Name=\"ToolBarIsBigIcon\" Value=\"1\"/>") != std::string::npos);
    QVERIFY(config.find("<Item Name=\"IsShowStatusBar\" Value=\"0\"/>") != std::string::npos);

    // The next run starts with them.
    m_app = std::make_unique<CMyZELKApp>();
    CMyZELKApp::Options options;
    options.appDirOverride = m_appDir.c_str();
    options.checkForUpdate = false;
    QVERIFY(m_app->InitInstance(options));
    QVERIFY(!Frame()->ToolBar()->isHidden());
    QCOMPARE(Frame()->ToolBar()->iconSize(), QSize(32, 32));
    // The left bar's size comes back from the profile.
    QTRY_COMPARE(Frame()->LeftBar()->width(), 300);
    Frame()->Action(kCmdToolBarShow)->trigger();
    Frame()->Action(kCmdToolBarSmallIcons)->trigger();
}

void MainFrameTest::transientNoticeClosesItselfAndReturnsOne()
{
    QString shown;
    QTimer::singleShot(0, this,
                       [&]
                       {
                           if (auto* notice = Frame()->findChild<QWidget*>("142"))
                               if (notice->isVisible())
                                   if (auto* edit = notice->findChild<QPlainTextEdit*>("1017"))
                                       shown = edit->toPlainText();
                       });
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_app->DoMessageBox("无法下载http://x.example/", kTransientNoticeType), 1);
    QVERIFY(clock.elapsed() >= 900);
    QCOMPARE(shown, QString("无法下载http://x.example/"));
    QTRY_VERIFY(!Frame()->findChild<QWidget*>("142"));
    QVERIFY(CMyZELKApp::TakeAnsweredMessageBoxes().empty());
}

void MainFrameTest::droppedLinksAreParsedAndQueued()
{
    const struct
    {
        const char* format;
        QByteArray data;
        std::string address;
    } cases[] = {
        {"text/uri-list", "# a comment\r\nhttp://a.example/x?id=1\r\nhttp://b.example/\r\n",
         "http://a.example/x?id=1"},
        {"text/plain", "  http://c.example/page.htm \n", "http://c.example/page.htm"},
        {"text/plain", "", ""},
    };
    for (const auto& c : cases)
    {
        QMimeData data;
        data.setData(c.format, c.data);
        QCOMPARE(DroppedAddress(data), c.address);
    }

    KeepWorkerBusy();
    auto* uriList = new QMimeData;
    uriList->setData("text/uri-list", QByteArray::fromStdString(SlowAddress() + "\r\n"));
    DropOn(Frame()->BannerPanel(), uriList);
    auto* text = new QMimeData;
    text->setText(QString::fromStdString(SlowAddress()));
    DropOn(Frame()->BannerPanel()->findChild<QWidget*>("1022"), text);
    QTRY_COMPARE(Frame()->Downloads()->WaitingCount(), size_t(2));
    delete uriList;
    delete text;
}

void MainFrameTest::exitQuestionCountsWaitingRequests()
{
    KeepWorkerBusy();
    for (int i = 0; i < 3; ++i)
        Frame()->QueueDownload(SlowAddress());

    CMyZELKApp::SetNextMessageBoxAnswer(IDNO);
    QVERIFY(!Frame()->close());
    QCOMPARE(CMyZELKApp::TakeAnsweredMessageBoxes(),
             std::vector<std::string>{"还有3个文件正在下载，确定要退出吗？"});
    QVERIFY(Frame()->isVisible());
    QCOMPARE(Frame()->Downloads()->WaitingCount(), size_t(3));

    // Yes ends the program at once, the running download cut short.
    CMyZELKApp::SetNextMessageBoxAnswer(IDYES);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(Frame()->close());
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(!Frame()->Downloads()->Running());
    QCOMPARE(CMyZELKApp::TakeAnsweredMessageBoxes().size(), size_t(1));
}

void MainFrameTest::closingDuringAnImportEndsPromptly()
{
    // The import adds the topic's room while the worker waits for this
    // thread: a close asked for right then must not wait for the worker.
    auto* tree = Frame()->LeftBar()->OfflineTree();
    QPointer<CMainFrame> frame = Frame();
    bool closeAsked = false;
    QElapsedTimer clock;
    connect(tree, &CEditTreeCtrl::ItemAdded, this,
            [&]
            {
                closeAsked = true;
                clock.start();
                frame->close();
            });
    Frame()->QueueDownload(m_service->Url("/Expert/TopicView1.asp?id=4711"));
    QTRY_VERIFY_WITH_TIMEOUT(closeAsked, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!frame->isVisible(), 2000);
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(!frame->Downloads()->Running());
}

void MainFrameTest::aSavedPageSaysWhatItsArchiveHolds()
{
    // The sample page pulls in twelve resources and names one that is missing.
    Frame()->QueueDownload(m_service->Url("/static/pages/styled.html"));
    QTRY_COMPARE_WITH_TIMEOUT(Frame()->statusBar()->currentMessage(),
                              QStringLiteral("网页已保存，共 12 个资源，1 个未能下载"), 15000);
}

void MainFrameTest::hugeTextsAreCutInNoticesAndBoxes()
{
    // A dropped megabyte taken for an address comes back in the notice and
    // the error box: laid out whole, it blocks the window for minutes.
    const QString start = "无法下载http://h.example/<b>";
    const std::string huge = start.toStdString() + std::string(64 * 1024, 'x');
    for (unsigned type : {kTransientNoticeType, unsigned{MB_OK | MB_ICONERROR}})
    {
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this,
                [&]
                {
                    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    {
                        shown = box->text();
                        format = box->textFormat();
                        box->close();
                    }
                    else if (auto* edit = Frame()->findChild<QPlainTextEdit*>("1017"))
                    {
                        shown = edit->toPlainText();
                        format = Qt::PlainText;
                    }
                });
        poll.start(10);
        m_app->DoMessageBox(huge, type);
        QVERIFY2(shown.size() <= 4096, qPrintable(QString::number(shown.size())));
        QVERIFY(shown.startsWith(start + "xxxx"));
        QCOMPARE(format, Qt::PlainText);
    }
}

void MainFrameTest::rightClickOnTheBannerOpensNoBarMenu()
{
    // Its entries would hide the toolbar behind its setting's back, or the
    // banner with the drop target for the rest of the run.
    QWidget* banner = Frame()->BannerPanel();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                            banner->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(banner, &click);
    QWidget* popup = QApplication::activePopupWidget();
    if (popup)
        popup->close();
    QVERIFY(!popup);
}

void MainFrameTest::destroyingTheShownFrameLeavesItsCommandsAlone()
{
    // Hiding the left bar on the way out must not run the frame's command
    // state update once its members are gone. A setting changed behind the
    // frame's back shows whether it ran.
    QAction* statusBar = Frame()->Action(kCmdStatusBar);
    QVERIFY(!statusBar->isChecked());
    m_app->Config().SetIsShowStatusBar(1);
    bool touched = false;
    connect(statusBar, &QAction::toggled, this, [&] { touched = true; });
    m_app->ExitInstance();
    QVERIFY(!touched);
}

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
