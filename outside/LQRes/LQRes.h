// Commands of the room tree's context menus held by LQRes.so (menus 13001
// and 13006). The window that owns the tree carries them out.
#pragma once

enum : unsigned
{
    ID_TREE_LIST_RECORDS = 33001,  // list the saved topics of the selected room
    ID_TREE_EXPAND_ALL = 33002,    // expand every node
    ID_TREE_COLLAPSE_ALL = 33003,  // collapse every node
    ID_TREE_EXPAND_ITEM = 33004,   // expand the selected node and all below it
    ID_TREE_COLLAPSE_ITEM = 33005, // collapse the selected node
};
