// The HTML control on a bar as the advertisement bar uses it: the sample
// service's banner page, real clicks from the X server.
#include "tests/explore/web_test_input.h"
#include "tests/support/sample_service_process.h"
#include "views/html_ctrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace
{
const HtmlCtrlCommand kCommands[] = {
    {"Feedback", 32795},
    {"help", 57670},
    {"help", 57671}, // every matching entry is posted
    {nullptr, 0},
};

// The bar: a placeholder label with id 1022 where the control goes, and a
// record of what the control hands to its parent.
class Bar : public QWidget
{
    Q_OBJECT
public:
    Bar()
    {
        resize(700, 60);
        auto* placeholder = new QLabel(this);
        placeholder->setObjectName(QStringLiteral("1022"));
        placeholder->setGeometry(10, 5, 680, 50);
    }
    QList<unsigned int> commands;
    QList<QPoint> contextRequests;

Q_SIGNALS:
    void received();

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == CHtmlCommandEvent::EventType())
        {
            commands.append(static_cast<CHtmlCommandEvent*>(e)->CommandId());
            Q_EMIT received();
            return true;
        }
        return QWidget::event(e);
    }
    void contextMenuEvent(QContextMenuEvent* e) override
    {
        contextRequests.append(e->pos());
        Q_EMIT received();
    }
};

bool Load(CHtmlCtrl* ctrl, const QString& address)
{
    QSignalSpy finished(ctrl, &QWebEngineView::loadFinished);
    ctrl->load(QUrl(address));
    return finished.wait(20000) && finished.last().at(0).toBool();
}
} // namespace

class HtmlCtrlTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void takesThePlaceOfThePlaceholder();
    void appLinksPostTheirCommands();
    void rightClickGoesToTheParent();
    void bannerHidesWhenTheServiceIsDown();

private:
    // The bar on screen with the control in place.
    struct Fixture
    {
        Fixture()
        {
            bar.show();
            exposed = QTest::qWaitForWindowExposed(&bar);
            created = ctrl->CreateFromStatic(1022, &bar);
        }
        Bar bar;
        CHtmlCtrl* ctrl = new CHtmlCtrl;
        bool exposed = false;
        bool created = false;
    };

    // The address the advertisement bar will use, on the sample service.
    QString Banner() const
    {
        return QString::fromStdString(
            AdvertisementPageAddress("127.0.0.1:" + std::to_string(m_service->Port())));
    }

    std::unique_ptr<SampleServiceProcess> m_service;
};

void HtmlCtrlTest::initTestCase()
{
    m_service = std::make_unique<SampleServiceProcess>();
    QVERIFY(m_service->Running());
}

void HtmlCtrlTest::takesThePlaceOfThePlaceholder()
{
    Bar bar;
    CHtmlCtrl ctrl;
    QVERIFY(!ctrl.CreateFromStatic(1023, &bar));
    QCOMPARE(ctrl.parentWidget(), nullptr);
    QVERIFY(ctrl.CreateFromStatic(1022, &bar));
    QCOMPARE(ctrl.parentWidget(), &bar);
    QCOMPARE(ctrl.geometry(), QRect(10, 5, 680, 50));
    QCOMPARE(bar.findChildren<QLabel*>().size(), 0);
    QCOMPARE(bar.findChild<QWidget*>(QStringLiteral("1022")), &ctrl);
    QCOMPARE(ctrl.GetDocumentUrl(), QString());
}

void HtmlCtrlTest::appLinksPostTheirCommands()
{
    Fixture f;
    QVERIFY(f.exposed);
    QVERIFY(f.created);
    f.ctrl->SetCmdMap(kCommands);
    QVERIFY(Load(f.ctrl, Banner()));
    QSignalSpy received(&f.bar, &Bar::received);

    // "app:feedback" against the entry "Feedback".
    QVERIFY(XClick(f.ctrl, ElementCentre(f.ctrl->page(), QStringLiteral("feedback")), 1));
    QVERIFY(received.wait(10000));
    QCOMPARE(f.bar.commands, QList<unsigned int>{32795});

    // "APP:Help": the scheme in capitals, two entries named "help".
    QVERIFY(XClick(f.ctrl, ElementCentre(f.ctrl->page(), QStringLiteral("help")), 1));
    while (f.bar.commands.size() < 3)
        QVERIFY(received.wait(10000));
    QCOMPARE(f.bar.commands, (QList<unsigned int>{32795, 57670, 57671}));

    // No navigation happened: the banner is still the document, shown.
    QCOMPARE(f.ctrl->GetDocumentUrl(), Banner());
    QVERIFY(f.ctrl->isVisible());
    QVERIFY(!f.ctrl->IsNavigationCancelled());
}

void HtmlCtrlTest::rightClickGoesToTheParent()
{
    Fixture f;
    QVERIFY(f.exposed);
    QVERIFY(f.created);
    f.ctrl->SetHideContextMenu(true);
    QVERIFY(Load(f.ctrl, Banner()));
    QSignalSpy received(&f.bar, &Bar::received);
    const QPoint at(600, 20); // on the banner, off its links
    QVERIFY(XClick(f.ctrl, at, 3));
    QVERIFY(received.wait(10000));
    QCOMPARE(f.bar.contextRequests.size(), 1);
    QCOMPARE(f.bar.contextRequests[0], f.ctrl->mapToParent(at));
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
    QVERIFY(f.bar.commands.isEmpty());
}

void HtmlCtrlTest::bannerHidesWhenTheServiceIsDown()
{
    Fixture f;
    QVERIFY(f.exposed);
    QVERIFY(f.created);
    f.ctrl->SetHideWhenCancelled(true);

    // An error answer is the server's own page, not a cancelled navigation.
    Load(f.ctrl, QString::fromStdString(m_service->Url("/fail/404")));
    QVERIFY(!f.ctrl->IsNavigationCancelled());
    QVERIFY(f.ctrl->isVisible());

    // The same banner address once the service has stopped.
    const QString banner = Banner();
    m_service.reset();
    QVERIFY(!Load(f.ctrl, banner));
    QVERIFY(f.ctrl->IsNavigationCancelled());
    QVERIFY(!f.ctrl->isVisible());

    // A new navigation clears the flag; without hide-when-cancelled the
    // control stays, showing the browser's error page.
    f.ctrl->SetHideWhenCancelled(false);
    f.ctrl->show();
    QVERIFY(Load(f.ctrl, QStringLiteral("data:text/html,<p>local</p>")));
    QVERIFY(!f.ctrl->IsNavigationCancelled());
    QVERIFY(!Load(f.ctrl, banner));
    QVERIFY(f.ctrl->IsNavigationCancelled());
    QVERIFY(f.ctrl->isVisible());
}

QTEST_MAIN(HtmlCtrlTest)
#include "html_ctrl_test.moc"
