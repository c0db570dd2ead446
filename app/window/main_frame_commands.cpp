// The command handlers of the main frame: toggles, navigation, downloads,
// the left bar's notifications and the dialogs.
#include "acquire/url_classify.h"
#include "app/dialogs/input_dlg.h"
#include "app/dialogs/reply_dlg.h"
#include "app/dialogs/search_dlg.h"
#include "app/dialogs/settings_dlg.h"
#include "app/dialogs/sign_dlg.h"
#include "app/window/command_table.h"
#include "app/window/frame_downloads.h"
#include "app/window/left_bar.h"
#include "app/window/main_frame.h"
#include "app/window/myzelk_app.h"
#include "base/builtin_hosts.h"
#include "base/debug_log.h"
#include "base/file_helpers.h"
#include "base/host_mapping.h"
#include "platform/net/cookie_store.h"
#include "reply/reply_poster.h"
#include "tree/edit_tree_model.h"
#include "views/document/myzelk_view.h"
#include "views/document/offline_commands.h"

#include <QAction>
#include <QStatusBar>
#include <QToolBar>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>

void CMainFrame::OnCommand(unsigned command)
{
    switch (command)
    {
    case kCmdSettings:
        OnSettings();
        break;
    case kCmdSignature:
        OnSignature();
        break;
    case kCmdClearTempFolder:
        OnClearTempFolder();
        break;
    case kCmdAppExit:
        close();
        break;
    case kCmdBack:
        if (m_view)
            m_view->OnGoBack();
        break;
    case kCmdForward:
        if (m_view)
            m_view->OnGoForward();
        break;
    case kCmdRefresh:
        if (m_view)
            m_view->OnRefresh();
        break;
    case kCmdStop:
        if (m_view)
            m_view->OnStop();
        break;
    case kCmdToolBarShow:
        OnToggleToolBar();
        break;
    case kCmdToolBarBigIcons:
    case kCmdToolBarSmallIcons:
        OnToolBarIconSize(command == kCmdToolBarBigIcons);
        break;
    case kCmdStatusBar:
        OnToggleStatusBar();
        break;
    case kCmdLeftBar:
        OnToggleLeftBar();
        break;
    case kCmdSearchCommunity:
        OnSearchCommunity();
        break;
    case kCmdSearchDevelop:
        OnSearchDevelop();
        break;
    case kCmdReply:
        OnReply();
        break;
    case kCmdForumSearch:
    case kCmdFullTextSearch:
    case kCmdCommunitySite:
    case kCmdDevelopSite:
        OnLinkCommand(command);
        break;
    case kCmdOpenGivenLink:
        OnOpenGivenLink();
        break;
    case kCmdGivenDownload:
        OnGivenDownload();
        break;
    case kCmdHelp:
        m_app.Launches().OpenHelp();
        break;
    case kCmdSponsor:
        m_app.Launches().ShowSponsorPage();
        break;
    case kCmdCheckUpdate:
        m_app.Launches().CheckForUpdate(0);
        break;
    case kCmdHomePage:
        m_app.Launches().OpenHomePage();
        break;
    case kCmdFeedback:
        m_app.Launches().SendFeedback();
        break;
    default:
        break;
    }
    UpdateCommandUi();
}

void CMainFrame::OnToggleToolBar()
{
    const bool show = m_wndToolBar->isHidden();
    m_app.Config().SetIsShowToolBar(show ? 1 : 0);
    m_wndToolBar->setVisible(show);
}

void CMainFrame::OnToolBarIconSize(bool big)
{
    m_app.Config().SetToolBarIsBigIcon(big ? 1 : 0);
    ApplyToolBar();
}

void CMainFrame::OnToggleStatusBar()
{
    const bool show = statusBar()->isHidden();
    m_app.Config().SetIsShowStatusBar(show ? 1 : 0);
    statusBar()->setVisible(show);
}

void CMainFrame::OnToggleLeftBar()
{
    m_wndLeftBar->setVisible(m_wndLeftBar->isHidden());
}

namespace
{

int DeleteFileInWalk(const WalkEntry& entry)
{
    if (!entry.isFolder && entry.findData)
    {
        // Files that cannot be deleted are skipped.
        const std::string path = std::string(entry.folderPath) + "/" + entry.findData->cFileName;
        std::remove(path.c_str());
    }
    return 1;
}

} // namespace

void CMainFrame::OnClearTempFolder()
{
    if (m_app.DoMessageBox(
            "此操作会释放磁盘空间，但也会降低访问离线数据的速度，是否仍然要执行删除？",
            MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    WalkOptions options;
    options.filter = "*.*";
    options.folderFirst = false;
    WalkFolder(m_app.Paths().m_szTempDir, options, DeleteFileInWalk);
}

void CMainFrame::OpenAddress(const std::string& address)
{
    if (!m_view)
        return;
    m_view->ShowBrowser();
    // The menu forms the service's addresses without a scheme, which the
    // system's handler or another program would take for a file name.
    m_view->OpenAddress(WithWebScheme(address), m_app.Config().GetLinkOpenMode());
}

void CMainFrame::OnLinkCommand(unsigned command)
{
    if (SelectsOnlineTab(command))
        m_wndLeftBar->SelectTab(kOnlineTab);
    OpenAddress(LinkCommandAddress(command, m_app.Config()));
}

void CMainFrame::OnOpenGivenLink()
{
    CInputDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        OpenAddress(dialog.m_strInput.toStdString());
}

void CMainFrame::OnGivenDownload()
{
    CInputDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        QueueDownload(dialog.m_strInput.toStdString());
}

void CMainFrame::QueueDownload(const std::string& address)
{
    if (!m_view || !m_downloads)
        return;
    m_downloads->QueueDownload(address);
}

void CMainFrame::OnReply()
{
    const std::string address = m_view ? m_view->GetCurrentAddress() : std::string();
    const int topicId = ParseTopicId(address, m_app.Config().GetHostForCommunity());
    if (topicId < 1)
    {
        m_app.DoMessageBox("当前的URL:" + address + "不提供回复功能。", MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::string resultPath = std::string(m_app.Paths().m_szTempDir) + "/ReplyResult.htm";
    if (!m_cookies)
        m_cookies = std::make_unique<CCookieStore>(BrowserCookieFile(m_app.Paths().m_szDataDir));
    CReplySettings settings;
    settings.communityHost = m_app.Config().GetHostForCommunity();
    settings.headerHost = GetBuiltInHosts().community;
    settings.cookies = m_cookies.get();
    // Written by the dialog's posting thread, read once it has ended.
    auto last = std::make_shared<CReplyOutcome>();
    CReplyDialog dialog(
        topicId, m_app.Config().GetUserSign(),
        [settings, resultPath, last](int id, const std::string& text)
        {
            try
            {
                *last = PostReply(id, text, resultPath, settings);
            }
            catch (const std::exception& e)
            {
                *last = CReplyOutcome();
                last->error = e.what();
            }
            if (!last->error.empty())
                WriteDebugLog(
                    ("Reply to topic " + std::to_string(id) + ": " + last->error).c_str());
            return last->accepted;
        },
        this);
    dialog.exec();
    switch (dialog.NextStep())
    {
    case CReplyDialog::Next::RefreshTopic:
        m_view->OnRefresh();
        break;
    case CReplyDialog::Next::ShowAnswer:
        // An earlier attempt's answer would mislead: without one of its own
        // the reason is all there is to show.
        if (last->written)
            OpenAddress(resultPath);
        else
            m_app.DoMessageBox("未能回复: " + last->error, MB_OK | MB_ICONWARNING);
        break;
    case CReplyDialog::Next::Nothing:
        break;
    }
}

void CMainFrame::OnLeftTabSelected(int tab)
{
    if (!m_view)
        return;
    if (tab == kOfflineTab)
    {
        if (!m_view->IsListShown())
            m_view->ShowCommunityList();
    }
    else if (tab == kOnlineTab)
    {
        m_view->ShowBrowser();
    }
}

void CMainFrame::OnLeftBarSelection()
{
    if (!m_view)
        return;
    if (m_wndLeftBar->CurrentTab() == kOnlineTab)
    {
        const std::string address = m_wndLeftBar->SelectedOnlineAddress();
        if (!address.empty())
            OpenAddress(address);
        return;
    }
    CEditTreeItem* item = m_roomTree ? m_roomTree->GetSelectedItem() : nullptr;
    if (!item)
        return;
    std::optional<std::string> parentText;
    if (CEditTreeItem* parent = item->GetParent())
        parentText = parent->GetText();
    ShowRoomRecords(*m_view, item->GetText(), parentText, m_roomTree->GetNodeId(item));
}

void CMainFrame::OnOpenOfflineRecord(const QString& text)
{
    OpenOfflineRecord(m_view, 1, text.toStdString());
}

void CMainFrame::OnSettings()
{
    CSettingsDlg dialog(m_app.Config(), this);
    dialog.exec();
}

void CMainFrame::OnSignature()
{
    CSignDlg dialog(m_app.Config(), this);
    dialog.exec();
}

void CMainFrame::OnSearchCommunity()
{
    if (!m_communitySearch)
    {
        m_communitySearch = new CCommunitySearchDlg(this);
        connect(m_communitySearch, &CSearchDlg::searchRequested, this,
                [this](const QString& fragment)
                {
                    if (m_view)
                        SearchCommunity(*m_view, fragment.toStdString());
                });
    }
    m_communitySearch->show();
    m_communitySearch->raise();
    m_communitySearch->activateWindow();
}

void CMainFrame::OnSearchDevelop()
{
    if (!m_developSearch)
    {
        m_developSearch = new CDevelopSearchDlg(this);
        connect(m_developSearch, &CSearchDlg::searchRequested, this,
                [this](const QString& fragment)
                {
                    if (m_view)
                        SearchDevelop(*m_view, fragment.toStdString());
                });
    }
    m_developSearch->show();
    m_developSearch->raise();
    m_developSearch->activateWindow();
}
