// The main frame's single view: three report lists of offline records and
// the browser panel laid over each other in the same place, exactly one of
// them shown at a time. The main frame decides what is shown; the view
// offers the switching, fills and empties its lists, deletes selected
// records, opens addresses and hands browser commands to the panel.
#pragma once

#include <QFont>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class CAppConfig;
class CCommunityTable;
class CDevelopTable;
class CListFiller;
class CLQExploreManager;
class COfflineStore;
class CReportListCtrl;
class CTopicTable;
class QMenu;

// Command ids the view handles (the main frame's actions carry the same).
enum : int
{
    ID_RECORD_DELETE = 32778,
    ID_EXPLORE_REFRESH = 32779,
    ID_EXPLORE_BACK = 32780,
    ID_EXPLORE_FORWARD = 32781,
    ID_EXPLORE_STOP = 32782,
    ID_EXPLORE_CLOSE = 32804,
    ID_EXPLORE_DOWNLOAD = 32805,
};

// Link-open modes of the configuration.
enum : int
{
    kLinkOpenDefault = 0, // the system's handler
    kLinkOpenInside = 1,  // the browser panel
    kLinkOpenCustom = 2,  // the configured program
};

// The question asked before selected records are deleted.
inline constexpr const char* kDeleteQuestion = "确定要删除所选的记录吗？";

class CMyZELKView : public QWidget
{
    Q_OBJECT

public:
    // Creates the browser panel as a child of the view.
    explicit CMyZELKView(QWidget* parent = nullptr);
    // Ends the panel.
    ~CMyZELKView() override;
    CMyZELKView(const CMyZELKView&) = delete;
    CMyZELKView& operator=(const CMyZELKView&) = delete;

    // The store the lists come from and the settings of the link-open mode;
    // both stay owned by the caller and may be null (nothing is deleted and
    // mode 2 has no program then).
    void SetStore(COfflineStore* store) { m_store = store; }
    COfflineStore* Store() const { return m_store; }
    void SetConfig(const CAppConfig* config) { m_config = config; }
    const CAppConfig* Config() const { return m_config; }

    // Creates the lists (columns, styles, the 13-pixel font), hides them and
    // opens the welcome page (a local path) in the browser panel. Once.
    void OnInitialUpdate(const std::string& welcomePage);

    // Switching; each does nothing before the initial update.
    void ShowCommunityList();
    void ShowDevelopList();
    void ShowTopicList();
    void ShowBrowser();

    // True when the community or the develop list is visible (the topic list
    // does not count).
    bool IsListShown() const;
    bool IsCommunityListVisible() const;
    bool IsDevelopListVisible() const;
    bool IsTopicListVisible() const;
    bool IsBrowserVisible() const;

    // Empty one list (rows still waiting to be added are dropped).
    void ClearCommunityList();
    void ClearDevelopList();
    void ClearTopicList();
    // Append one row built from the current record of a table object. Rows
    // are added in batches on the event loop, so thousands of them never
    // hold the window; IsFilling() is true until the last one is in.
    void AddCommunityRow(CCommunityTable& row);
    void AddDevelopRow(CDevelopTable& row);
    // `key` is the page's row key; the list keeps it with the row.
    void AddTopicRow(CTopicTable& row, long key);
    bool IsFilling() const;

    // The key of the page in the topic list's row (0 when out of range).
    long TopicKeyOfRow(int row) const;

    // Opens a web address or a file by the link-open mode: 1 the browser
    // panel, 2 the configured program with the address as its one argument,
    // any other the system's default handler.
    void OpenAddress(const std::string& address, int mode);
    // The address of the browser panel's current page ("" with none).
    std::string GetCurrentAddress();

    // Places the panel and each list at (2, 2) over the client area.
    void LayoutChildren();

    CReportListCtrl* CommunityList() const { return m_communityList; }
    CReportListCtrl* DevelopList() const { return m_developList; }
    CReportListCtrl* TopicList() const { return m_topicList; }
    CLQExploreManager* Browser() const { return m_browser; }
    // Menu 137 ("删除(&D)") and menu 138 ("关闭(&C)", "下载(&D)").
    QMenu* RecordMenu() const { return m_recordMenu; }
    QMenu* BrowserMenu() const { return m_browserMenu; }

public Q_SLOTS:
    // 32778: deletes the selected records of the community or develop list,
    // after asking; the records first, then the rows from the last.
    void OnDeleteRecords();
    void OnGoBack();       // 32780
    void OnGoForward();    // 32781
    void OnRefresh();      // 32779
    void OnStop();         // 32782
    void OnClosePage();    // 32804: closes the panel's current page
    void OnDownloadPage(); // 32805: emits downloadRequested(current address)

Q_SIGNALS:
    // A list row was double-clicked or activated with Enter: the text of its
    // first column.
    void openRecordRequested(const QString& firstColumnText);
    // The browser menu's download command, with the current page's address.
    void downloadRequested(const QString& address);
    // A page of the browser panel finished loading (or failed to).
    void browserPageLoaded();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    bool HasChildren() const;
    void ShowOnly(QWidget* list);
    CReportListCtrl* MakeList(const char* columns);
    void ConnectList(CReportListCtrl* list);
    void ShowRecordMenu(CReportListCtrl* list, const QPoint& globalPos);
    void ShowBrowserMenu();
    void BuildMenus();
    static int ExploreCallback(QWidget* owner, int code);

    COfflineStore* m_store = nullptr;
    const CAppConfig* m_config = nullptr;
    CReportListCtrl* m_communityList = nullptr;
    CReportListCtrl* m_developList = nullptr;
    CReportListCtrl* m_topicList = nullptr;
    QFont m_listFont;
    CLQExploreManager* m_browser = nullptr;
    bool m_browserShown = false;
    std::unique_ptr<CListFiller> m_communityFiller;
    std::unique_ptr<CListFiller> m_developFiller;
    std::unique_ptr<CListFiller> m_topicFiller;
    QMenu* m_recordMenu = nullptr;
    QMenu* m_browserMenu = nullptr;
};
