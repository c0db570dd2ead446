// The program's single main window: menu, toolbar, the rebar band with the
// banner panel, status bar and the dockable left bar around the view. It
// carries the command table (every command is a QAction whose object name
// is its id, so menu, toolbar and accelerator reach one handler), opens the
// service's pages, queues downloads and asks before closing while some wait.
#pragma once

#include <QMainWindow>

#include <map>
#include <memory>
#include <string>

class CBannerPanel;
class CCookieStore;
class CCommunitySearchDlg;
class CDevelopSearchDlg;
class CEditTreeModel;
class CFrameDownloads;
class CLeftBar;
class CLinkDropTarget;
class CMyZELKApp;
class CMyZELKView;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CMainFrame(CMyZELKApp& app);
    ~CMainFrame() override;

    // Builds the window; false (after its message, if any) when it cannot.
    bool Create();
    // Always maximised; lays the view out and applies the status bar setting.
    void ActivateFrame();

    // The action of a command id; null for an unknown id.
    QAction* Action(unsigned command) const;
    // Carries out a command as its menu item would.
    void OnCommand(unsigned command);
    // Opens an address the way the link-open mode says, in the view.
    void OpenAddress(const std::string& address);
    // Appends a download request; nothing without a view.
    void QueueDownload(const std::string& address);

    CMyZELKView* GetActiveView() const { return m_view; }
    CLeftBar* LeftBar() const { return m_wndLeftBar; }
    CBannerPanel* BannerPanel() const { return m_wndBannerPanel; }
    QToolBar* ToolBar() const { return m_wndToolBar; }
    CFrameDownloads* Downloads() const { return m_downloads.get(); }
    CLinkDropTarget* DropTarget() const { return m_dropTarget; }

    QMenu* createPopupMenu() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Creation steps (main_frame.cpp).
    bool CreateToolBar();
    bool CreateBanner();
    void CreateStatusBar();
    bool CreateLeftBar();
    bool CreateView();
    bool StartDownloads();
    void CreateMenu();
    QAction* MakeAction(unsigned command, const char* text);
    void ApplyToolBar();
    void UpdateCommandUi();
    // Exit confirmation and worker shut-down.
    bool OnClose();

    // Command handlers (main_frame_commands.cpp).
    void OnToggleToolBar();
    void OnToolBarIconSize(bool big);
    void OnToggleStatusBar();
    void OnToggleLeftBar();
    void OnClearTempFolder();
    void OnLinkCommand(unsigned command);
    void OnOpenGivenLink();
    void OnGivenDownload();
    void OnReply();
    void OnLeftTabSelected(int tab);
    void OnLeftBarSelection();
    void OnOpenOfflineRecord(const QString& text);
    void OnSettings();
    void OnSignature();
    void OnSearchCommunity();
    void OnSearchDevelop();

    CMyZELKApp& m_app;
    QToolBar* m_wndToolBar = nullptr;
    QToolBar* m_wndReBar = nullptr;
    CBannerPanel* m_wndBannerPanel = nullptr;
    CLeftBar* m_wndLeftBar = nullptr;
    CLinkDropTarget* m_dropTarget = nullptr;
    CMyZELKView* m_view = nullptr;
    CEditTreeModel* m_roomTree = nullptr;
    std::map<unsigned, QAction*> m_actions;
    std::unique_ptr<CCookieStore> m_cookies;
    std::unique_ptr<CFrameDownloads> m_downloads;
    CCommunitySearchDlg* m_communitySearch = nullptr;
    CDevelopSearchDlg* m_developSearch = nullptr;
    bool m_closing = false;      // the exit question or the shut-down is running
    bool m_closePending = false; // asked while a call of the worker was running
    bool m_closed = false;
};
