#include "views/html_ctrl.h"

#include "base/host_mapping.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

CHtmlCommandEvent::CHtmlCommandEvent(unsigned int commandId)
    : QEvent(EventType()), m_commandId(commandId)
{
}

QEvent::Type CHtmlCommandEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Sees every navigation before it starts, which the view itself cannot.
class CHtmlCtrlPage : public QWebEnginePage
{
public:
    explicit CHtmlCtrlPage(CHtmlCtrl* ctrl) : QWebEnginePage(ctrl), m_ctrl(ctrl) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        return m_ctrl->BeforeNavigate(url) &&
               QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    CHtmlCtrl* m_ctrl;
};

// The banner page and its links name the built-in hosts: with MYZELK_HOSTS
// they go to the service named there.
class CHtmlHostRedirect : public QWebEngineUrlRequestInterceptor
{
public:
    CHtmlHostRedirect(const CBuiltInHosts& hosts, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), m_hosts(hosts)
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const std::string address = info.requestUrl().toString(QUrl::FullyEncoded).toStdString();
        if (const std::optional<std::string> mapped = MapToOverrideHost(address, m_hosts))
            info.redirect(QUrl(QString::fromStdString(*mapped), QUrl::StrictMode));
    }

private:
    CBuiltInHosts m_hosts;
};

CHtmlCtrl::CHtmlCtrl(QWidget* parent) : QWebEngineView(parent)
{
    auto* page = new CHtmlCtrlPage(this);
    const CBuiltInHosts hosts = GetBuiltInHosts();
    if (HasHostOverride(hosts))
        page->setUrlRequestInterceptor(new CHtmlHostRedirect(hosts, page));
    setPage(page);
    connect(page, &QWebEnginePage::loadingChanged, this, &CHtmlCtrl::OnLoadingChanged);
}

bool CHtmlCtrl::CreateFromStatic(int id, QWidget* parent)
{
    if (!parent)
        return false;
    QWidget* placeholder =
        parent->findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
    if (!placeholder || placeholder == this)
        return false;
    const QRect rect = placeholder->geometry();
    setParent(parent);
    setObjectName(QString::number(id));
    setGeometry(rect);
    if (QLayout* layout = parent->layout())
        delete layout->replaceWidget(placeholder, this);
    delete placeholder;
    show();
    return true;
}

QString CHtmlCtrl::GetDocumentUrl() const
{
    return page() ? page()->url().toString() : QString();
}

void CHtmlCtrl::OnAppCmd(const QString& command)
{
    QWidget* parent = parentWidget();
    if (!m_pCmdMap || !parent)
        return;
    for (const HtmlCtrlCommand* entry = m_pCmdMap; entry->name; ++entry)
        if (QString::fromUtf8(entry->name).compare(command, Qt::CaseInsensitive) == 0)
            QCoreApplication::postEvent(parent, new CHtmlCommandEvent(entry->id));
}

bool CHtmlCtrl::BeforeNavigate(const QUrl& url)
{
    m_bNavigationCancelled = false;
    const QString address = url.toString(QUrl::FullyEncoded);
    if (address.left(4).compare(QLatin1String("app:"), Qt::CaseInsensitive) != 0)
        return true;
    OnAppCmd(QUrl::fromPercentEncoding(address.mid(4).toUtf8()));
    return false;
}

void CHtmlCtrl::OnLoadingChanged(const QWebEngineLoadingInfo& info)
{
    // An answer with an error status is still the server's page; only a
    // page that could not be fetched at all counts as cancelled.
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus ||
        info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return;
    m_bNavigationCancelled = true;
    if (m_bHideWhenCancelled)
        hide();
}

void CHtmlCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_bHideContextMenu)
    {
        QWebEngineView::contextMenuEvent(event);
        return;
    }
    event->accept();
    if (QWidget* parent = parentWidget())
    {
        QContextMenuEvent request(event->reason(), mapToParent(event->pos()), event->globalPos(),
                                  event->modifiers());
        QCoreApplication::sendEvent(parent, &request);
    }
}

std::string AdvertisementPageAddress(const std::string& communityHost)
{
    return "http://" + communityHost + "/ad/banner.htm";
}
