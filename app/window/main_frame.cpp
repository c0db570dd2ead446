#include "app/window/main_frame.h"

#include "app/window/banner_panel.h"
#include "app/window/command_table.h"
#include "app/window/frame_downloads.h"
#include "app/window/left_bar.h"
#include "app/window/myzelk_app.h"
#include "app/window/transient_notice.h"
#include "app/window/ui_thread_bridge.h"
#include "base/debug_log.h"
#include "platform/net/cookie_store.h"
#include "views/document/myzelk_view.h"
#include "views/html_ctrl.h"
#include "widgets/look/dock_title_bar.h"
#include "widgets/look/image_strip.h"
#include "widgets/look/menu_icons.h"
#include "widgets/look/toolbar_images.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace
{

// Identifiers of the framework's bars, as object names.
constexpr const char* kToolBarId = "59392";
constexpr const char* kStatusBarId = "59393";
constexpr const char* kReBarId = "59420";
constexpr int kBannerLoadDelayMs = 2000;

QLabel* MakeIndicator(QWidget* parent, const char* name, const char* text)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setEnabled(false); // the lock states are not known here
    return label;
}

} // namespace

CMainFrame::CMainFrame(CMyZELKApp& app) : m_app(app) {}

CMainFrame::~CMainFrame()
{
    // The worker uses the view's store and the room tree: stop it first.
    if (m_downloads)
        m_downloads->Stop();
    m_downloads.reset();
    // A frame destroyed while shown hides its children on the way out; their
    // signals must not reach handlers whose members are gone by then.
    for (QObject* child : {static_cast<QObject*>(m_wndLeftBar), static_cast<QObject*>(m_view),
                           static_cast<QObject*>(m_wndBannerPanel)})
        if (child)
            child->disconnect(this);
}

QAction* CMainFrame::MakeAction(unsigned command, const char* text)
{
    auto found = m_actions.find(command);
    QAction* action = found != m_actions.end() ? found->second : nullptr;
    if (!action)
    {
        action = new QAction(QString::fromUtf8(text), this);
        action->setObjectName(QString::number(command));
        action->setData(command);
        if (const char* tip = ToolBarTooltip(command))
            action->setToolTip(QString::fromUtf8(tip));
        connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
        m_actions[command] = action;
    }
    return action;
}

// The window offers no menu of its own for hiding bars: the toolbar's
// visibility is a setting, and the banner carries the drop target.
QMenu* CMainFrame::createPopupMenu()
{
    return nullptr;
}

QAction* CMainFrame::Action(unsigned command) const
{
    auto found = m_actions.find(command);
    return found != m_actions.end() ? found->second : nullptr;
}

bool CMainFrame::Create()
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowIcon(QIcon(QString::fromLatin1(kProgramIcon)));
    setDockOptions(dockOptions() | QMainWindow::AllowNestedDocks);
    CreateMenu();
    if (!CreateToolBar() || !CreateBanner())
        return false;
    CreateStatusBar();
    if (!CreateLeftBar() || !CreateView() || !StartDownloads())
        return false;
    ApplyToolbarMenuIcons(menuBar()->actions());
    // The reply command's accelerator.
    Action(kCmdReply)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Action(kCmdReply)->setShortcutContext(Qt::WindowShortcut);
    UpdateCommandUi();
    return true;
}

void CMainFrame::CreateMenu()
{
    QMenu* top = nullptr;
    QMenu* sub = nullptr;
    for (size_t i = 0; i < kMainMenuCount; ++i)
    {
        const MenuEntry& entry = kMainMenu[i];
        if (entry.level == 0)
        {
            top = menuBar()->addMenu(QString::fromUtf8(entry.text));
            connect(top, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
            continue;
        }
        QMenu* into = entry.level == 2 ? sub : top;
        if (!into)
            continue; // an item before any menu holds it
        if (!entry.text)
            into->addSeparator();
        else if (entry.level == 1 && entry.command == 0)
            sub = top->addMenu(QString::fromUtf8(entry.text));
        else
            into->addAction(MakeAction(entry.command, entry.text));
    }
    for (unsigned command : {kCmdToolBarShow, kCmdStatusBar, kCmdLeftBar})
        Action(command)->setCheckable(true);
    auto* iconSizes = new QActionGroup(this);
    for (unsigned command : {kCmdToolBarBigIcons, kCmdToolBarSmallIcons})
    {
        Action(command)->setCheckable(true);
        iconSizes->addAction(Action(command));
    }
}

bool CMainFrame::CreateToolBar()
{
    m_wndToolBar = new QToolBar(this);
    m_wndToolBar->setObjectName(QString::fromLatin1(kToolBarId));
    m_wndToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const QList<QPixmap> big = LoadImageStrip(QString::fromLatin1(kToolbarStrip), 32);
    const QList<QPixmap> small = LoadImageStrip(QString::fromLatin1(kSmallToolbarStrip), 16);
    for (const ToolBarButton& button : kToolBarButtons)
    {
        if (button.command == 0)
        {
            m_wndToolBar->addSeparator();
            continue;
        }
        QAction* action = MakeAction(button.command, button.tooltip);
        const int image = ToolbarImageIndex(button.command);
        QIcon icon;
        if (image >= 0 && image < big.size())
            icon.addPixmap(big.at(image));
        if (image >= 0 && image < small.size())
            icon.addPixmap(small.at(image));
        action->setIcon(icon);
        m_wndToolBar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
    ApplyToolBar();
    return true;
}

// The icon size and visibility the configuration holds.
void CMainFrame::ApplyToolBar()
{
    const bool big = m_app.Config().GetToolBarIsBigIcon() != 0;
    const int image = big ? 32 : 16;
    const int button = big ? 40 : 24;
    m_wndToolBar->setIconSize(QSize(image, image));
    for (QAction* action : m_wndToolBar->actions())
        if (QWidget* widget = m_wndToolBar->widgetForAction(action))
            if (qobject_cast<QToolButton*>(widget))
                widget->setFixedSize(button, button);
    m_wndToolBar->setVisible(m_app.Config().GetIsShowToolBar() != 0);
}

bool CMainFrame::CreateBanner()
{
    m_wndReBar = new QToolBar(this);
    m_wndReBar->setObjectName(QString::fromLatin1(kReBarId));
    m_wndBannerPanel = new CBannerPanel(m_wndReBar);
    m_wndBannerPanel->OnInitDialog(AdvertisementPageAddress(m_app.Config().GetHostForCommunity()));
    m_wndReBar->addWidget(m_wndBannerPanel);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_wndReBar);
    connect(m_wndBannerPanel, &CBannerPanel::commandRequested, this, &CMainFrame::OnCommand);

    m_dropTarget = new CLinkDropTarget(this);
    if (!m_dropTarget->Register(m_wndBannerPanel))
    {
        WriteDebugLog("unregister drop object.");
        return false;
    }
    // Queued, as the dropped link was posted to the window.
    m_dropTarget->SetCallback(
        [this](const std::string& address)
        { QTimer::singleShot(0, this, [this, address] { QueueDownload(address); }); });
    m_wndReBar->show();
    return true;
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QString::fromLatin1(kStatusBarId));
    bar->addPermanentWidget(MakeIndicator(bar, "ID_INDICATOR_CAPS", "CAP"));
    bar->addPermanentWidget(MakeIndicator(bar, "ID_INDICATOR_NUM", "NUM"));
    bar->addPermanentWidget(MakeIndicator(bar, "ID_INDICATOR_SCRL", "SCRL"));
    bar->hide();
}

bool CMainFrame::CreateLeftBar()
{
    m_wndLeftBar = new CLeftBar(this);
    InstallDockTitleBar(m_wndLeftBar);
    std::string error;
    if (!m_wndLeftBar->Create(m_roomTree, m_app.Paths(), &error))
    {
        m_app.DoMessageBox(error, MB_OK | MB_ICONWARNING);
        return false;
    }
    m_wndLeftBar->LoadState(m_app.Profile(), *this);
    connect(m_wndLeftBar, &CLeftBar::tabSelected, this, &CMainFrame::OnLeftTabSelected);
    connect(m_wndLeftBar, &CLeftBar::selectionChanged, this, &CMainFrame::OnLeftBarSelection);
    connect(m_wndLeftBar, &QDockWidget::visibilityChanged, this, &CMainFrame::UpdateCommandUi);
    return true;
}

bool CMainFrame::CreateView()
{
    m_view = new CMyZELKView(this);
    m_view->SetStore(m_app.Store());
    m_view->SetConfig(&m_app.Config());
    setCentralWidget(m_view);
    m_view->OnInitialUpdate(m_app.Paths().m_szWelcomePage);
    connect(m_view, &CMyZELKView::openRecordRequested, this, &CMainFrame::OnOpenOfflineRecord);
    // The banner is second to the welcome page: its page process starts once
    // the panel's first page is in, or after a short wait when that is slow.
    if (m_wndBannerPanel)
    {
        connect(m_view, &CMyZELKView::browserPageLoaded, m_wndBannerPanel, &CBannerPanel::LoadPage,
                Qt::SingleShotConnection);
        QTimer::singleShot(kBannerLoadDelayMs, m_wndBannerPanel, &CBannerPanel::LoadPage);
    }
    connect(m_view, &CMyZELKView::downloadRequested, this,
            [this](const QString& address) { QueueDownload(address.toStdString()); });
    return true;
}

bool CMainFrame::StartDownloads()
{
    CDownloadWindowCalls calls;
    calls.statusText = [this](const std::string& text)
    { statusBar()->showMessage(QString::fromStdString(text)); };
    calls.notice = [this](const std::string& text)
    { CTransientNotice::Show(QString::fromStdString(text), this); };
    calls.errorBox = [this](const std::string& text)
    { m_app.DoMessageBox(text, MB_OK | MB_ICONERROR); };
    // Downloads carry the browser panel's cookies (a sign-in).
    m_cookies = std::make_unique<CCookieStore>(BrowserCookieFile(m_app.Paths().m_szDataDir));
    ArchiveOptions options;
    options.fetch.cookies = m_cookies.get();
    // What went into a saved page's archive (told on the worker's thread; a
    // page that failed says so through the importer).
    options.onFinished = [this](const ArchiveResult& result)
    {
        if (!result.ok)
            return;
        QString text = QStringLiteral("网页已保存，共 %1 个资源").arg(result.savedCount);
        if (!result.missing.empty())
            text += QStringLiteral("，%1 个未能下载").arg(result.missing.size());
        QMetaObject::invokeMethod(
            this, [this, text] { statusBar()->showMessage(text); }, Qt::QueuedConnection);
    };
    m_downloads = std::make_unique<CFrameDownloads>(*m_app.Store(), m_app.Paths(), m_app.Config(),
                                                    *m_roomTree, m_app.Bridge(), calls, options);
    // A close asked for while the worker's box is up is carried out after it.
    connect(&m_app.Bridge(), &CUiThreadBridge::idle, this,
            [this]
            {
                if (m_closePending)
                    QTimer::singleShot(0, this, &QWidget::close);
            });
    return m_downloads->Start();
}

void CMainFrame::ActivateFrame()
{
    // The bars are set before the window shows, so the first paint is the
    // last layout. Without a window manager a maximised state alone sizes
    // nothing.
    statusBar()->setVisible(m_app.Config().GetIsShowStatusBar() != 0);
    if (QScreen* screen = this->screen())
        setGeometry(screen->availableGeometry());
    showMaximized();
    activateWindow();
    if (m_view)
        m_view->LayoutChildren();
    UpdateCommandUi();
}

void CMainFrame::UpdateCommandUi()
{
    if (m_actions.empty() || !m_wndToolBar)
        return;
    CAppConfig& config = m_app.Config();
    Action(kCmdToolBarShow)->setChecked(config.GetIsShowToolBar() != 0);
    const bool big = config.GetToolBarIsBigIcon() != 0;
    Action(kCmdToolBarBigIcons)->setChecked(big);
    Action(kCmdToolBarSmallIcons)->setChecked(!big);
    Action(kCmdStatusBar)->setChecked(config.GetIsShowStatusBar() != 0);
    Action(kCmdLeftBar)->setChecked(m_wndLeftBar && !m_wndLeftBar->isHidden());
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (OnClose())
        event->accept();
    else
        event->ignore();
}

bool CMainFrame::OnClose()
{
    if (m_closed)
        return true;
    if (m_closing)
        return false;
    // Inside a call of the worker (its box is up) the worker cannot be
    // stopped; close once that call is over.
    if (m_app.Bridge().Busy())
    {
        m_closePending = true;
        return false;
    }
    m_closePending = false;
    m_closing = true;
    const bool close = !m_downloads ||
                       m_downloads->ConfirmExit(
                           [this](size_t waiting)
                           {
                               const std::string text = "还有" + std::to_string(waiting) +
                                                        "个文件正在下载，确定要退出吗？";
                               return m_app.DoMessageBox(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
                           });
    if (!close)
    {
        m_closing = false;
        return false;
    }
    m_dropTarget->Revoke();
    m_app.Bridge().SetClosing(true);
    if (m_downloads)
        m_downloads->Stop();
    m_wndLeftBar->SaveState(m_app.Profile(), *this);
    m_closed = true;
    return true;
}
