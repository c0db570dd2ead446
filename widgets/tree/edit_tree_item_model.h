// The room tree model seen through Qt's item model interface, so a QTreeView
// can show it. The tree model stays the owner of items and node records; this
// adapter only mirrors its changes (it is the model's structural listener).
#pragma once

#include "tree/edit_tree_model.h"
#include "widgets/tree/tree_image_list.h"

#include <QAbstractItemModel>

class CEditTreeItemModel final : public QAbstractItemModel, private IEditTreeModelListener
{
    Q_OBJECT

public:
    CEditTreeItemModel(CEditTreeModel& tree, const CTreeImageList& images);
    ~CEditTreeItemModel() override;

    CEditTreeItem* ItemFromIndex(const QModelIndex& index) const;
    QModelIndex IndexFromItem(const CEditTreeItem* item) const;

    // Labels become editable (a committed edit renames the node).
    void SetRenameEnabled(bool enabled) { m_renameEnabled = enabled; }
    // Redraws every item after the image list changed.
    void ImagesChanged();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The tree model selected another item (or none).
    void TreeSelectionChanged(const QModelIndex& current);

private:
    void OnItemAboutToBeInserted(CEditTreeItem* parent, size_t row) override;
    void OnItemInserted(CEditTreeItem* item) override;
    void OnItemChanged(CEditTreeItem* item) override;
    void OnItemRemoving(CEditTreeItem* item) override;
    void OnItemRemoved(CEditTreeItem* parent, size_t row) override;
    void OnSelectionChanged(CEditTreeItem* item) override;

    const std::vector<std::unique_ptr<CEditTreeItem>>& ChildrenOf(const QModelIndex& parent) const;

    CEditTreeModel& m_tree;
    const CTreeImageList& m_images;
    bool m_renameEnabled = false;
};
