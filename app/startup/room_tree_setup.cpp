#include "app/startup/room_tree_setup.h"

#include "base/app_paths.h"
#include "base/debug_log.h"
#include "tree/edit_tree_model.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace
{
// Why a room tree file that did not load cannot be used.
std::string WhyNotLoaded(const char* path)
{
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return errno ? std::strerror(errno) : "cannot be opened";
    return "the file is damaged (no room tree in it)";
}
} // namespace

bool OpenRoomTree(CEditTreeModel& tree, const CAppPaths& paths, std::string* error,
                  std::string* reason)
{
    tree.SetFolderImages(kRoomTreeFolderImage, kRoomTreeFolderImage);
    tree.SetLeafImages(kRoomTreeLeafImage, kRoomTreeLeafImage);
    if (!tree.SetPersistFile(paths.m_szOfflineTree) || !tree.LoadTree(paths.m_szOfflineTree))
    {
        const std::string why = WhyNotLoaded(paths.m_szOfflineTree);
        WriteDebugLog((std::string("Cannot read ") + paths.m_szOfflineTree + ": " + why).c_str());
        if (error)
            *error = std::string("缺少文件 : ") + paths.m_szOfflineTree;
        if (reason)
            *reason = why;
        return false;
    }
    return true;
}
