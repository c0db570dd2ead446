#include "base/app_paths.h"

#include "base/file_helpers.h"

#include <cstdio>
#include <cstring>

namespace
{

// sprintf into a 260-byte member, refusing instead of truncating.
bool Format(char (&out)[260], const char* format, const char* source, BuildPathsError* error,
            std::string* failedPath)
{
    const int n = std::snprintf(out, sizeof out, format, source);
    if (n < 0 || static_cast<size_t>(n) > kMaxPathBytes)
    {
        if (error)
            *error = BuildPathsError::PathTooLong;
        if (failedPath)
        {
            char full[1024];
            std::snprintf(full, sizeof full, format, source);
            *failedPath = full;
        }
        out[0] = '\0';
        return false;
    }
    return true;
}

bool Fail(BuildPathsError code, const char* path, BuildPathsError* error, std::string* failedPath)
{
    if (error)
        *error = code;
    if (failedPath)
        *failedPath = path ? path : "";
    return false;
}

} // namespace

bool BuildPaths(CAppPaths& p, const char* appDirOverride, BuildPathsError* error,
                std::string* failedPath)
{
    if (error)
        *error = BuildPathsError::None;
    if (appDirOverride)
    {
        if (!Format(p.m_szAppDir, "%s", appDirOverride, error, failedPath))
            return false;
    }
    else if (!GetModuleFolder(p.m_szAppDir))
    {
        // A program folder deeper than the table allows deserves the same
        // explanation as a path built from it.
        const std::string folder = GetModuleFolderText();
        if (folder.size() > kMaxPathBytes)
            return Fail(BuildPathsError::PathTooLong, folder.c_str(), error, failedPath);
        return Fail(BuildPathsError::NoProgramFile, "", error, failedPath);
    }

    // The formats keep the doubled separator where a folder ending in "/"
    // meets a format beginning with "/"; the file system accepts it.
    // Every path is built before any folder is created, so a program folder
    // too deep for the table is refused without leaving folders behind.
    const bool built =
        Format(p.m_szConfigFile, "%s/MyZELK.cfg", p.m_szAppDir, error, failedPath) &&
        Format(p.m_szHelpFile, "%sMyZELK.chm", p.m_szAppDir, error, failedPath) &&
        Format(p.m_szTempDir, "%sTemp", p.m_szAppDir, error, failedPath) &&
        Format(p.m_szResourceDir, "%sResource", p.m_szAppDir, error, failedPath) &&
        Format(p.m_szRoomListDir, "%s/RoomList", p.m_szResourceDir, error, failedPath) &&
        Format(p.m_szOnlineList, "%s/Online.xml", p.m_szRoomListDir, error, failedPath) &&
        Format(p.m_szOfflineTree, "%s/OffLine.xml", p.m_szRoomListDir, error, failedPath) &&
        Format(p.m_szDatabaseDir, "%s/DataBase", p.m_szAppDir, error, failedPath) &&
        Format(p.m_szDatabaseFile, "%s/MyZELK.mdb", p.m_szDatabaseDir, error, failedPath) &&
        Format(p.m_szAdDir, "%sAD", p.m_szAppDir, error, failedPath) &&
        Format(p.m_szWelcomePage, "%s/WelcomePage.htm", p.m_szAdDir, error, failedPath) &&
        Format(p.m_szFeedbackModule, "%sLQFeedBack.so", p.m_szAppDir, error, failedPath);
    if (!built)
        return false;
    if (!EnsureFolder(p.m_szTempDir))
        return Fail(BuildPathsError::TempFolder, p.m_szTempDir, error, failedPath);
    if (!EnsureFolder(p.m_szAdDir))
        return Fail(BuildPathsError::StartPageFolder, p.m_szAdDir, error, failedPath);
    return true;
}

std::string DescribeBuildPathsError(BuildPathsError error, const std::string& failedPath)
{
    if (error != BuildPathsError::PathTooLong)
        return {};
    return "程序所在的文件夹路径太长，无法启动。请把程序移到路径较短的文件夹。\n" + failedPath;
}
