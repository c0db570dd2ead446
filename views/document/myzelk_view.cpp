#include "views/document/myzelk_view.h"

#include "base/debug_log.h"
#include "base/file_helpers.h"
#include "base/host_mapping.h"
#include "config/app_config.h"
#include "outside/LQExploreManager/LQExploreManager.h"
#include "platform/message_box.h"
#include "store/offline_store.h"
#include "views/document/list_filler.h"
#include "views/document/record_cells.h"
#include "views/list/report_list_ctrl.h"

#include <QAction>
#include <QCursor>
#include <QDesktopServices>
#include <QMenu>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <set>

namespace
{
constexpr const char* kCaption = "MyZELK";
constexpr int kListFontPixels = 13;
constexpr int kAddressBuffer = 1024;
// The topic list keeps each page's row key in a hidden column after the
// visible ones.
constexpr int kTopicKeyColumn = 3;

QUrl AddressUrl(const std::string& address)
{
    const QString text = QString::fromStdString(address);
    // A local path: a file: address (a backslash or '#' is a name character).
    if (text.startsWith(QLatin1Char('/')))
        return QUrl::fromLocalFile(text);
    return QUrl(text, QUrl::TolerantMode);
}
} // namespace

CMyZELKView::CMyZELKView(QWidget* parent) : QWidget(parent)
{
    m_browser = CLQExploreManager::CreateInstance("LQExploreManager.dll", this);
    m_browser->SetOwner(this, &CMyZELKView::ExploreCallback);
    m_browserShown = true;
    BuildMenus();
}

CMyZELKView::~CMyZELKView()
{
    if (m_browser)
        m_browser->Release();
}

void CMyZELKView::BuildMenus()
{
    m_recordMenu = new QMenu(QStringLiteral("Community"), this);
    QAction* remove = m_recordMenu->addAction(QStringLiteral("删除(&D)"));
    remove->setData(ID_RECORD_DELETE);
    connect(remove, &QAction::triggered, this, &CMyZELKView::OnDeleteRecords);

    m_browserMenu = new QMenu(QStringLiteral("ExploreManager"), this);
    QAction* close = m_browserMenu->addAction(QStringLiteral("关闭(&C)"));
    close->setData(ID_EXPLORE_CLOSE);
    connect(close, &QAction::triggered, this, &CMyZELKView::OnClosePage);
    QAction* download = m_browserMenu->addAction(QStringLiteral("下载(&D)"));
    download->setData(ID_EXPLORE_DOWNLOAD);
    connect(download, &QAction::triggered, this, &CMyZELKView::OnDownloadPage);
}

int CMyZELKView::ExploreCallback(QWidget* owner, int code)
{
    auto* view = qobject_cast<CMyZELKView*>(owner);
    if (!view)
        return 0;
    // Out of the panel's own event handling before a menu opens.
    if (code == kExploreRightClick)
        QTimer::singleShot(0, view, &CMyZELKView::ShowBrowserMenu);
    else if (code == kExploreLoadFinished)
        Q_EMIT view->browserPageLoaded();
    return 1;
}

void CMyZELKView::OnInitialUpdate(const std::string& welcomePage)
{
    if (m_communityList)
        return;
    m_communityList = MakeList(kCommunityColumns);
    m_developList = MakeList(kDevelopColumns);
    m_topicList = MakeList((std::string(kTopicColumns) + ";key,0;").c_str());
    m_topicList->setColumnHidden(kTopicKeyColumn, true);
    m_topicList->setGeometry(2, 2, 200, 200);

    m_listFont = m_communityList->font();
    m_listFont.setPixelSize(kListFontPixels);
    for (CReportListCtrl* list : {m_communityList, m_developList, m_topicList})
    {
        list->setFont(m_listFont);
        list->hide();
    }
    m_communityFiller = std::make_unique<CListFiller>(m_communityList);
    m_developFiller = std::make_unique<CListFiller>(m_developList);
    m_topicFiller = std::make_unique<CListFiller>(m_topicList);

    LayoutChildren();
    if (!welcomePage.empty())
        m_browser->Navigate(AddressUrl(welcomePage).toString().toUtf8().constData(), 0, -1);
}

CReportListCtrl* CMyZELKView::MakeList(const char* columns)
{
    auto* list = new CReportListCtrl(this);
    list->Create(this, 0);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setShowGrid(true);
    list->InsertColumns(columns);
    ConnectList(list);
    return list;
}

void CMyZELKView::ConnectList(CReportListCtrl* list)
{
    connect(list, &CReportListCtrl::rowActivated, this,
            [this, list](int row)
            { Q_EMIT openRecordRequested(QString::fromStdString(list->GetItemText(row, 0))); });
    connect(list, &CReportListCtrl::contextMenuRequested, this,
            [this, list](const QPoint& pos) { ShowRecordMenu(list, pos); });
}

void CMyZELKView::ShowRecordMenu(CReportListCtrl* list, const QPoint& globalPos)
{
    std::vector<int> rows;
    if (!list->GetSelectedRows(rows))
        return;
    // Saved pages have no delete.
    m_recordMenu->actions().first()->setEnabled(list != m_topicList);
    m_recordMenu->popup(globalPos);
}

void CMyZELKView::ShowBrowserMenu()
{
    m_browserMenu->popup(QCursor::pos());
}

bool CMyZELKView::HasChildren() const
{
    return m_communityList && m_developList && m_topicList && m_browser;
}

void CMyZELKView::ShowOnly(QWidget* shown)
{
    // Callers check HasChildren() first.
    for (CReportListCtrl* list : {m_communityList, m_developList, m_topicList})
        if (list != nullptr)
            list->setVisible(list == shown);
    m_browserShown = shown == nullptr;
    m_browser->Show(m_browserShown ? 1 : 0);
}

void CMyZELKView::ShowCommunityList()
{
    if (!HasChildren())
        return;
    ShowOnly(m_communityList);
    m_communityList->viewport()->repaint();
}

void CMyZELKView::ShowDevelopList()
{
    if (HasChildren())
        ShowOnly(m_developList);
}

void CMyZELKView::ShowTopicList()
{
    if (HasChildren())
        ShowOnly(m_topicList);
}

void CMyZELKView::ShowBrowser()
{
    if (HasChildren())
        ShowOnly(nullptr);
}

bool CMyZELKView::IsListShown() const
{
    return IsCommunityListVisible() || IsDevelopListVisible();
}

// isVisibleTo: the view's own choice, whether or not its window is shown yet.
bool CMyZELKView::IsCommunityListVisible() const
{
    return m_communityList && m_communityList->isVisibleTo(this);
}

bool CMyZELKView::IsDevelopListVisible() const
{
    return m_developList && m_developList->isVisibleTo(this);
}

bool CMyZELKView::IsTopicListVisible() const
{
    return m_topicList && m_topicList->isVisibleTo(this);
}

bool CMyZELKView::IsBrowserVisible() const
{
    return m_browser && m_browserShown;
}

void CMyZELKView::ClearCommunityList()
{
    if (!m_communityList)
        return;
    m_communityFiller->Cancel();
    m_communityList->Clear();
    m_communityList->viewport()->update();
}

void CMyZELKView::ClearDevelopList()
{
    if (!m_developList)
        return;
    m_developFiller->Cancel();
    m_developList->Clear();
    m_developList->viewport()->update();
}

void CMyZELKView::ClearTopicList()
{
    if (!m_topicList)
        return;
    m_topicFiller->Cancel();
    m_topicList->Clear();
    m_topicList->viewport()->update();
}

void CMyZELKView::AddCommunityRow(CCommunityTable& row)
{
    if (m_communityFiller)
        m_communityFiller->Append(CommunityCells(row));
}

void CMyZELKView::AddDevelopRow(CDevelopTable& row)
{
    if (m_developFiller)
        m_developFiller->Append(DevelopCells(row));
}

void CMyZELKView::AddTopicRow(CTopicTable& row, long key)
{
    if (!m_topicFiller)
        return;
    std::vector<std::string> cells = TopicCells(row);
    cells.push_back(std::to_string(key));
    m_topicFiller->Append(std::move(cells));
}

bool CMyZELKView::IsFilling() const
{
    for (const auto* filler : {m_communityFiller.get(), m_developFiller.get(), m_topicFiller.get()})
        if (filler && filler->IsPending())
            return true;
    return false;
}

long CMyZELKView::TopicKeyOfRow(int row) const
{
    return m_topicList ? AtoiText(m_topicList->GetItemText(row, kTopicKeyColumn)) : 0;
}

void CMyZELKView::OpenAddress(const std::string& address, int mode)
{
    if (mode == kLinkOpenInside)
    {
        m_browser->Navigate(address.c_str(), 0, -1);
        return;
    }
    // Outside programs do not see the panel's host mapping: an address on a
    // built-in name that MYZELK_HOSTS replaces is handed over already mapped.
    const std::string outside = MapToOverrideHost(address, GetBuiltInHosts()).value_or(address);
    // The program or handler reports its own failures; one that cannot be
    // started at all is only logged.
    if (mode == kLinkOpenCustom)
    {
        const std::string program = m_config ? m_config->GetLinkOpenCustomPath() : std::string();
        const bool started =
            !program.empty() && QProcess::startDetached(QString::fromStdString(program),
                                                        {QString::fromStdString(outside)});
        if (!started)
            WriteDebugLog(
                ("OpenAddress: cannot start the link program \"" + program + "\"").c_str());
        return;
    }
    if (!QDesktopServices::openUrl(AddressUrl(outside)))
        WriteDebugLog(("OpenAddress: no handler opens " + outside).c_str());
}

std::string CMyZELKView::GetCurrentAddress()
{
    char buffer[kAddressBuffer] = {};
    QWidget* page = m_browser->GetCurrentPage(buffer);
    m_browser->EndQuery(page);
    return std::string(buffer);
}

void CMyZELKView::LayoutChildren()
{
    const int width = this->width() - 2;
    const int height = this->height() - 2;
    m_browser->Move(2, 2, width, height);
    for (CReportListCtrl* list : {m_communityList, m_developList, m_topicList})
        if (list)
            list->setGeometry(2, 2, width, height);
}

void CMyZELKView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutChildren();
}

void CMyZELKView::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    LayoutChildren();
}

void CMyZELKView::OnDeleteRecords()
{
    CReportListCtrl* list = nullptr;
    CListFiller* filler = nullptr;
    OfflineTable table = OfflineTable::Community;
    if (IsCommunityListVisible())
    {
        list = m_communityList;
        filler = m_communityFiller.get();
        table = OfflineTable::Community;
    }
    else if (IsDevelopListVisible())
    {
        list = m_developList;
        filler = m_developFiller.get();
        table = OfflineTable::Develop;
    }
    else
        return;

    std::vector<int> rows;
    if (!list->GetSelectedRows(rows))
        return;
    // The numbers are taken before asking: the list can be refilled while
    // the question is on screen, and what goes is what the user selected.
    std::set<long> ids;
    for (int row : rows)
        ids.insert(AtoiText(list->GetItemText(row, 0)));
    if (PlatformMessageBox(kDeleteQuestion, kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;

    // Records first; a row stays when its record could not be deleted, so
    // the list never claims a deletion that did not happen.
    std::set<long> deleted;
    for (long id : ids)
        if (m_store && m_store->DeleteRecordById(table, id))
            deleted.insert(id);
    const auto isDeleted = [&deleted](const std::string& number)
    { return deleted.count(AtoiText(number)) != 0; };
    for (int row = list->GetItemCount() - 1; row >= 0; --row)
        if (isDeleted(list->GetItemText(row, 0)))
            list->DeleteRow(row);
    filler->DropPending([&isDeleted](const std::vector<std::string>& cells)
                        { return !cells.empty() && isDeleted(cells[0]); });
    if (deleted.size() < ids.size())
        PlatformMessageBox("有 " + std::to_string(ids.size() - deleted.size()) +
                               " 条记录未能删除（详见 debug.txt）。",
                           kCaption, MB_OK | MB_ICONWARNING);
}

void CMyZELKView::OnGoBack()
{
    m_browser->GoBack();
}

void CMyZELKView::OnGoForward()
{
    m_browser->GoForward();
}

void CMyZELKView::OnRefresh()
{
    m_browser->Refresh();
}

void CMyZELKView::OnStop()
{
    m_browser->Stop();
}

void CMyZELKView::OnClosePage()
{
    m_browser->ClosePage(m_browser->GetCurrentPage(nullptr));
}

void CMyZELKView::OnDownloadPage()
{
    const std::string address = GetCurrentAddress();
    if (!address.empty())
        Q_EMIT downloadRequested(QString::fromStdString(address));
}
