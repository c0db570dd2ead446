// Two listeners of the room tree model: the owner, which gets the tree's
// notifications (the window message codes below), and the view, which
// mirrors structural changes on screen. Both are called synchronously and the
// info records live only for the call.
#pragma once

#include "tree/edit_tree_node.h"

#include <cstdint>
#include <string>

class CEditTreeItem;

// WM_EDITTREE_NOTIFY (WM_USER+2002) codes, for the window that forwards them.
constexpr unsigned int WM_EDITTREE_NOTIFY = 0x0400 + 2002;
constexpr int ETN_CONTEXTMENU = 1;
constexpr int ETN_DELETING = 3;
constexpr int ETN_RENAMED = 4;
constexpr int ETN_MOVED = 5;
constexpr int ETN_ADDED = 7;
constexpr int ETN_SELCHANGED = 8;

struct EditTreeRenameInfo
{
    std::string oldText;
    std::string newText;
    std::string oldPath;
    std::string newPath;
    CEditTreeItem* item = nullptr;
};

struct EditTreeMoveInfo
{
    std::string oldPath;
    std::string newPath;
    std::int32_t oldId = -1; // -1 when the item had no node record
    std::int32_t newId = -1;
};

struct EditTreeAddInfo
{
    CEditTreeItem* item = nullptr;
    std::int32_t id = -1;
    std::string path;
};

class IEditTreeNotify
{
public:
    virtual ~IEditTreeNotify() = default;
    virtual void OnEditTreeDeleting(CEditTreeItem* /*item*/) {}
    virtual void OnEditTreeRenamed(const EditTreeRenameInfo& /*info*/) {}
    virtual void OnEditTreeMoved(const EditTreeMoveInfo& /*info*/) {}
    virtual void OnEditTreeAdded(const EditTreeAddInfo& /*info*/) {}
    virtual void OnEditTreeSelChanged(const EditTreeNode& /*node*/) {}
};

// The begin/end pairs match what item-model views need around a change.
// Rows count among the parent's children (null parent: the top level).
class IEditTreeModelListener
{
public:
    virtual ~IEditTreeModelListener() = default;
    virtual void OnItemAboutToBeInserted(CEditTreeItem* /*parent*/, size_t /*row*/) {}
    virtual void OnItemInserted(CEditTreeItem* /*item*/) {}
    // Label, images or state changed.
    virtual void OnItemChanged(CEditTreeItem* /*item*/) {}
    // Before the item (already without children) goes away, and after.
    virtual void OnItemRemoving(CEditTreeItem* /*item*/) {}
    virtual void OnItemRemoved(CEditTreeItem* /*parent*/, size_t /*row*/) {}
    virtual void OnSelectionChanged(CEditTreeItem* /*item*/) {}
};
