#include "app/window/left_bar.h"

#include "acquire/import_common.h"
#include "app/startup/room_tree_setup.h"
#include "base/app_paths.h"
#include "outside/LQRes/LQRes.h"
#include "widgets/look/image_strip.h"
#include "widgets/tree/category_tree_ctrl.h"
#include "widgets/tree/edit_tree_ctrl.h"

#include <QMainWindow>
#include <QSettings>
#include <QTabWidget>

namespace
{

constexpr int kTreeId = 100;
constexpr QSize kDefaultSize{225, 260};

QString AreaName(Qt::DockWidgetArea area)
{
    switch (area)
    {
    case Qt::RightDockWidgetArea:
        return QStringLiteral("right");
    case Qt::TopDockWidgetArea:
        return QStringLiteral("top");
    case Qt::BottomDockWidgetArea:
        return QStringLiteral("bottom");
    default:
        return QStringLiteral("left");
    }
}

Qt::DockWidgetArea AreaFromName(const QString& name)
{
    if (name == QLatin1String("right"))
        return Qt::RightDockWidgetArea;
    if (name == QLatin1String("top"))
        return Qt::TopDockWidgetArea;
    if (name == QLatin1String("bottom"))
        return Qt::BottomDockWidgetArea;
    return Qt::LeftDockWidgetArea;
}

QSize ReadSize(const QSettings& profile, const char* cx, const char* cy)
{
    return QSize(profile.value(QLatin1String(cx), -1).toInt(),
                 profile.value(QLatin1String(cy), -1).toInt());
}

} // namespace

CLeftBar::CLeftBar(QWidget* parent) : QDockWidget(QStringLiteral("LeftBar"), parent)
{
    setObjectName(QStringLiteral("LeftBar"));
    setProperty("id", kLeftBarId);
    setAllowedAreas(Qt::AllDockWidgetAreas);
}

bool CLeftBar::Create(CEditTreeModel*& roomTree, const CAppPaths& paths, std::string* error)
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QString::number(kLeftTabId));
    m_tabs->setTabPosition(QTabWidget::South);
    setWidget(m_tabs);

    auto* offline = new CEditTreeCtrl(m_tabs);
    offline->setObjectName(QString::number(kTreeId));
    offline->SetMenuChoice(1);
    offline->EnableRename(false);
    offline->EnableDrag(false);
    offline->EnableOwnMenu(true);
    offline->CreateImageList(LoadImageStrip(QString::fromLatin1(kTreeStrip), 16));
    offline->SetFolderImages(kRoomTreeFolderImage, kRoomTreeFolderImage);
    offline->SetLeafImages(kRoomTreeLeafImage, kRoomTreeLeafImage);
    m_offlineTree = offline;
    if (!OpenRoomTree(offline->GetModel(), paths, error))
        return false;
    roomTree = &offline->GetModel();
    connect(offline, &CEditTreeCtrl::SelChanged, this, [this] { emit selectionChanged(); });
    connect(offline, &CEditTreeCtrl::CommandChosen, this, &CLeftBar::OnRoomTreeCommand);

    // A list that cannot be read stays empty.
    m_onlineList = new CCategoryTreeCtrl(m_tabs);
    m_onlineList->setObjectName(QString::number(kTreeId));
    m_onlineList->CreateImageList(LoadImageStrip(QString::fromLatin1(kTreeStrip), 16));
    m_onlineList->LoadCategories(paths.m_szOnlineList);

    m_tabs->addTab(m_offlineTree, QStringLiteral("离线"));
    m_tabs->addTab(m_onlineList, QStringLiteral("在线"));
    m_tabs->setCurrentIndex(kOnlineTab);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CLeftBar::tabSelected);

    ExpandInitialItems(offline);
    m_onlineList->ShowFirstEntry();
    connect(m_onlineList, &CCategoryTreeCtrl::AddressChosen, this,
            [this] { emit selectionChanged(); });
    resize(kDefaultSize);
    return true;
}

void CLeftBar::ExpandInitialItems(CEditTreeCtrl* offline)
{
    CEditTreeModel& model = offline->GetModel();
    CEditTreeItem* root = model.GetRootItem();
    if (!root)
        return;
    offline->expand(offline->IndexFromItem(root));
    for (const char* text : {kCommunityNodeText, kDevelopNodeText})
        if (CEditTreeItem* item = model.FindChildByText(root, text))
            offline->expand(offline->IndexFromItem(item));
}

std::string CLeftBar::SelectedOnlineAddress() const
{
    return m_onlineList->GetItemAddress(m_onlineList->currentItem()).toStdString();
}

void CLeftBar::OnRoomTreeCommand(unsigned command)
{
    CEditTreeCtrl* tree = m_offlineTree;
    const QModelIndex current = tree->currentIndex();
    switch (command)
    {
    case ID_TREE_LIST_RECORDS:
        emit selectionChanged();
        break;
    case ID_TREE_EXPAND_ITEM:
        if (current.isValid())
            tree->expandRecursively(current);
        break;
    case ID_TREE_COLLAPSE_ITEM:
        if (current.isValid())
            tree->collapse(current);
        break;
    case ID_TREE_EXPAND_ALL:
        tree->expandAll();
        break;
    case ID_TREE_COLLAPSE_ALL:
        tree->collapseAll();
        break;
    default:
        break;
    }
}

int CLeftBar::CurrentTab() const
{
    return m_tabs ? m_tabs->currentIndex() : -1;
}

void CLeftBar::SelectTab(int tab)
{
    if (m_tabs)
        m_tabs->setCurrentIndex(tab);
}

QString CLeftBar::ProfileSection()
{
    return QStringLiteral("%1-SCBar-%2").arg(QLatin1String(kBarStateProfile)).arg(kLeftBarId);
}

void CLeftBar::SaveState(QSettings& profile, const QMainWindow& frame) const
{
    profile.beginGroup(ProfileSection());
    const Qt::DockWidgetArea area = frame.dockWidgetArea(const_cast<CLeftBar*>(this));
    profile.setValue(QStringLiteral("DockArea"), AreaName(area));
    profile.setValue(QStringLiteral("Floating"), isFloating());
    const QSize size = this->size();
    if (isFloating())
    {
        profile.setValue(QStringLiteral("sizeFloatCX"), size.width());
        profile.setValue(QStringLiteral("sizeFloatCY"), size.height());
        profile.setValue(QStringLiteral("FloatPos"), pos());
    }
    else if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea)
    {
        profile.setValue(QStringLiteral("sizeHorzCX"), size.width());
        profile.setValue(QStringLiteral("sizeHorzCY"), size.height());
    }
    else
    {
        profile.setValue(QStringLiteral("sizeVertCX"), size.width());
        profile.setValue(QStringLiteral("sizeVertCY"), size.height());
    }
    profile.endGroup();
}

void CLeftBar::LoadState(QSettings& profile, QMainWindow& frame)
{
    profile.beginGroup(ProfileSection());
    const Qt::DockWidgetArea area =
        AreaFromName(profile.value(QStringLiteral("DockArea")).toString());
    const bool floating = profile.value(QStringLiteral("Floating"), false).toBool();
    const bool horizontal = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
    const QSize docked = horizontal ? ReadSize(profile, "sizeHorzCX", "sizeHorzCY")
                                    : ReadSize(profile, "sizeVertCX", "sizeVertCY");
    const QSize floated = ReadSize(profile, "sizeFloatCX", "sizeFloatCY");
    const QVariant floatPos = profile.value(QStringLiteral("FloatPos"));
    profile.endGroup();

    frame.addDockWidget(area, this);
    if (floating)
    {
        setFloating(true);
        if (floated.isValid())
            resize(floated);
        if (floatPos.isValid())
            move(floatPos.toPoint());
        return;
    }
    const QSize size = docked.isValid() ? docked : kDefaultSize;
    if (horizontal)
        frame.resizeDocks({this}, {size.height()}, Qt::Vertical);
    else
        frame.resizeDocks({this}, {size.width()}, Qt::Horizontal);
}
