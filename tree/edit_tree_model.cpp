#include "tree/edit_tree_model.h"

#include <algorithm>

CEditTreeModel::~CEditTreeModel()
{
    // Window destruction frees everything and saves nothing; the listener may
    // already be gone, so no notifications here.
    m_notify = nullptr;
    m_listener = nullptr;
    m_topLevel.clear();
}

void CEditTreeModel::SetFolderImages(int image, int selectedImage)
{
    m_folderImage = image;
    m_folderSelectedImage = selectedImage;
}

void CEditTreeModel::SetLeafImages(int image, int selectedImage)
{
    m_leafImage = image;
    m_leafSelectedImage = selectedImage;
}

CEditTreeItem* CEditTreeModel::GetRootItem() const
{
    return m_topLevel.empty() ? nullptr : m_topLevel.front().get();
}

CEditTreeItem* CEditTreeModel::GetChildItem(const CEditTreeItem* item) const
{
    const auto& children = item ? item->m_children : m_topLevel;
    return children.empty() ? nullptr : children.front().get();
}

CEditTreeItem* CEditTreeModel::GetNextSiblingItem(const CEditTreeItem* item) const
{
    if (!item)
        return nullptr;
    const auto& siblings = item->m_parent ? item->m_parent->m_children : m_topLevel;
    for (size_t i = 0; i + 1 < siblings.size(); ++i)
        if (siblings[i].get() == item)
            return siblings[i + 1].get();
    return nullptr;
}

size_t CEditTreeModel::GetItemRow(const CEditTreeItem* item) const
{
    const auto& siblings = item->m_parent ? item->m_parent->m_children : m_topLevel;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == item)
            return i;
    return siblings.size();
}

std::vector<std::unique_ptr<CEditTreeItem>>& CEditTreeModel::SiblingsOf(CEditTreeItem* parent)
{
    return parent ? parent->m_children : m_topLevel;
}

CEditTreeItem* CEditTreeModel::InsertItem(const std::string& text, int image, int selectedImage,
                                          CEditTreeItem* parent, CEditTreeItem* after)
{
    auto item = std::make_unique<CEditTreeItem>();
    item->m_text = text;
    item->m_image = image;
    item->m_selectedImage = selectedImage;
    item->m_parent = parent;
    CEditTreeItem* raw = item.get();

    auto& siblings = SiblingsOf(parent);
    auto position = siblings.end();
    if (after)
    {
        auto found = std::find_if(siblings.begin(), siblings.end(),
                                  [after](const auto& sibling) { return sibling.get() == after; });
        if (found != siblings.end())
            position = found + 1;
    }
    if (m_listener)
        m_listener->OnItemAboutToBeInserted(parent,
                                            static_cast<size_t>(position - siblings.begin()));
    siblings.insert(position, std::move(item));
    if (m_listener)
        m_listener->OnItemInserted(raw);
    return raw;
}

void CEditTreeModel::SetItemText(CEditTreeItem* item, const std::string& text)
{
    if (!item)
        return;
    item->m_text = text;
    if (m_listener)
        m_listener->OnItemChanged(item);
}

void CEditTreeModel::SetItemImage(CEditTreeItem* item, int image, int selectedImage)
{
    if (!item)
        return;
    item->m_image = image;
    item->m_selectedImage = selectedImage;
    if (m_listener)
        m_listener->OnItemChanged(item);
}

void CEditTreeModel::SetItemState(CEditTreeItem* item, unsigned int state, unsigned int mask)
{
    if (!item)
        return;
    item->m_state = (item->m_state & ~mask) | (state & mask);
    if (m_listener)
        m_listener->OnItemChanged(item);
}

void CEditTreeModel::SelectItem(CEditTreeItem* item)
{
    if (item == m_selected)
        return;
    m_selected = item;
    if (m_listener)
        m_listener->OnSelectionChanged(item);
    if (item && item->m_node && m_notify)
        m_notify->OnEditTreeSelChanged(*item->m_node);
}

size_t CEditTreeModel::GetCount() const
{
    size_t count = 0;
    std::vector<const CEditTreeItem*> pending;
    for (const auto& item : m_topLevel)
        pending.push_back(item.get());
    while (!pending.empty())
    {
        const CEditTreeItem* item = pending.back();
        pending.pop_back();
        ++count;
        for (const auto& child : item->m_children)
            pending.push_back(child.get());
    }
    return count;
}

bool CEditTreeModel::SetPersistFile(const char* path)
{
    if (!path)
        return false;
    m_persistFile = path;
    return true;
}

bool CEditTreeModel::GetNodePath(const CEditTreeItem* item, std::string& path) const
{
    if (!item || !item->m_node)
        return false;
    // The item's own ancestry, so that two nodes sharing an ID (a room number
    // equal to a sequence number) still report their own places.
    std::vector<const std::string*> parts;
    for (const CEditTreeItem* at = item; at; at = at->m_parent)
        parts.push_back(at->m_node ? &at->m_node->Text : &at->m_text);
    path.clear();
    for (auto part = parts.rbegin(); part != parts.rend(); ++part)
    {
        if (part != parts.rbegin())
            path += '\\';
        path += **part;
    }
    return true;
}

CEditTreeItem* CEditTreeModel::FindChildByText(const CEditTreeItem* parent,
                                               const std::string& text) const
{
    const auto& children = parent ? parent->m_children : m_topLevel;
    for (const auto& child : children)
        if (child->m_node && child->m_node->Text == text)
            return child.get();
    return nullptr;
}

bool CEditTreeModel::HasChildWithText(const CEditTreeItem* parent, const std::string& text) const
{
    return FindChildByText(parent, text) != nullptr;
}

namespace
{
CEditTreeItem* FindByIdBelow(const std::vector<std::unique_ptr<CEditTreeItem>>& items,
                             std::int32_t id)
{
    for (const auto& item : items)
    {
        const EditTreeNode* node = item->GetNode();
        if (!node)
            continue; // an item without a record ends the search of its subtree
        if (node->ID == id)
            return item.get();
        if (CEditTreeItem* found = FindByIdBelow(item->GetChildren(), id))
            return found;
    }
    return nullptr;
}
} // namespace

CEditTreeItem* CEditTreeModel::FindItemById(std::int32_t id) const
{
    return FindByIdBelow(m_topLevel, id);
}

std::int32_t CEditTreeModel::GetNodeId(const CEditTreeItem* item) const
{
    return item && item->m_node ? item->m_node->ID : -1;
}

void CEditTreeModel::SetNodeId(CEditTreeItem* item, std::int32_t id)
{
    if (item && item->m_node)
        item->m_node->ID = id;
}

bool CEditTreeModel::GetNodeText(const CEditTreeItem* item, std::string& text) const
{
    if (!item || !item->m_node)
        return false;
    text = item->m_node->Text;
    return true;
}

void CEditTreeModel::ApplyParentImageRule(CEditTreeItem* parent)
{
    if (!parent)
        return;
    int image = parent->m_image;
    int selectedImage = parent->m_selectedImage;
    if (image == m_leafImage)
    {
        image = m_folderImage;
        if (parent->m_node)
            parent->m_node->ImageIndex = m_folderImage;
    }
    if (selectedImage == m_leafSelectedImage)
        selectedImage = m_folderSelectedImage;
    SetItemImage(parent, image, selectedImage);
}

CEditTreeItem* CEditTreeModel::InsertNode(std::unique_ptr<EditTreeNode> node, CEditTreeItem* parent)
{
    CEditTreeItem* item = InsertItem(node->Text, node->ImageIndex, node->ImageIndex, parent);
    ApplyParentImageRule(parent);
    std::vector<std::unique_ptr<EditTreeNode>> children = std::move(node->Children);
    node->Children.clear();
    item->m_node = std::move(node);
    for (auto& child : children)
        InsertNode(std::move(child), item);
    return item;
}

CEditTreeItem* CEditTreeModel::AddChild(CEditTreeItem* parent, const std::string& text)
{
    if (CEditTreeItem* existing = FindChildByText(parent, text))
        return existing;

    CEditTreeItem* item = InsertItem(text, m_leafImage, m_leafSelectedImage, parent);
    auto node = std::make_unique<EditTreeNode>();
    node->ID = NextFreeId();
    node->Text = text;
    node->ImageIndex = m_leafImage;
    ApplyParentImageRule(parent);
    item->m_node = std::move(node);
    SaveTree(nullptr);
    return item;
}

CEditTreeItem* CEditTreeModel::AddChildAndNotify(CEditTreeItem* parent, const std::string& text)
{
    CEditTreeItem* item = AddChild(parent, text);
    if (m_notify)
    {
        EditTreeAddInfo info;
        info.item = item;
        info.id = GetNodeId(item);
        GetNodePath(item, info.path);
        m_notify->OnEditTreeAdded(info);
    }
    return item;
}

bool CEditTreeModel::RenameItem(CEditTreeItem* item, const std::string& newText)
{
    if (!item || !item->m_node || newText.empty())
        return false;
    EditTreeRenameInfo info;
    info.oldText = item->m_node->Text;
    GetNodePath(item, info.oldPath);
    item->m_node->Text = newText;
    SetItemText(item, newText);
    SaveTree(nullptr);
    GetNodePath(item, info.newPath);
    info.newText = newText;
    info.item = item;
    if (m_notify)
        m_notify->OnEditTreeRenamed(info);
    return true;
}

CEditTreeItem* CEditTreeModel::CopyItem(CEditTreeItem* item, CEditTreeItem* newParent,
                                        CEditTreeItem* after)
{
    EditTreeMoveInfo info;
    GetNodePath(item, info.oldPath);
    info.oldId = GetNodeId(item);

    CEditTreeItem* copy =
        InsertItem(item->m_text, item->m_image, item->m_selectedImage, newParent, after);
    ApplyParentImageRule(newParent); // a leaf that gets a child shows the folder image
    copy->m_node = std::move(item->m_node);
    if (copy->m_node)
    {
        copy->m_node->ID = NextFreeId();
    }
    SetItemState(copy, item->m_state, kStateImageMask);

    SaveTree(nullptr);
    GetNodePath(copy, info.newPath);
    info.newId = GetNodeId(copy);
    if (m_notify)
        m_notify->OnEditTreeMoved(info);
    return copy;
}

CEditTreeItem* CEditTreeModel::MoveSubtree(CEditTreeItem* item, CEditTreeItem* newParent,
                                           CEditTreeItem* after)
{
    if (!item || (newParent && IsWithin(newParent, item)))
        return nullptr; // a subtree cannot be copied into itself
    CEditTreeItem* copy = CopyItem(item, newParent, after);
    // Children are copied in order; the list is not changed while we walk it.
    for (const auto& child : item->m_children)
        MoveSubtree(child.get(), copy, nullptr);
    return copy;
}

bool CEditTreeModel::IsWithin(const CEditTreeItem* item, const CEditTreeItem* ancestor) const
{
    for (const CEditTreeItem* at = item; at; at = at->m_parent)
        if (at == ancestor)
            return true;
    return false;
}

CEditTreeItem* CEditTreeModel::MoveItem(CEditTreeItem* item, CEditTreeItem* target)
{
    if (!item || (target && IsWithin(target, item)))
        return nullptr;
    CEditTreeItem* moved = MoveSubtree(item, target, nullptr);
    RemoveItemSilently(item);
    SelectItem(moved);
    SaveTree(nullptr);
    return moved;
}

std::unique_ptr<CEditTreeItem> CEditTreeModel::Detach(CEditTreeItem* item)
{
    auto& siblings = SiblingsOf(item->m_parent);
    auto found = std::find_if(siblings.begin(), siblings.end(),
                              [item](const auto& sibling) { return sibling.get() == item; });
    if (found == siblings.end())
        return nullptr;
    const size_t row = static_cast<size_t>(found - siblings.begin());
    std::unique_ptr<CEditTreeItem> owned = std::move(*found);
    siblings.erase(found);
    if (m_listener)
        m_listener->OnItemRemoved(item->m_parent, row);
    return owned;
}

void CEditTreeModel::ClearSelectionWithin(const CEditTreeItem* item)
{
    if (m_selected && IsWithin(m_selected, item))
    {
        m_selected = nullptr;
        if (m_listener)
            m_listener->OnSelectionChanged(nullptr);
    }
}

void CEditTreeModel::RemoveItemSilently(CEditTreeItem* item)
{
    if (!item)
        return;
    while (!item->m_children.empty())
        RemoveItemSilently(item->m_children.back().get());
    ClearSelectionWithin(item);
    if (m_listener)
        m_listener->OnItemRemoving(item);
    Detach(item);
}

void CEditTreeModel::DeleteSubtree(CEditTreeItem* item)
{
    if (!item)
        return;
    while (!item->m_children.empty())
        DeleteSubtree(item->m_children.front().get());
    if (m_notify)
        m_notify->OnEditTreeDeleting(item);
    ClearSelectionWithin(item);
    if (m_listener)
        m_listener->OnItemRemoving(item);
    Detach(item);
}

void CEditTreeModel::DeleteAll()
{
    while (m_topLevel.size() > 1)
        DeleteSubtree(m_topLevel[1].get());
    if (!m_topLevel.empty())
        DeleteSubtree(m_topLevel.front().get());
}

std::int32_t CEditTreeModel::NextFreeId()
{
    // A count that was lost or damaged must not hand out an ID again.
    std::int32_t id = PersistCount + 1;
    while (FindItemById(id))
        ++id;
    PersistCount = id;
    return id;
}
