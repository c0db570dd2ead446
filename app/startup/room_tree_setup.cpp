#include "app/startup/room_tree_setup.h"

#include "base/app_paths.h"
#include "tree/edit_tree_model.h"

bool OpenRoomTree(CEditTreeModel& tree, const CAppPaths& paths, std::string* error)
{
    tree.SetFolderImages(kRoomTreeFolderImage, kRoomTreeFolderImage);
    tree.SetLeafImages(kRoomTreeLeafImage, kRoomTreeLeafImage);
    if (!tree.SetPersistFile(paths.m_szOfflineTree) || !tree.LoadTree(paths.m_szOfflineTree))
    {
        if (error)
            *error = std::string("缺少文件 : ") + paths.m_szOfflineTree;
        return false;
    }
    return true;
}
