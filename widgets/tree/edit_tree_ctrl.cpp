#include "widgets/tree/edit_tree_ctrl.h"

#include "base/resource_module.h"
#include "widgets/tree/tree_context_menu.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace
{

// The label editor: at most 127 characters, like every node text the tree
// has ever written.
class CLabelEditDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(CEditTreeCtrl::kRenameMaxLength);
        return editor;
    }
};

} // namespace

CEditTreeCtrl::CEditTreeCtrl(QWidget* parent) : QTreeView(parent)
{
    m_model.SetNotify(this);
    setModel(&m_itemModel);
    setItemDelegate(new CLabelEditDelegate(this));
    connect(&m_itemModel, &CEditTreeItemModel::TreeSelectionChanged, this,
            &CEditTreeCtrl::ShowTreeSelection);

    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // Labels are edited only with F2; scrolling while dragging is the tree's own.
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setAutoScroll(false);
    setDragEnabled(false);

    // The selection stays visible while another window has the focus.
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    setPalette(colours);

    SetClock(SystemTreeClock());
}

CEditTreeCtrl::~CEditTreeCtrl()
{
    // Nothing is saved and nobody is told: the owner is going away as well.
    m_model.SetNotify(nullptr);
    EndDrag();
    m_showingTreeSelection = true; // the view lets go of its current item: keep the model's
    setModel(nullptr);
}

void CEditTreeCtrl::EnableRename(bool enabled)
{
    m_renameEnabled = enabled;
    m_itemModel.SetRenameEnabled(enabled);
}

void CEditTreeCtrl::EnableDrag(bool enabled)
{
    m_dragEnabled = enabled;
    if (!enabled)
        EndDrag();
}

void CEditTreeCtrl::SetFolderImages(int image, int selectedImage)
{
    m_model.SetFolderImages(image, selectedImage);
}

void CEditTreeCtrl::SetLeafImages(int image, int selectedImage)
{
    m_model.SetLeafImages(image, selectedImage);
}

bool CEditTreeCtrl::CreateImageList(const QList<QPixmap>& images)
{
    const char* folder = m_resourceFolder.empty() ? nullptr : m_resourceFolder.c_str();
    if (!LoadResourceModule(folder))
        return true; // no images, and no complaint
    m_images.SetImages(images);
    m_itemModel.ImagesChanged();
    return true;
}

void CEditTreeCtrl::SetClock(ITreeClock& clock)
{
    EndDrag();
    m_clock = &clock;
    m_hoverTimer = clock.CreateTimer([this] { OnHoverTimer(); });
    m_scrollTimer = clock.CreateTimer([this] { OnScrollTimer(); });
}

CEditTreeItem* CEditTreeCtrl::ItemFromIndex(const QModelIndex& index) const
{
    return m_itemModel.ItemFromIndex(index);
}

QModelIndex CEditTreeCtrl::IndexFromItem(const CEditTreeItem* item) const
{
    return m_itemModel.IndexFromItem(item);
}

CEditTreeItem* CEditTreeCtrl::ItemAt(const QPoint& viewportPos) const
{
    return ItemFromIndex(indexAt(viewportPos));
}

int CEditTreeCtrl::GetVisibleCount() const
{
    const QModelIndex first = FirstVisibleIndex();
    const int height = first.isValid() ? rowHeight(first) : 0;
    return height > 0 ? viewport()->height() / height : 0;
}

QAction* CEditTreeCtrl::ExecContextMenu(QMenu& menu, const QPoint& globalPos)
{
    return menu.exec(globalPos);
}

void CEditTreeCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    if (!m_ownMenuEnabled)
    {
        emit ContextMenu(nullptr);
        return;
    }
    QPoint pos = event->pos();
    if (event->reason() != QContextMenuEvent::Mouse && currentIndex().isValid())
        pos = visualRect(currentIndex()).center();
    m_model.SelectItem(ItemAt(pos));

    // The module is looked up each time; without it the log says why.
    const char* folder = m_resourceFolder.empty() ? nullptr : m_resourceFolder.c_str();
    const std::optional<CMenuTemplateItem> popup = LoadTreeContextPopup(m_menuChoice, folder);
    if (!popup)
        return;
    const std::unique_ptr<QMenu> menu = BuildMenuFromTemplate(*popup, this);
    emit ContextMenu(menu.get());
    if (const unsigned command =
            MenuCommandId(ExecContextMenu(*menu, viewport()->mapToGlobal(pos))))
        emit CommandChosen(command);
}

void CEditTreeCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    if (!m_showingTreeSelection)
        m_model.SelectItem(ItemFromIndex(current));
}

void CEditTreeCtrl::ShowTreeSelection(const QModelIndex& current)
{
    m_showingTreeSelection = true;
    if (current.isValid())
    {
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
        scrollTo(current);
    }
    else
    {
        // The selected item is going away (or the owner cleared the
        // selection): its open label editor closes without renaming. A rename
        // committed here would save in the middle of the model's reload.
        if (QWidget* editor = indexWidget(currentIndex()))
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        selectionModel()->clear();
    }
    m_showingTreeSelection = false;
}

std::string CEditTreeCtrl::NodeKey(const QModelIndex& index) const
{
    std::string key;
    for (const CEditTreeItem* item = ItemFromIndex(index); item; item = item->GetParent())
    {
        const EditTreeNode* node = item->GetNode();
        key.insert(0, std::to_string(node ? node->ID : -1) + ':' +
                          (node ? node->Text : item->GetText()) + '\n');
    }
    return key;
}

void CEditTreeCtrl::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    for (int row = start; row <= end; ++row)
    {
        const QModelIndex index = model()->index(row, 0, parent);
        if (isExpanded(index))
            m_openBeforeRemoval.insert(NodeKey(index));
    }
    if (!m_openBeforeRemoval.empty() && !m_forgetOpenScheduled)
    {
        m_forgetOpenScheduled = true;
        QMetaObject::invokeMethod(
            this,
            [this]
            {
                m_openBeforeRemoval.clear();
                m_forgetOpenScheduled = false;
            },
            Qt::QueuedConnection);
    }
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
}

void CEditTreeCtrl::rowsInserted(const QModelIndex& parent, int start, int end)
{
    QTreeView::rowsInserted(parent, start, end);
    // A parent gets its node record before its children are inserted.
    if (parent.isValid() && !m_openBeforeRemoval.empty() && !isExpanded(parent) &&
        m_openBeforeRemoval.count(NodeKey(parent)))
        expand(parent);
}

void CEditTreeCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    if (m_dropHighlight.isValid() && index == m_dropHighlight)
    {
        QStyleOptionViewItem highlighted(option);
        highlighted.state |= QStyle::State_Selected;
        QTreeView::drawRow(painter, highlighted, index);
        return;
    }
    QTreeView::drawRow(painter, option, index);
}

void CEditTreeCtrl::OnEditTreeDeleting(CEditTreeItem* item)
{
    emit ItemDeleting(item);
}

void CEditTreeCtrl::OnEditTreeRenamed(const EditTreeRenameInfo& info)
{
    emit ItemRenamed(info);
}

void CEditTreeCtrl::OnEditTreeMoved(const EditTreeMoveInfo& info)
{
    emit ItemMoved(info);
}

void CEditTreeCtrl::OnEditTreeAdded(const EditTreeAddInfo& info)
{
    emit ItemAdded(info);
}

void CEditTreeCtrl::OnEditTreeSelChanged(const EditTreeNode& node)
{
    CEditTreeItem* item = m_model.GetSelectedItem();
    std::string path;
    m_model.GetNodePath(item, path);
    emit SelChanged(item, node.ID, QString::fromStdString(path));
}
