// The room tree without a window: items with labels and images, a node record
// per item, the persisted root values, the XML file behind it and the edit
// operations that save after every change. The Qt control shows this model
// and adds mouse, keyboard and menus. Used on the user-interface thread only.
#pragma once

#include "tree/edit_tree_node.h"
#include "tree/edit_tree_observer.h"
#include "tree/tree_file_lock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CEditTreeItem
{
public:
    const std::string& GetText() const { return m_text; }
    int GetImage() const { return m_image; }
    int GetSelectedImage() const { return m_selectedImage; }
    unsigned int GetState() const { return m_state; }
    CEditTreeItem* GetParent() const { return m_parent; }
    const std::vector<std::unique_ptr<CEditTreeItem>>& GetChildren() const { return m_children; }
    // The item data: the node record, or null for an item without one.
    EditTreeNode* GetNode() const { return m_node.get(); }

private:
    friend class CEditTreeModel;

    std::string m_text;
    int m_image = 0;
    int m_selectedImage = 0;
    unsigned int m_state = 0;
    std::unique_ptr<EditTreeNode> m_node;
    CEditTreeItem* m_parent = nullptr;
    std::vector<std::unique_ptr<CEditTreeItem>> m_children;
};

class CEditTreeModel
{
public:
    static constexpr unsigned int kStateImageMask = 0xF000;

    CEditTreeModel() = default;
    CEditTreeModel(const CEditTreeModel&) = delete;
    CEditTreeModel& operator=(const CEditTreeModel&) = delete;
    ~CEditTreeModel();

    // Persisted root values.
    std::int32_t PersistCount = 0;
    std::string Text = "LQEditTree";
    std::string Version = "1.00.0";

    void SetNotify(IEditTreeNotify* notify) { m_notify = notify; }
    void SetListener(IEditTreeModelListener* listener) { m_listener = listener; }
    // Images given to a parent when it gets a child, and to new items.
    void SetFolderImages(int image, int selectedImage);
    void SetLeafImages(int image, int selectedImage);

    // Items. A null parent means the top level; a null `after` the last place.
    CEditTreeItem* GetRootItem() const;
    const std::vector<std::unique_ptr<CEditTreeItem>>& GetTopLevelItems() const
    {
        return m_topLevel;
    }
    CEditTreeItem* GetChildItem(const CEditTreeItem* item) const;
    CEditTreeItem* GetNextSiblingItem(const CEditTreeItem* item) const;
    // Position among its parent's children (top-level items: among them).
    size_t GetItemRow(const CEditTreeItem* item) const;
    CEditTreeItem* InsertItem(const std::string& text, int image, int selectedImage,
                              CEditTreeItem* parent = nullptr, CEditTreeItem* after = nullptr);
    void SetItemText(CEditTreeItem* item, const std::string& text);
    void SetItemImage(CEditTreeItem* item, int image, int selectedImage);
    void SetItemState(CEditTreeItem* item, unsigned int state, unsigned int mask);
    void SelectItem(CEditTreeItem* item);
    CEditTreeItem* GetSelectedItem() const { return m_selected; }
    size_t GetCount() const;

    // Persistence.
    bool SetPersistFile(const char* path);
    const std::string& GetPersistFile() const { return m_persistFile; }
    // Appends the file's nodes as top-level items; false when the file has no
    // LQEditTree root (missing, unreadable or another document).
    bool LoadTree(const char* path);
    // Writes the whole tree to `path`, or to the persist file when null
    // (under the file's lock); false when it was not written, with the
    // reason in LastSaveError(). Inside EditPersisted the write waits for
    // the end of the change.
    bool SaveTree(const char* path = nullptr);
    const std::string& LastSaveError() const { return m_lastSaveError; }
    // A change other processes must not lose: under the persist file's lock
    // the tree is read again when another process replaced the file since
    // this model last read or wrote it, `change` runs, and the tree is
    // written once. False with LastSaveError() when it could not be written.
    bool EditPersisted(const std::function<void()>& change);

    // Lookups.
    bool GetNodePath(const CEditTreeItem* item, std::string& path) const;
    CEditTreeItem* FindChildByText(const CEditTreeItem* parent, const std::string& text) const;
    bool HasChildWithText(const CEditTreeItem* parent, const std::string& text) const;
    CEditTreeItem* FindItemById(std::int32_t id) const;
    std::int32_t GetNodeId(const CEditTreeItem* item) const;
    void SetNodeId(CEditTreeItem* item, std::int32_t id);
    bool GetNodeText(const CEditTreeItem* item, std::string& text) const;

    // Edits.
    // The existing child of that text, or a new one (saved).
    CEditTreeItem* AddChild(CEditTreeItem* parent, const std::string& text);
    // AddChild, then the added notification, also for an existing child.
    CEditTreeItem* AddChildAndNotify(CEditTreeItem* parent, const std::string& text);
    bool RenameItem(CEditTreeItem* item, const std::string& newText);
    // Copies the item and its descendants below `newParent`, renumbering each
    // node, saving and notifying per copied item. The caller removes the old
    // items (RemoveItemSilently); MoveItem does the whole move.
    CEditTreeItem* MoveSubtree(CEditTreeItem* item, CEditTreeItem* newParent,
                               CEditTreeItem* after = nullptr);
    // A drop: refuses a target that is the item or below it (null result),
    // otherwise moves, removes the old items, selects the new one and saves.
    CEditTreeItem* MoveItem(CEditTreeItem* item, CEditTreeItem* target);
    // Deletes children before parents, with a deleting notification for each.
    // Does not save; the caller decides.
    void DeleteSubtree(CEditTreeItem* item);
    void DeleteAll();
    // Removes an item and its subtree without notifications (old items of a move).
    void RemoveItemSilently(CEditTreeItem* item);

private:
    CEditTreeItem* InsertNode(std::unique_ptr<EditTreeNode> node, CEditTreeItem* parent);
    void ApplyParentImageRule(CEditTreeItem* parent);
    CEditTreeItem* CopyItem(CEditTreeItem* item, CEditTreeItem* newParent, CEditTreeItem* after);
    std::vector<std::unique_ptr<CEditTreeItem>>& SiblingsOf(CEditTreeItem* parent);
    std::unique_ptr<CEditTreeItem> Detach(CEditTreeItem* item);
    void ClearSelectionWithin(const CEditTreeItem* item);
    bool IsWithin(const CEditTreeItem* item, const CEditTreeItem* ancestor) const;

    std::vector<std::unique_ptr<CEditTreeItem>> m_topLevel;
    CEditTreeItem* m_selected = nullptr;
    int m_folderImage = 0;
    int m_folderSelectedImage = 0;
    int m_leafImage = 0;
    int m_leafSelectedImage = 0;
    IEditTreeNotify* m_notify = nullptr;
    IEditTreeModelListener* m_listener = nullptr;
    std::string m_persistFile;
    CFileIdentity m_knownFile; // the persist file as this model last read or wrote it
    std::string m_lastSaveError;
    int m_editDepth = 0; // inside EditPersisted: saves wait for its end
    bool m_savePending = false;

    bool WritePersistFile(const std::string& path);
    void ReloadFromPersistFile();
    std::int32_t NextFreeId();
};
