#include "widgets/tree/edit_tree_item_model.h"

CEditTreeItemModel::CEditTreeItemModel(CEditTreeModel& tree, const CTreeImageList& images)
    : m_tree(tree), m_images(images)
{
    m_tree.SetListener(this);
}

CEditTreeItemModel::~CEditTreeItemModel()
{
    m_tree.SetListener(nullptr);
}

CEditTreeItem* CEditTreeItemModel::ItemFromIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<CEditTreeItem*>(index.internalPointer());
}

QModelIndex CEditTreeItemModel::IndexFromItem(const CEditTreeItem* item) const
{
    if (!item)
        return {};
    return createIndex(static_cast<int>(m_tree.GetItemRow(item)), 0,
                       const_cast<CEditTreeItem*>(item));
}

void CEditTreeItemModel::ImagesChanged()
{
    std::vector<const CEditTreeItem*> pending;
    for (const auto& item : m_tree.GetTopLevelItems())
        pending.push_back(item.get());
    while (!pending.empty())
    {
        const CEditTreeItem* item = pending.back();
        pending.pop_back();
        const QModelIndex at = IndexFromItem(item);
        emit dataChanged(at, at, {Qt::DecorationRole});
        for (const auto& child : item->GetChildren())
            pending.push_back(child.get());
    }
}

const std::vector<std::unique_ptr<CEditTreeItem>>&
CEditTreeItemModel::ChildrenOf(const QModelIndex& parent) const
{
    if (const CEditTreeItem* item = ItemFromIndex(parent))
        return item->GetChildren();
    return m_tree.GetTopLevelItems();
}

QModelIndex CEditTreeItemModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || parent.column() > 0)
        return {};
    const auto& children = ChildrenOf(parent);
    if (static_cast<size_t>(row) >= children.size())
        return {};
    return createIndex(row, 0, children[static_cast<size_t>(row)].get());
}

QModelIndex CEditTreeItemModel::parent(const QModelIndex& child) const
{
    const CEditTreeItem* item = ItemFromIndex(child);
    return item ? IndexFromItem(item->GetParent()) : QModelIndex();
}

int CEditTreeItemModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(ChildrenOf(parent).size());
}

int CEditTreeItemModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant CEditTreeItemModel::data(const QModelIndex& index, int role) const
{
    const CEditTreeItem* item = ItemFromIndex(index);
    if (!item)
        return {};
    switch (role)
    {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(item->GetText());
    case Qt::DecorationRole:
        if (m_images.IsEmpty())
            return {};
        return m_images.Icon(item->GetImage(), item->GetSelectedImage());
    default:
        return {};
    }
}

bool CEditTreeItemModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    CEditTreeItem* item = ItemFromIndex(index);
    if (!item || role != Qt::EditRole || !m_renameEnabled)
        return false;
    const std::string text = value.toString().toStdString();
    // Closing the editor without a change is no rename: nothing to save or report.
    if (item->GetNode() && item->GetNode()->Text == text)
        return true;
    // Empty text and items without a node record are refused by the tree.
    return m_tree.RenameItem(item, text);
}

Qt::ItemFlags CEditTreeItemModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_renameEnabled)
        result |= Qt::ItemIsEditable;
    return result;
}

void CEditTreeItemModel::OnItemAboutToBeInserted(CEditTreeItem* parent, size_t row)
{
    const int at = static_cast<int>(row);
    beginInsertRows(IndexFromItem(parent), at, at);
}

void CEditTreeItemModel::OnItemInserted(CEditTreeItem*)
{
    endInsertRows();
}

void CEditTreeItemModel::OnItemChanged(CEditTreeItem* item)
{
    const QModelIndex at = IndexFromItem(item);
    emit dataChanged(at, at);
}

void CEditTreeItemModel::OnItemRemoving(CEditTreeItem* item)
{
    const int row = static_cast<int>(m_tree.GetItemRow(item));
    beginRemoveRows(IndexFromItem(item->GetParent()), row, row);
}

void CEditTreeItemModel::OnItemRemoved(CEditTreeItem*, size_t)
{
    endRemoveRows();
}

void CEditTreeItemModel::OnSelectionChanged(CEditTreeItem* item)
{
    emit TreeSelectionChanged(IndexFromItem(item));
}
