#include "outside/LQExploreManager/explore_panel.h"

#include "base/builtin_hosts.h"
#include "base/host_mapping.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QNetworkCookie>
#include <QSet>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>

namespace
{
QString g_profileFolder; // set by SetProfileFolder; empty: the default

// The folder this module was loaded from: the application folder, as the
// module is installed beside the program.
QString ModuleFolder()
{
    static const int marker = 0;
    Dl_info info;
    if (dladdr(&marker, &info) != 0 && info.dli_fname && info.dli_fname[0] == '/')
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
    return QCoreApplication::applicationDirPath();
}

QString ProfileFolder()
{
    if (!g_profileFolder.isEmpty())
        return g_profileFolder;
    return ModuleFolder() + QLatin1Char('/') + QLatin1String(kBrowserProfileFolder);
}

QSet<QString>& NamesInUse()
{
    static QSet<QString> names;
    return names;
}

// Web and file: addresses, and absolute paths (the reply's result file).
// The view writes "file:///" and then the path as it is, so "#", "%" or "?"
// in a saved page's name are no address syntax there: a file: address whose
// rest names an existing file opens that file.
QUrl UrlOfAddress(const QString& address)
{
    if (address.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
    {
        qsizetype start = 5;
        while (start < address.size() && address[start] == QLatin1Char('/'))
            ++start;
        const QString path = QLatin1Char('/') + address.mid(start);
        if (start > 5 && QFileInfo::exists(path))
            return QUrl::fromLocalFile(path);
    }
    return QUrl::fromUserInput(address);
}

CStoredCookie ToStored(const QNetworkCookie& cookie)
{
    CStoredCookie c;
    c.name = cookie.name().toStdString();
    c.value = cookie.value().toStdString();
    c.domain = cookie.domain().toStdString();
    c.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
    c.expires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    c.secure = cookie.isSecure();
    c.httpOnly = cookie.isHttpOnly();
    return c;
}
} // namespace

// ---------------------------------------------------------------------------

CHostOverrideInterceptor::CHostOverrideInterceptor(const CBuiltInHosts& hosts, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), m_hosts(hosts)
{
}

void CHostOverrideInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const std::string address = info.requestUrl().toString(QUrl::FullyEncoded).toStdString();
    if (const std::optional<std::string> mapped = MapToOverrideHost(address, m_hosts))
        info.redirect(QUrl(QString::fromStdString(*mapped), QUrl::StrictMode));
}

// ---------------------------------------------------------------------------

CCookieMirror::CCookieMirror(QWebEngineProfile* profile, QString file, QObject* parent)
    : QObject(parent), m_file(std::move(file))
{
    // Qt WebEngine 6.4 reports no cookie it reads back from its own
    // database (loadAllCookies() below emits nothing for them), so the
    // mirror starts from what it saved last time and follows every change
    // from here on; a Qt that does report them fills in what the file lacks.
    m_store.Load(m_file.toStdString());
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(0);
    connect(&m_saveTimer, &QTimer::timeout, this, &CCookieMirror::SaveNow);
    QWebEngineCookieStore* cookies = profile->cookieStore();
    connect(cookies, &QWebEngineCookieStore::cookieAdded, this, &CCookieMirror::OnAdded);
    connect(cookies, &QWebEngineCookieStore::cookieRemoved, this, &CCookieMirror::OnRemoved);
    cookies->loadAllCookies();
}

CCookieMirror::~CCookieMirror()
{
    if (m_saveTimer.isActive())
        SaveNow();
}

void CCookieMirror::OnAdded(const QNetworkCookie& cookie)
{
    if (m_store.SetCookie(ToStored(cookie)))
        SaveSoon();
}

void CCookieMirror::OnRemoved(const QNetworkCookie& cookie)
{
    const CStoredCookie c = ToStored(cookie);
    if (m_store.RemoveCookie(c.name, c.domain, c.path))
        SaveSoon();
}

// A page sets its cookies in a burst: one write for all of them.
void CCookieMirror::SaveSoon()
{
    m_saveTimer.start();
}

void CCookieMirror::SaveNow()
{
    m_saveTimer.stop();
    if (m_store.Save(m_file.toStdString()))
        Q_EMIT saved();
}

// ---------------------------------------------------------------------------

std::shared_ptr<CBrowserProfile> CBrowserProfile::Acquire(const QString& folder)
{
    static QMap<QString, std::weak_ptr<CBrowserProfile>> profiles;
    const QString key = QDir::cleanPath(QDir(folder).absolutePath());
    if (std::shared_ptr<CBrowserProfile> existing = profiles.value(key).lock())
        return existing;
    std::shared_ptr<CBrowserProfile> created(new CBrowserProfile(key));
    profiles.insert(key, created);
    return created;
}

CBrowserProfile::CBrowserProfile(const QString& folder) : m_folder(folder)
{
    QDir().mkpath(folder);
    // Qt keeps a small file per storage name in the user's data folder, so
    // the name is the same every run; it only has to differ between
    // profiles alive together.
    QString name = QStringLiteral("MyZELK");
    for (int n = 2; NamesInUse().contains(name); ++n)
        name = QStringLiteral("MyZELK-%1").arg(n);
    NamesInUse().insert(name);
    m_storageName = name;
    m_profile = new QWebEngineProfile(name);
    m_profile->setPersistentStoragePath(folder);
    m_profile->setCachePath(folder + QStringLiteral("/Cache"));
    m_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    // Session cookies too: a sign-in without an expiry survives a restart.
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    // Saved topics are XML files whose skin is another local file.
    m_profile->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    const CBuiltInHosts hosts = GetBuiltInHosts();
    if (HasHostOverride(hosts))
        m_profile->setUrlRequestInterceptor(new CHostOverrideInterceptor(hosts, m_profile));
    m_mirror = new CCookieMirror(m_profile,
                                 folder + QLatin1Char('/') + QLatin1String(kBrowserCookieFileName));
}

CBrowserProfile::~CBrowserProfile()
{
    delete m_mirror; // writes what is pending
    delete m_profile;
    NamesInUse().remove(m_storageName);
}

// ---------------------------------------------------------------------------

CExplorePage::CExplorePage(QWebEngineProfile* profile, CExplorePanel* panel, QObject* parent)
    : QWebEnginePage(profile, parent), m_panel(panel)
{
}

QWebEnginePage* CExplorePage::createWindow(WebWindowType type)
{
    return m_panel->AddTab(type != WebBrowserBackgroundTab)->Page();
}

CExploreView::CExploreView(QWebEngineProfile* profile, CExplorePanel* panel)
    : QWebEngineView(panel), m_panel(panel), m_page(new CExplorePage(profile, panel, this))
{
    setPage(m_page);
}

void CExploreView::contextMenuEvent(QContextMenuEvent* event)
{
    // The owner shows its own menu; the browser's never appears.
    event->accept();
    m_panel->OnRightClick();
}

// ---------------------------------------------------------------------------

CExplorePanel::CExplorePanel(std::shared_ptr<CBrowserProfile> profile, QWidget* parent)
    : QTabWidget(parent), m_profile(std::move(profile))
{
    setObjectName(QStringLiteral("LQExploreManager"));
    setDocumentMode(true);
    setTabsClosable(true);
    setMovable(true);
    connect(this, &QTabWidget::tabCloseRequested, this,
            [this](int index) { CloseView(qobject_cast<CExploreView*>(widget(index))); });
    connect(m_profile->Mirror(), &CCookieMirror::saved, this, &CExplorePanel::cookiesSaved);
    AddTab(true);
    // A child made after its parent is shown would stay hidden otherwise.
    show();
}

CExplorePanel::~CExplorePanel()
{
    // Pages go before the profile they use.
    qDeleteAll(findChildren<CExploreView*>());
    m_profile.reset();
}

CExploreView* CExplorePanel::AddTab(bool makeCurrent)
{
    auto* view = new CExploreView(m_profile->Profile(), this);
    const int index = addTab(view, QStringLiteral("空白页"));
    connect(view, &QWebEngineView::loadFinished, this,
            [this]
            {
                if (m_callback)
                    m_callback(m_owner.data(), kExploreLoadFinished);
            });
    connect(view, &QWebEngineView::titleChanged, this,
            [this, view](const QString& title)
            {
                const int at = indexOf(view);
                if (at < 0)
                    return;
                setTabText(at, title.size() > 24 ? title.left(23) + QChar(0x2026) : title);
                setTabToolTip(at, title);
            });
    connect(view->Page(), &QWebEnginePage::windowCloseRequested, this,
            [this, view] { RequestClose(view); });
    if (makeCurrent)
        setCurrentIndex(index);
    return view;
}

CExploreView* CExplorePanel::CurrentView() const
{
    return qobject_cast<CExploreView*>(currentWidget());
}

CExploreView* CExplorePanel::ViewOf(QWidget* handle) const
{
    if (!handle)
        return nullptr;
    for (int i = 0; i < count(); ++i)
        if (widget(i) == handle)
            return qobject_cast<CExploreView*>(widget(i));
    return nullptr;
}

void CExplorePanel::CloseView(CExploreView* view)
{
    const int index = view ? indexOf(view) : -1;
    if (index < 0)
        return;
    removeTab(index);
    // Later, as this may run inside one of the page's own signals.
    view->deleteLater();
}

void CExplorePanel::RequestClose(CExploreView* view)
{
    if (view->m_queries > 0)
        view->m_closeRequested = true;
    else
        CloseView(view);
}

void CExplorePanel::OnRightClick()
{
    if (m_callback)
        m_callback(m_owner.data(), kExploreRightClick);
}

// ---------------------------------------------------------------------------

CExploreManager::CExploreManager(QWidget* parent)
    : m_panel(new CExplorePanel(CBrowserProfile::Acquire(ProfileFolder()), parent))
{
}

CExploreManager::~CExploreManager() = default;

CExploreView* CExploreManager::Current() const
{
    return m_panel ? m_panel->CurrentView() : nullptr;
}

void CExploreManager::Release()
{
    delete m_panel.data();
    delete this;
}

void CExploreManager::Navigate(const char* address, int newTab, int tab)
{
    if (!m_panel || !address)
        return;
    CExploreView* view = nullptr;
    if (!newTab)
        view = tab >= 0 ? qobject_cast<CExploreView*>(m_panel->widget(tab)) : Current();
    if (!view)
        view = m_panel->AddTab(true);
    m_panel->setCurrentWidget(view);
    view->load(UrlOfAddress(QString::fromUtf8(address).trimmed()));
}

QWidget* CExploreManager::GetCurrentPage(char* buffer)
{
    CExploreView* view = Current();
    if (buffer)
    {
        const QByteArray address =
            view ? view->url().toString(QUrl::FullyEncoded).toUtf8() : QByteArray();
        const size_t n = std::min<size_t>(static_cast<size_t>(address.size()), 1023);
        std::memcpy(buffer, address.constData(), n);
        buffer[n] = '\0';
    }
    if (view)
        ++view->m_queries;
    return view;
}

void CExploreManager::ClosePage(QWidget* page)
{
    if (m_panel)
        m_panel->CloseView(m_panel->ViewOf(page));
}

void CExploreManager::Unused4() {}

void CExploreManager::EndQuery(QWidget* page)
{
    CExploreView* view = m_panel ? m_panel->ViewOf(page) : nullptr;
    if (!view || view->m_queries == 0)
        return;
    if (--view->m_queries == 0 && view->m_closeRequested)
        m_panel->CloseView(view);
}

void CExploreManager::SetOwner(QWidget* owner, LQExploreCallback callback)
{
    if (!m_panel)
        return;
    m_panel->m_owner = owner;
    m_panel->m_callback = callback;
}

void CExploreManager::Move(int x, int y, int width, int height)
{
    if (m_panel)
        m_panel->setGeometry(x, y, std::max(0, width), std::max(0, height));
}

void CExploreManager::Show(int show)
{
    if (m_panel)
        m_panel->setVisible(show != 0);
}

void CExploreManager::GoBack()
{
    if (CExploreView* view = Current())
        view->back();
}

void CExploreManager::GoForward()
{
    if (CExploreView* view = Current())
        view->forward();
}

void CExploreManager::Refresh()
{
    if (CExploreView* view = Current())
        view->reload();
}

void CExploreManager::Stop()
{
    if (CExploreView* view = Current())
        view->stop();
}

// ---------------------------------------------------------------------------

CLQExploreManager* CLQExploreManager::CreateInstance(const char*, QWidget* parent)
{
    return new CExploreManager(parent);
}

void CLQExploreManager::SetProfileFolder(const char* folder)
{
    g_profileFolder = folder ? QString::fromLocal8Bit(folder) : QString();
}
