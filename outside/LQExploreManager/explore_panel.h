// The inside of the browser panel (not exported): the tab widget, its pages,
// the shared profile with its cookie mirror and the host override.
#pragma once

#include "base/builtin_hosts.h"
#include "outside/LQExploreManager/LQExploreManager.h"
#include "platform/net/cookie_store.h"

#include <QPointer>
#include <QString>
#include <QTabWidget>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <memory>

class QNetworkCookie;
class QWebEngineProfile;
class CExplorePanel;

// Sends the requests for the built-in host names to the hosts that
// MYZELK_HOSTS names instead (base/host_mapping.h has the rule).
class CHostOverrideInterceptor : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    explicit CHostOverrideInterceptor(const CBuiltInHosts& hosts, QObject* parent = nullptr);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    CBuiltInHosts m_hosts;
};

// Keeps the core's cookie store equal to the browser's cookies and the file
// that other processes read up to date.
class CCookieMirror : public QObject
{
    Q_OBJECT
public:
    CCookieMirror(QWebEngineProfile* profile, QString file, QObject* parent = nullptr);
    ~CCookieMirror() override;
    const CCookieStore& Store() const { return m_store; }

Q_SIGNALS:
    // The file holds the cookies as they are now.
    void saved();

private:
    void OnAdded(const QNetworkCookie& cookie);
    void OnRemoved(const QNetworkCookie& cookie);
    void SaveSoon();
    void SaveNow();

    CCookieStore m_store;
    QString m_file;
    QTimer m_saveTimer;
};

// The profile the panels share: created with the first panel, ended with
// the last, so a new panel in the same process sees what an earlier kept.
class CBrowserProfile : public QObject
{
    Q_OBJECT
public:
    static std::shared_ptr<CBrowserProfile> Acquire(const QString& folder);
    ~CBrowserProfile() override;
    QWebEngineProfile* Profile() const { return m_profile; }
    CCookieMirror* Mirror() const { return m_mirror; }
    const QString& Folder() const { return m_folder; }

private:
    explicit CBrowserProfile(const QString& folder);

    QString m_folder;
    QString m_storageName;
    QWebEngineProfile* m_profile = nullptr;
    CCookieMirror* m_mirror = nullptr;
};

// One tab's page: windows it opens become new tabs.
class CExplorePage : public QWebEnginePage
{
    Q_OBJECT
public:
    CExplorePage(QWebEngineProfile* profile, CExplorePanel* panel, QObject* parent);

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    CExplorePanel* m_panel;
};

class CExploreView : public QWebEngineView
{
    Q_OBJECT
public:
    CExploreView(QWebEngineProfile* profile, CExplorePanel* panel);
    CExplorePage* Page() const { return m_page; }

    int m_queries = 0;             // operation 2 calls not yet ended by 3 or 5
    bool m_closeRequested = false; // the page asked to close during a query

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CExplorePanel* m_panel;
    CExplorePage* m_page;
};

class CExplorePanel : public QTabWidget
{
    Q_OBJECT
public:
    CExplorePanel(std::shared_ptr<CBrowserProfile> profile, QWidget* parent);
    ~CExplorePanel() override;

    CExploreView* AddTab(bool makeCurrent);
    CExploreView* CurrentView() const;
    CExploreView* ViewOf(QWidget* handle) const;
    void CloseView(CExploreView* view);
    void RequestClose(CExploreView* view);
    void OnRightClick();

    QPointer<QWidget> m_owner;
    LQExploreCallback m_callback = nullptr;

Q_SIGNALS:
    // Forwarded from the cookie mirror (tests wait on it).
    void cookiesSaved();

private:
    std::shared_ptr<CBrowserProfile> m_profile;
};

class CExploreManager final : public CLQExploreManager
{
public:
    explicit CExploreManager(QWidget* parent);

    void Release() override;
    void Navigate(const char* address, int newTab, int tab) override;
    QWidget* GetCurrentPage(char* buffer) override;
    void ClosePage(QWidget* page) override;
    void Unused4() override;
    void EndQuery(QWidget* page) override;
    void SetOwner(QWidget* owner, LQExploreCallback callback) override;
    void Move(int x, int y, int width, int height) override;
    void Show(int show) override;
    void GoBack() override;
    void GoForward() override;
    void Refresh() override;
    void Stop() override;

private:
    ~CExploreManager();
    CExploreView* Current() const;

    // Gone already when the parent window was destroyed first.
    QPointer<CExplorePanel> m_panel;
};
