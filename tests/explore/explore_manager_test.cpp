// The browser panel as the program drives it: every operation called by its
// number in the table of operations, real clicks from the X server, the
// sample service on loopback reached through the built-in host names.
#include "outside/LQExploreManager/LQExploreManager.h"
#include "platform/net/cookie_store.h"
#include "platform/net/url_fetch.h"
#include "tests/explore/web_test_input.h"
#include "tests/support/sample_service_process.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QWebEngineView>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

namespace
{
// Calls operation `slot` through the object's table, as the program's
// compiled calls do; what is checked is the order, whatever the header says.
template <typename R = void, typename... Args>
R Op(CLQExploreManager* manager, int slot, Args... args)
{
    using Fn = R (*)(CLQExploreManager*, Args...);
    void** table = *reinterpret_cast<void***>(manager);
    return reinterpret_cast<Fn>(table[slot])(manager, args...);
}

QWebEngineView* CurrentView(QTabWidget* panel)
{
    return qobject_cast<QWebEngineView*>(panel->currentWidget());
}

// Runs `start` and waits for the current tab's load to end; its result.
template <typename Start> bool LoadCurrent(QTabWidget* panel, Start start)
{
    QWebEngineView* view = CurrentView(panel);
    if (!view)
        return false;
    QSignalSpy finished(view, &QWebEngineView::loadFinished);
    start();
    return finished.wait(20000) && finished.last().at(0).toBool();
}

int VisitsShown(QWebEnginePage* page)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("第 (\\d+) 次来访")).match(PageText(page));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

struct Notification
{
    QWidget* owner;
    int code;
};
} // namespace

class ExploreManagerTest : public QObject
{
    Q_OBJECT

Q_SIGNALS:
    void notified();

private Q_SLOTS:
    void initTestCase();
    void operationsWorkByTheirNumbers();
    void rightClickCallsTheOwnerAndShowsNoMenu();
    void cookiesReachTheCoreAndOutliveThePanel();
    void localFilesOpenWhateverTheirNames();
    void savedTopicShowsWithTheSkin();

private:
    // A host window like the view, with a panel on a profile of its own.
    struct Fixture
    {
        explicit Fixture(const std::string& profileDir)
        {
            CLQExploreManager::SetProfileFolder(profileDir.c_str());
            host.resize(800, 600);
            host.show();
            exposed = QTest::qWaitForWindowExposed(&host);
            manager = CLQExploreManager::CreateInstance("LQExploreManager.dll", &host);
            panel = host.findChild<QTabWidget*>(QStringLiteral("LQExploreManager"));
            if (panel)
            {
                // As the view places it: 2, 2, client width - 2, client height - 2.
                Op(manager, 7, 2, 2, host.width() - 2, host.height() - 2);
            }
        }
        ~Fixture()
        {
            if (manager)
                Op(manager, 0);
        }
        QWidget host;
        bool exposed = false;
        CLQExploreManager* manager = nullptr;
        QPointer<QTabWidget> panel;
    };

    static int OnNotify(QWidget* owner, int code);

    QString Community(const QString& path) const
    {
        return QStringLiteral("http://community.zelk.example") + path;
    }
    QString Real(const QString& path) const
    {
        return QString::fromStdString(m_service->Url(path.toStdString()));
    }
    std::string RealHost() const { return "http://127.0.0.1:" + std::to_string(m_service->Port()); }

    std::unique_ptr<SampleServiceProcess> m_service;
    static ExploreManagerTest* s_self;
    static QList<Notification> s_notifications;
};

ExploreManagerTest* ExploreManagerTest::s_self = nullptr;
QList<Notification> ExploreManagerTest::s_notifications;

int ExploreManagerTest::OnNotify(QWidget* owner, int code)
{
    s_notifications.append({owner, code});
    Q_EMIT s_self->notified();
    return 1;
}

void ExploreManagerTest::initTestCase()
{
    s_self = this;
    m_service = std::make_unique<SampleServiceProcess>();
    QVERIFY(m_service->Running());
    // Read by the panel's profile when it is made: every page below is
    // asked for by the built-in name and served by the sample service.
    const QByteArray host = "127.0.0.1:" + QByteArray::number(m_service->Port());
    qputenv("MYZELK_HOSTS", "community=" + host + ",develop=" + host + ",search=" + host);
}

void ExploreManagerTest::operationsWorkByTheirNumbers()
{
    ScratchDir profile;
    Fixture f(profile.Path());
    QVERIFY(f.exposed);
    QVERIFY(f.panel);
    CLQExploreManager* m = f.manager;
    QTabWidget* panel = f.panel;
    QCOMPARE(panel->geometry(), QRect(2, 2, 798, 598));
    QCOMPARE(panel->count(), 1);
    QVERIFY(panel->isVisible()); // also when made after its parent was shown
    Op(m, 8, 0);
    QVERIFY(!panel->isVisible());
    Op(m, 8, 1);
    QVERIFY(panel->isVisible());

    // 1 opens in the current tab; 2 gives its address and handle, 5 ends that.
    QVERIFY(LoadCurrent(panel, [&]
                        { Op(m, 1, "http://community.zelk.example/Expert/welcome.asp", 0, -1); }));
    QWidget* first = panel->currentWidget();
    char buffer[1024];
    std::memset(buffer, 'x', sizeof buffer);
    QCOMPARE(Op<QWidget*>(m, 2, buffer), first);
    QCOMPARE(QString::fromUtf8(buffer), Real("/Expert/welcome.asp"));
    Op(m, 5, first);
    QVERIFY(LoadCurrent(panel,
                        [&] { Op(m, 1, Community("/cookie/echo").toUtf8().constData(), 0, -1); }));
    QCOMPARE(panel->count(), 1);
    QCOMPARE(panel->currentWidget(), first);

    // 9, 10, 11: back, forward, refresh (the page counts its visits).
    QVERIFY(LoadCurrent(panel, [&] { Op(m, 9); }));
    QCOMPARE(CurrentView(panel)->url().toString(), Real("/Expert/welcome.asp"));
    const int visits = VisitsShown(CurrentView(panel)->page());
    QVERIFY(visits > 0);
    QVERIFY(LoadCurrent(panel, [&] { Op(m, 11); }));
    QVERIFY(VisitsShown(CurrentView(panel)->page()) > visits);
    QVERIFY(LoadCurrent(panel, [&] { Op(m, 10); }));
    QCOMPARE(CurrentView(panel)->url().toString(), Real("/cookie/echo"));

    // 12 stops a page that does not come.
    {
        QSignalSpy started(CurrentView(panel), &QWebEngineView::loadStarted);
        QSignalSpy finished(CurrentView(panel), &QWebEngineView::loadFinished);
        Op(m, 1, Community("/slow/no-answer?s=20").toUtf8().constData(), 0, -1);
        QVERIFY(started.wait(10000));
        Op(m, 12);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.last().at(0).toBool(), false);
    }

    // A link that asks for a new window opens a new tab, which becomes current.
    QVERIFY(LoadCurrent(panel, [&]
                        { Op(m, 1, "http://community.zelk.example/Expert/welcome.asp", 0, -1); }));
    const QPoint link = ElementCentre(CurrentView(panel)->page(), QStringLiteral("cookies"));
    QVERIFY(link.x() >= 0);
    QSignalSpy newTabLoaded(this, &ExploreManagerTest::notified);
    const QMetaObject::Connection watch =
        connect(panel, &QTabWidget::currentChanged, this,
                [&](int index)
                {
                    connect(qobject_cast<QWebEngineView*>(panel->widget(index)),
                            &QWebEngineView::loadFinished, this, [this] { Q_EMIT notified(); });
                });
    QVERIFY(XClick(CurrentView(panel), link, 1));
    QVERIFY(newTabLoaded.wait(20000));
    disconnect(watch);
    QCOMPARE(panel->count(), 2);
    QWidget* second = Op<QWidget*>(m, 2, buffer);
    QVERIFY(second != first);
    QCOMPARE(QString::fromUtf8(buffer), Real("/cookie/echo"));
    QVERIFY(PageText(CurrentView(panel)->page()).contains(QStringLiteral("ZelkVisits=")));

    // While a query holds the tab, the page's own close request waits for
    // the end of the query.
    {
        QSignalSpy closeAsked(CurrentView(panel)->page(), &QWebEnginePage::windowCloseRequested);
        RunScript(CurrentView(panel)->page(), QStringLiteral("window.close()"));
        QVERIFY(closeAsked.count() > 0 || closeAsked.wait(10000));
        QCOMPARE(panel->count(), 2);
        Op(m, 5, second);
        QCOMPARE(panel->count(), 1);
    }

    // 3 closes the tab that 2 named; a handle that is no tab is ignored.
    Op(m, 1, Community("/cookie/echo").toUtf8().constData(), 1, -1);
    QCOMPARE(panel->count(), 2);
    {
        QSignalSpy loaded(CurrentView(panel), &QWebEngineView::loadFinished);
        QVERIFY(loaded.wait(20000));
    }
    QWidget* third = Op<QWidget*>(m, 2, static_cast<char*>(nullptr));
    QVERIFY(third != first);
    Op(m, 3, third);
    QCOMPARE(panel->count(), 1);
    Op(m, 3, static_cast<QWidget*>(&f.host));
    QCOMPARE(panel->count(), 1);
    QCOMPARE(Op<QWidget*>(m, 2, buffer), first);
    QCOMPARE(QString::fromUtf8(buffer), Real("/Expert/welcome.asp"));
    Op(m, 5, first);

    // 0 ends the panel and its window.
    Op(m, 0);
    f.manager = nullptr;
    QVERIFY(f.panel.isNull());
}

void ExploreManagerTest::rightClickCallsTheOwnerAndShowsNoMenu()
{
    ScratchDir profile;
    Fixture f(profile.Path());
    QVERIFY(f.exposed);
    QVERIFY(f.panel);
    Op(f.manager, 6, static_cast<QWidget*>(&f.host), static_cast<LQExploreCallback>(&OnNotify));
    QVERIFY(
        LoadCurrent(f.panel, [&] { Op(f.manager, 1, "http://community.zelk.example/", 0, -1); }));
    s_notifications.clear();
    QSignalSpy called(this, &ExploreManagerTest::notified);
    QWebEngineView* view = CurrentView(f.panel);
    QVERIFY(XClick(view, view->rect().center(), 3));
    QVERIFY(called.wait(10000));
    QCOMPARE(s_notifications.size(), 1);
    QCOMPARE(s_notifications[0].owner, &f.host);
    QCOMPARE(s_notifications[0].code, -5);
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
}

void ExploreManagerTest::cookiesReachTheCoreAndOutliveThePanel()
{
    ScratchDir profile;
    const std::string file = profile.File(kBrowserCookieFileName);
    CCookieStore core(file); // as the program and the companion read it
    auto waitFor = [&](QObject* panel, const std::string& text)
    {
        QSignalSpy saved(panel, SIGNAL(cookiesSaved()));
        while (core.CookieTextFor(RealHost()) != text)
            if (!saved.wait(10000))
                return false;
        return true;
    };
    {
        Fixture f(profile.Path());
        QVERIFY(f.panel);
        // A sign-in (a session cookie), then a lasting HttpOnly cookie.
        QVERIFY(LoadCurrent(f.panel,
                            [&] {
                                Op(f.manager, 1,
                                   "http://community.zelk.example/Expert/login.asp?user=tester", 0,
                                   -1);
                            }));
        QVERIFY(LoadCurrent(
            f.panel,
            [&] { Op(f.manager, 1, "http://community.zelk.example/Expert/welcome.asp", 0, -1); }));
        QVERIFY2(waitFor(f.panel, "ZelkUser=tester; ZelkVisits=1"),
                 core.CookieTextFor(RealHost()).c_str());
        const std::vector<CStoredCookie> cookies = core.Cookies();
        QCOMPARE(cookies.size(), size_t(2));
        QCOMPARE(cookies[0].expires, int64_t(0));
        QVERIFY(!cookies[0].httpOnly);
        QVERIFY(cookies[1].httpOnly);
        QCOMPARE(cookies[1].domain, std::string("127.0.0.1"));
        QVERIFY(cookies[1].expires > static_cast<int64_t>(std::time(nullptr)) + 29 * 86400);

        // The program's own downloads send the same cookies (libcurl puts
        // longer names first).
        FetchOptions options;
        options.cookies = &core;
        QCOMPARE(QString::fromStdString(FetchUrl(m_service->Url("/cookie/echo"), options).body),
                 QStringLiteral("ZelkVisits=1; ZelkUser=tester"));
    }
    QCOMPARE(core.CookieTextFor(RealHost()), std::string("ZelkUser=tester; ZelkVisits=1"));

    // A new panel on the same profile: the browser still sends both (the
    // sign-in too), and the core's copy keeps the cookie that this run
    // does not touch.
    Fixture again(profile.Path());
    QVERIFY(again.panel);
    QVERIFY(LoadCurrent(
        again.panel,
        [&] { Op(again.manager, 1, "http://community.zelk.example/Expert/welcome.asp", 0, -1); }));
    QCOMPARE(CurrentView(again.panel)->title(), QStringLiteral("欢迎 tester"));
    QCOMPARE(VisitsShown(CurrentView(again.panel)->page()), 2);
    QVERIFY2(waitFor(again.panel, "ZelkUser=tester; ZelkVisits=2"),
             core.CookieTextFor(RealHost()).c_str());
}

void ExploreManagerTest::localFilesOpenWhateverTheirNames()
{
    // Saved pages are named after their titles, which may hold "#" and "%",
    // in an installation folder with blanks and Chinese; the view passes
    // "file:///" and the path as it is.
    ScratchDir app;
    const std::string folder = app.File("我的 程序 #1 a%41b/Temp");
    std::filesystem::create_directories(folder);
    const std::string page = folder + "/C# 入门 100%.htm";
    std::ofstream(page, std::ios::binary)
        << "<html><head><meta charset=\"utf-8\"><title>已保存的页面</title>"
           "</head><body>saved</body></html>";

    ScratchDir profile;
    Fixture f(profile.Path());
    QVERIFY(f.panel);
    for (const std::string& address : {"file:///" + page, page})
    {
        QVERIFY2(LoadCurrent(f.panel, [&] { Op(f.manager, 1, address.c_str(), 0, -1); }),
                 address.c_str());
        QCOMPARE(CurrentView(f.panel)->title(), QStringLiteral("已保存的页面"));
        QCOMPARE(CurrentView(f.panel)->url().toLocalFile(), QString::fromStdString(page));
    }
    // A file address in the usual encoded form still opens.
    const QByteArray encoded = QUrl::fromLocalFile(QString::fromStdString(page)).toEncoded();
    QVERIFY(LoadCurrent(f.panel, [&] { Op(f.manager, 1, encoded.constData(), 0, -1); }));
    QCOMPARE(CurrentView(f.panel)->title(), QStringLiteral("已保存的页面"));
}

void ExploreManagerTest::savedTopicShowsWithTheSkin()
{
    // A display copy as the topic import writes it: the fixture topic, its
    // style sheet instruction pointing at the program's own skin.
    ScratchDir app;
    namespace fs = std::filesystem;
    fs::create_directories(app.File("Temp"));
    fs::create_directories(app.File("Resource/Skins"));
    fs::copy_file(MYZELK_SOURCE_DIR "/resources/Skins/style1.xsl",
                  app.File("Resource/Skins/style1.xsl"));
    std::string topic = ReadFileBytes(MYZELK_SOURCE_DIR "/tests/acquire/fixtures/topic_gb2312.xml");
    const std::string remote = "http://community.zelk.example/Expert/xsl/topic.xsl";
    const size_t at = topic.find(remote);
    QVERIFY(at != std::string::npos);
    topic.replace(at, remote.size(), "../Resource/Skins/style1.xsl");
    const std::string copy = app.File("Temp/Community_OffLineData_4712.xml");
    std::ofstream(copy, std::ios::binary) << topic;

    ScratchDir profile;
    Fixture f(profile.Path());
    QVERIFY(f.exposed);
    QVERIFY(f.panel);
    // The view opens files as "file:///" followed by the absolute path.
    const std::string address = "file:///" + copy;
    QVERIFY(LoadCurrent(f.panel, [&] { Op(f.manager, 1, address.c_str(), 0, -1); }));
    QWebEnginePage* page = CurrentView(f.panel)->page();
    QCOMPARE(RunScript(page, QStringLiteral("document.querySelector('h1.topic-title').textContent"))
                 .toString(),
             QStringLiteral("SQLite 的事务怎么用?"));
    QVERIFY(PageText(page).contains(QStringLiteral("数据库开发")));

    // For a person to look at: the window, and the whole X screen as
    // imagemagick sees it, each once the page shows in it (the screen
    // follows a little after the widget).
    const QString shots = QString::fromLocal8Bit(qgetenv("MYZELK_SHOTS_DIR"));
    if (!shots.isEmpty())
    {
        QDir().mkpath(shots);
        const QRect pageArea = f.panel->geometry().adjusted(10, 60, -10, -10);
        auto showsPage = [](const QImage& image, const QRect& area)
        {
            for (int y = area.top(); y < area.bottom(); y += 3)
                for (int x = area.left(); x < area.right(); x += 3)
                    if (image.pixel(x, y) != qRgb(255, 255, 255))
                        return true;
            return false;
        };
        const QString window = shots + QStringLiteral("/explore_saved_topic.png");
        const QString screen = shots + QStringLiteral("/explore_saved_topic_screen.png");
        QVERIFY(
            QTest::qWaitFor([&] { return showsPage(f.host.grab().toImage(), pageArea); }, 10000));
        QVERIFY(f.host.grab().save(window));
        QVERIFY(QTest::qWaitFor(
            [&]
            {
                return QProcess::execute(
                           QStringLiteral("import"),
                           {QStringLiteral("-window"), QStringLiteral("root"), screen}) == 0 &&
                       showsPage(QImage(screen),
                                 pageArea.translated(f.host.mapToGlobal(QPoint(0, 0))));
            },
            10000));
    }
}

QTEST_MAIN(ExploreManagerTest)
#include "explore_manager_test.moc"
