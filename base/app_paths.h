// The table of application paths, built once at start-up and read-only
// afterwards (other threads may read it without a lock).
//
// The shipped items (help file, start page, modules) are built on the
// program folder. The writable ones are built on the data and configuration
// folders, which are the program folder itself in a portable copy and the
// user's XDG folders in an installed one (base/app_mode.h); the formats and
// the 259-byte limit are the same in both.
#pragma once

#include "base/app_mode.h"

#include <string>

struct CAppPaths
{
    char m_szAppDir[260] = {};
    char m_szConfigFile[260] = {};
    char m_szTempDir[260] = {};
    char m_szResourceDir[260] = {};
    char m_szRoomListDir[260] = {};
    char m_szOnlineList[260] = {};
    char m_szOfflineTree[260] = {};
    char m_szDatabaseDir[260] = {};
    char m_szDatabaseFile[260] = {};
    char m_szHelpFile[260] = {};
    char m_szAdDir[260] = {};
    char m_szWelcomePage[260] = {};
    char m_szFeedbackModule[260] = {};

    AppMode m_mode = AppMode::Portable;
    // Bases of the writable items, ending with "/": the database, the room
    // tree, Temp/, the log and the browser profile; the configuration file
    // and the window's profile settings.
    char m_szDataDir[260] = {};
    char m_szConfigDir[260] = {};
};

enum class BuildPathsError
{
    None,
    NoProgramFile,     // the program's own file name is unavailable
    PathTooLong,       // a built path would not fit 259 bytes
    TempFolder,        // the temporary folder cannot be created
    StartPageFolder,   // the start-page folder cannot be created
    UserFolder,        // installed: the user's folders cannot be made or seeded
    UserFolderTooLong, // installed: a path built on the user's folders would not fit
};

// Fills the table from the folder of the running program, or from
// `appDirOverride` (a folder ending with "/") when given, in the mode that
// folder calls for. Creates the temporary and start-page folders. Installed,
// it also makes the user's folders and seeds the database and the room tree
// from the shipped empty ones when missing; nothing in the program folder is
// written. On failure `error` says why and `failedPath` names the path.
bool BuildPaths(CAppPaths& paths, const char* appDirOverride = nullptr,
                BuildPathsError* error = nullptr, std::string* failedPath = nullptr);

// A user-facing explanation for a failure that deserves one (too-long
// paths, the user's folders); empty for those that end start-up silently.
std::string DescribeBuildPathsError(BuildPathsError error, const std::string& failedPath);
