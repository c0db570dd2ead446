// The editable tree control of the left bar: a tree view over the room tree
// model with label editing, the resource module's context menu, and drag and
// drop that moves subtrees with automatic scrolling and hover expansion.
//
// The model owns the items, node records and the file; this control shows
// it and turns the model's notifications into the signals below (the owner
// window's notification codes are noted beside each).
#pragma once

#include "tree/edit_tree_model.h"
#include "widgets/tree/edit_tree_item_model.h"
#include "widgets/tree/tree_clock.h"
#include "widgets/tree/tree_image_list.h"

#include <QPersistentModelIndex>
#include <QTreeView>

#include <cstdint>
#include <memory>
#include <set>
#include <string>

class QLabel;
class QMenu;

class CEditTreeCtrl : public QTreeView, private IEditTreeNotify
{
    Q_OBJECT

public:
    static constexpr int kRenameMaxLength = 127;
    static constexpr int kDragStartDelayMs = 60;   // a drag begun sooner is a slip of the hand
    static constexpr int kHoverExpandMs = 800;     // rest over an item this long to open it
    static constexpr int kScrollTickMs = 40;       // fastest scrolling: one line per tick
    static constexpr int kTopLevelDropMargin = 20; // a drop this close to the left: top level

    explicit CEditTreeCtrl(QWidget* parent = nullptr);
    ~CEditTreeCtrl() override;

    CEditTreeModel& GetModel() { return m_model; }
    const CEditTreeModel& GetModel() const { return m_model; }

    // Options, set by the owner before it loads the tree.
    void SetMenuChoice(int choice) { m_menuChoice = choice; } // 1: menu 13006, else 13001
    int GetMenuChoice() const { return m_menuChoice; }
    void EnableRename(bool enabled);
    bool IsRenameEnabled() const { return m_renameEnabled; }
    void EnableDrag(bool enabled);
    bool IsDragEnabled() const { return m_dragEnabled; }
    void EnableOwnMenu(bool enabled) { m_ownMenuEnabled = enabled; }
    bool IsOwnMenuEnabled() const { return m_ownMenuEnabled; }
    void SetFolderImages(int image, int selectedImage);
    void SetLeafImages(int image, int selectedImage);
    // Folder of the resource module, ending with "/"; empty: the program's.
    void SetResourceFolder(std::string folder) { m_resourceFolder = std::move(folder); }
    // Takes the images only when the resource module can be loaded (without
    // it the tree shows none); true either way.
    bool CreateImageList(const QList<QPixmap>& images);
    // Time source of the drag timers; not owned, it must outlive the control.
    // The system clock by default.
    void SetClock(ITreeClock& clock);

    CEditTreeItem* ItemFromIndex(const QModelIndex& index) const;
    QModelIndex IndexFromItem(const CEditTreeItem* item) const;
    CEditTreeItem* ItemAt(const QPoint& viewportPos) const;
    // Number of fully visible items.
    int GetVisibleCount() const;
    bool IsDragging() const { return m_dragging; }

signals:
    // ETN_CONTEXTMENU: before the popup is shown, which the receiver may
    // change; null when the own menu is disabled.
    void ContextMenu(QMenu* popup);
    // A command chosen from the context menu.
    void CommandChosen(unsigned commandId);
    // ETN_DELETING, children before parents.
    void ItemDeleting(CEditTreeItem* item);
    // ETN_RENAMED, ETN_MOVED (once per moved item), ETN_ADDED.
    void ItemRenamed(const EditTreeRenameInfo& info);
    void ItemMoved(const EditTreeMoveInfo& info);
    void ItemAdded(const EditTreeAddInfo& info);
    // ETN_SELCHANGED: the selection moved to an item with a node record.
    void SelChanged(CEditTreeItem* item, qint32 id, const QString& path);

protected:
    // Shows the popup and returns the chosen action; tests choose instead.
    virtual QAction* ExecContextMenu(QMenu& menu, const QPoint& globalPos);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
    void OnEditTreeDeleting(CEditTreeItem* item) override;
    void OnEditTreeRenamed(const EditTreeRenameInfo& info) override;
    void OnEditTreeMoved(const EditTreeMoveInfo& info) override;
    void OnEditTreeAdded(const EditTreeAddInfo& info) override;
    void OnEditTreeSelChanged(const EditTreeNode& node) override;

    void ShowTreeSelection(const QModelIndex& current);
    // Names an item by the IDs and texts from the top down, so the same node
    // is known again after the model rebuilt its items.
    std::string NodeKey(const QModelIndex& index) const;

    // Drag and drop (edit_tree_drag.cpp).
    void BeginDrag(const QModelIndex& index, const QPoint& startPos);
    void DragTo(const QPoint& pos);
    void Drop();
    void EndDrag();
    void OnHoverTimer();
    void OnScrollTimer();
    void SetDropHighlight(const QModelIndex& index);
    QModelIndex FirstVisibleIndex() const;

    CEditTreeModel m_model;
    CTreeImageList m_images;
    CEditTreeItemModel m_itemModel{m_model, m_images};

    int m_menuChoice = 0;
    bool m_renameEnabled = false;
    bool m_dragEnabled = false;
    bool m_ownMenuEnabled = true;
    std::string m_resourceFolder;
    bool m_showingTreeSelection = false;
    // Items that were open when removed; reopened when rebuilt in the same
    // turn of the event loop (the model reloads the file another process wrote).
    std::set<std::string> m_openBeforeRemoval;
    bool m_forgetOpenScheduled = false;

    ITreeClock* m_clock = nullptr;
    std::unique_ptr<ITreeTimer> m_hoverTimer;
    std::unique_ptr<ITreeTimer> m_scrollTimer;
    std::uint32_t m_scrollTicks = 0;
    QPoint m_lastMouse;
    std::int64_t m_buttonDownTick = 0;
    bool m_holdingItem = false; // left button down on an item with dragging on
    bool m_dragTried = false;   // the pointer left the press point: drag started or refused
    QPoint m_pressPos;
    QPersistentModelIndex m_pressIndex;
    bool m_dragging = false;
    std::unique_ptr<QLabel> m_dragImage;
    QPersistentModelIndex m_dragItem;
    QPersistentModelIndex m_dropTarget; // invalid: the top level
    QPersistentModelIndex m_dropHighlight;
};

Q_DECLARE_METATYPE(EditTreeRenameInfo)
Q_DECLARE_METATYPE(EditTreeMoveInfo)
Q_DECLARE_METATYPE(EditTreeAddInfo)
