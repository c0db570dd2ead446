// Opens the offline room tree the way its owner does: the folder and leaf
// images of the room tree, then its file. Shared by the main window and the
// command-line companion so both write the same OffLine.xml.
#pragma once

#include <string>

class CEditTreeModel;
struct CAppPaths;

constexpr int kRoomTreeFolderImage = 0;
constexpr int kRoomTreeLeafImage = 10;

// False with `error` set to "缺少文件 : <path>" (the box text) when the file
// cannot be read, and `reason` to what is wrong with it (missing, not
// readable, damaged); the log has the reason too.
bool OpenRoomTree(CEditTreeModel& tree, const CAppPaths& paths, std::string* error,
                  std::string* reason = nullptr);
