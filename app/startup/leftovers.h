// What a process killed mid-work leaves behind in the application folder,
// removed at the next start: the download folders of companions that no
// longer run, and temporary files of an interrupted room tree write.
#pragma once

#include <string>

struct CAppPaths;

// A companion downloads into Temp/ + this prefix + its process id.
inline constexpr const char* kCompanionFolderPrefix = "MyZELKCmd.";

// Returns how many entries were removed.
int RemoveLeftovers(const CAppPaths& paths);
