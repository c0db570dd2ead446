#include "base/app_paths.h"

#include "base/file_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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

// Like mkdir -p; folders made here get 0700, as the XDG rules ask.
bool MakeFolders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1))
        if (::mkdir(folder.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    struct stat st
    {
    };
    return ::mkdir(folder.c_str(), 0700) == 0 ||
           (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

std::string SeedName(const std::string& target)
{
    return target + ".seed." + std::to_string(::getpid());
}

// Copies a shipped file the user does not have yet. The copy is written
// beside and linked into place, so a program and a companion starting
// together never open half a file and never replace each other's.
bool SeedCopy(const std::string& shipped, const std::string& target, std::string& failed)
{
    struct stat st
    {
    };
    if (::lstat(target.c_str(), &st) == 0)
        return true;
    std::FILE* in = std::fopen(shipped.c_str(), "rb");
    if (!in)
    {
        failed = shipped;
        return false;
    }
    const std::string temp = SeedName(target);
    ::unlink(temp.c_str());
    std::FILE* out = std::fopen(temp.c_str(), "wbx");
    bool ok = out != nullptr;
    char buffer[65536];
    size_t n = 0;
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = std::fwrite(buffer, 1, n, out) == n;
    ok = ok && !std::ferror(in);
    std::fclose(in);
    if (out)
    {
        ok = std::fflush(out) == 0 && ::fsync(fileno(out)) == 0 && ok;
        ok = std::fclose(out) == 0 && ok;
    }
    ok = ok && (::link(temp.c_str(), target.c_str()) == 0 || errno == EEXIST);
    ::unlink(temp.c_str());
    if (!ok)
        failed = target;
    return ok;
}

// Points a link at a shipped item that is only ever read (the skin the
// display copies refer to, the on-line list), so a newer package reaches
// the user. A link of an earlier installation elsewhere is moved; anything
// else the user put there stays.
bool LinkShipped(const std::string& shipped, const std::string& link, std::string& failed)
{
    struct stat st
    {
    };
    if (::lstat(link.c_str(), &st) == 0)
    {
        if (!S_ISLNK(st.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
        if (n >= 0 && std::string(target, static_cast<size_t>(n)) == shipped)
            return true;
    }
    const std::string temp = SeedName(link);
    ::unlink(temp.c_str());
    if (::symlink(shipped.c_str(), temp.c_str()) == 0 && ::rename(temp.c_str(), link.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    failed = link;
    return false;
}

// The user's folders of an installed copy, made and seeded.
bool PrepareUserData(const CAppPaths& p, std::string& failed)
{
    const std::string shipped = p.m_szAppDir;
    for (const char* folder : {p.m_szDatabaseDir, p.m_szResourceDir, p.m_szRoomListDir})
        if (!EnsureFolder(folder))
        {
            failed = folder;
            return false;
        }
    return SeedCopy(shipped + "DataBase/MyZELK.mdb", p.m_szDatabaseFile, failed) &&
           SeedCopy(shipped + "Resource/RoomList/OffLine.xml", p.m_szOfflineTree, failed) &&
           LinkShipped(shipped + "Resource/RoomList/Online.xml", p.m_szOnlineList, failed) &&
           LinkShipped(shipped + "Resource/Skins", std::string(p.m_szResourceDir) + "/Skins",
                       failed);
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

    p.m_mode = DetectAppMode(p.m_szAppDir);
    if (p.m_mode == AppMode::Portable)
    {
        std::memcpy(p.m_szDataDir, p.m_szAppDir, sizeof p.m_szDataDir);
        std::memcpy(p.m_szConfigDir, p.m_szAppDir, sizeof p.m_szConfigDir);
    }
    else
    {
        const std::optional<CUserFolders> user = UserFoldersFromEnvironment();
        if (!user)
            return Fail(BuildPathsError::UserFolder, "$HOME", error, failedPath);
        if (!Format(p.m_szDataDir, "%s", user->data.c_str(), error, failedPath) ||
            !Format(p.m_szConfigDir, "%s", user->config.c_str(), error, failedPath))
            return Fail(BuildPathsError::UserFolderTooLong,
                        (user->data.size() > kMaxPathBytes ? user->data : user->config).c_str(),
                        error, failedPath);
    }

    // The formats keep the doubled separator where a folder ending in "/"
    // meets a format beginning with "/"; the file system accepts it.
    // Every path is built before any folder is created, so a program folder
    // too deep for the table is refused without leaving folders behind.
    const bool installed = p.m_mode == AppMode::Installed;
    // Installed, a path built on the user's folders that does not fit is
    // theirs to shorten, not the program folder's.
    const BuildPathsError userTooLong =
        installed ? BuildPathsError::UserFolderTooLong : BuildPathsError::PathTooLong;
    std::string tooLong;
    const auto onUser = [&](char(&out)[260], const char* format, const char* source)
    {
        BuildPathsError ignored{};
        return Format(out, format, source, &ignored, &tooLong) ||
               Fail(userTooLong, tooLong.c_str(), error, failedPath);
    };
    const bool built =
        onUser(p.m_szConfigFile, "%s/MyZELK.cfg", p.m_szConfigDir) &&
        Format(p.m_szHelpFile, "%sMyZELK.chm", p.m_szAppDir, error, failedPath) &&
        onUser(p.m_szTempDir, "%sTemp", p.m_szDataDir) &&
        onUser(p.m_szResourceDir, "%sResource", p.m_szDataDir) &&
        onUser(p.m_szRoomListDir, "%s/RoomList", p.m_szResourceDir) &&
        onUser(p.m_szOnlineList, "%s/Online.xml", p.m_szRoomListDir) &&
        onUser(p.m_szOfflineTree, "%s/OffLine.xml", p.m_szRoomListDir) &&
        onUser(p.m_szDatabaseDir, "%s/DataBase", p.m_szDataDir) &&
        onUser(p.m_szDatabaseFile, "%s/MyZELK.mdb", p.m_szDatabaseDir) &&
        Format(p.m_szAdDir, "%sAD", p.m_szAppDir, error, failedPath) &&
        Format(p.m_szWelcomePage, "%s/WelcomePage.htm", p.m_szAdDir, error, failedPath) &&
        Format(p.m_szFeedbackModule, "%sLQFeedBack.so", p.m_szAppDir, error, failedPath);
    if (!built)
        return false;
    if (installed)
        for (const char* folder : {p.m_szDataDir, p.m_szConfigDir})
            if (!MakeFolders(folder))
                return Fail(BuildPathsError::UserFolder, folder, error, failedPath);
    // Installed, Temp/ is in the user's folder: its failure is told like
    // the other user-folder failures, not passed over in silence.
    if (!EnsureFolder(p.m_szTempDir))
        return Fail(installed ? BuildPathsError::UserFolder : BuildPathsError::TempFolder,
                    p.m_szTempDir, error, failedPath);
    // The shipped start-page folder is there in an installed copy; nothing
    // is made in the package's tree.
    struct stat st
    {
    };
    if (installed ? ::stat(p.m_szAdDir, &st) != 0 || !S_ISDIR(st.st_mode)
                  : !EnsureFolder(p.m_szAdDir))
        return Fail(BuildPathsError::StartPageFolder, p.m_szAdDir, error, failedPath);
    std::string failed;
    if (installed && !PrepareUserData(p, failed))
        return Fail(BuildPathsError::UserFolder, failed.c_str(), error, failedPath);
    return true;
}

std::string DescribeBuildPathsError(BuildPathsError error, const std::string& failedPath)
{
    if (error == BuildPathsError::UserFolder)
        return "无法在用户文件夹中准备 MyZELK 的数据，程序无法启动。\n" + failedPath;
    if (error == BuildPathsError::UserFolderTooLong)
        return "用户的数据或配置文件夹路径太长，程序无法启动。请把 XDG_DATA_HOME 或 "
               "XDG_CONFIG_HOME 设为路径较短的文件夹。\n" +
               failedPath;
    if (error != BuildPathsError::PathTooLong)
        return {};
    return "程序所在的文件夹路径太长，无法启动。请把程序移到路径较短的文件夹。\n" + failedPath;
}
