// The resource module: menu templates only, exported through one C function
// so the program can open it by name at run time.
#include "outside/LQRes/LQRes.h"

#include "base/resource_module.h"

#include <iterator>

namespace
{

// 13006: the room tree of the left bar. The first (and only) submenu is the
// popup; its items act on the selected room or the whole tree.
constexpr LQResMenuEntry kRoomTreeEntries[] = {
    {0, LQRES_ITEM_POPUP, 0, "RoomTree"},
    {1, LQRES_ITEM_COMMAND, ID_TREE_LIST_RECORDS, "列出本版离线帖子(&L)"},
    {1, LQRES_ITEM_SEPARATOR, 0, nullptr},
    {1, LQRES_ITEM_COMMAND, ID_TREE_EXPAND_ITEM, "展开此节点(&X)"},
    {1, LQRES_ITEM_COMMAND, ID_TREE_COLLAPSE_ITEM, "折叠此节点(&O)"},
    {1, LQRES_ITEM_SEPARATOR, 0, nullptr},
    {1, LQRES_ITEM_COMMAND, ID_TREE_EXPAND_ALL, "全部展开(&E)"},
    {1, LQRES_ITEM_COMMAND, ID_TREE_COLLAPSE_ALL, "全部折叠(&C)"},
};

// 13001: any other editable tree; no records to list.
constexpr LQResMenuEntry kEditTreeEntries[] = {
    {0, LQRES_ITEM_POPUP, 0, "EditTree"},
    {1, LQRES_ITEM_COMMAND, ID_TREE_EXPAND_ITEM, "展开此节点(&X)"},
    {1, LQRES_ITEM_COMMAND, ID_TREE_COLLAPSE_ITEM, "折叠此节点(&O)"},
    {1, LQRES_ITEM_SEPARATOR, 0, nullptr},
    {1, LQRES_ITEM_COMMAND, ID_TREE_EXPAND_ALL, "全部展开(&E)"},
    {1, LQRES_ITEM_COMMAND, ID_TREE_COLLAPSE_ALL, "全部折叠(&C)"},
};

} // namespace

extern "C" __attribute__((visibility("default"))) const LQResMenuEntry*
LQResFindMenu(unsigned id, unsigned* count)
{
    if (id == kRoomTreeMenu)
    {
        *count = static_cast<unsigned>(std::size(kRoomTreeEntries));
        return kRoomTreeEntries;
    }
    if (id == kGenericTreeMenu)
    {
        *count = static_cast<unsigned>(std::size(kEditTreeEntries));
        return kEditTreeEntries;
    }
    *count = 0;
    return nullptr;
}
