// The table of application paths, built once at start-up and read-only
// afterwards (other threads may read it without a lock).
#pragma once

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
};

enum class BuildPathsError
{
    None,
    NoProgramFile,   // the program's own file name is unavailable
    PathTooLong,     // a built path would not fit 259 bytes
    TempFolder,      // the temporary folder cannot be created
    StartPageFolder, // the start-page folder cannot be created
};

// Fills the table from the folder of the running program, or from
// `appDirOverride` (a folder ending with "/") when given. Creates the
// temporary and start-page folders. On failure `error` says why and
// `failedPath` names the path involved.
bool BuildPaths(CAppPaths& paths, const char* appDirOverride = nullptr,
                BuildPathsError* error = nullptr, std::string* failedPath = nullptr);

// A user-facing explanation for a failure that deserves one (too-long
// paths); empty for the failures that end start-up silently.
std::string DescribeBuildPathsError(BuildPathsError error, const std::string& failedPath);
