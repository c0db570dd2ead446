// The left bar ("LeftBar", 123): a dock with a tab control (125) holding the
// off-line room tree ("离线") and the on-line category list ("在线"). Its
// size and place are kept in the profile across runs; whether it is shown
// is not.
#pragma once

#include <QDockWidget>

#include <string>

class CCategoryTreeCtrl;
class CEditTreeCtrl;
class CEditTreeModel;
class CEditTreeItem;
class QMainWindow;
class QSettings;
class QTabWidget;
struct CAppPaths;

constexpr int kLeftBarId = 123;
constexpr int kLeftTabId = 125;
constexpr int kOfflineTab = 0;
constexpr int kOnlineTab = 1;
// The profile section of the bar: "%s-SCBar-%d" with this name and the id.
constexpr const char* kBarStateProfile = "BarState";

class CLeftBar : public QDockWidget
{
    Q_OBJECT
public:
    explicit CLeftBar(QWidget* parent = nullptr);

    // The tab control, the room tree loaded from its file (`roomTree` then
    // points at its model) and the on-line list; selects the on-line tab.
    // False with `error` ("缺少文件 : <path>") when the room tree cannot be
    // read.
    bool Create(CEditTreeModel*& roomTree, const CAppPaths& paths, std::string* error);

    int CurrentTab() const;
    void SelectTab(int tab);
    QTabWidget* TabControl() const { return m_tabs; }
    CEditTreeCtrl* OfflineTree() const { return m_offlineTree; }
    CCategoryTreeCtrl* OnlineList() const { return m_onlineList; }

    // The address of the on-line list's selected entry; empty for none.
    std::string SelectedOnlineAddress() const;

    static QString ProfileSection();
    void SaveState(QSettings& profile, const QMainWindow& frame) const;
    // Docks the bar where it was last time (at the left the first time).
    void LoadState(QSettings& profile, QMainWindow& frame);

signals:
    // The tab control reports the selected tab (2024).
    void tabSelected(int tab);
    // One of the trees has a new selection (ETN_SELCHANGED).
    void selectionChanged();

private:
    void ExpandInitialItems(CEditTreeCtrl* offline);
    // Commands of the room tree's context menu.
    void OnRoomTreeCommand(unsigned command);

    QTabWidget* m_tabs = nullptr;
    CEditTreeCtrl* m_offlineTree = nullptr;
    CCategoryTreeCtrl* m_onlineList = nullptr;
};
