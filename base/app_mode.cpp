#include "base/app_mode.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

bool IsAbsolute(const char* path)
{
    return path && path[0] == '/';
}

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

AppMode DetectAppMode(const char* appDir)
{
    const std::string folder = WithSlash(appDir ? appDir : "");
    if (::access((folder + kInstalledMarkerFile).c_str(), F_OK) == 0)
        return AppMode::Installed;
    // A folder that is not there has nothing to protect; building the paths
    // on it fails as it always did.
    return ::access(folder.c_str(), W_OK) == 0 || errno == ENOENT ? AppMode::Portable
                                                                  : AppMode::Installed;
}

std::optional<CUserFolders> UserFolders(const char* xdgDataHome, const char* xdgConfigHome,
                                        const char* home)
{
    const bool haveHome = IsAbsolute(home);
    if ((!IsAbsolute(xdgDataHome) || !IsAbsolute(xdgConfigHome)) && !haveHome)
        return std::nullopt;
    CUserFolders folders;
    folders.data =
        IsAbsolute(xdgDataHome) ? WithSlash(xdgDataHome) : WithSlash(home) + ".local/share/";
    folders.config =
        IsAbsolute(xdgConfigHome) ? WithSlash(xdgConfigHome) : WithSlash(home) + ".config/";
    folders.data += std::string(kUserFolderName) + "/";
    folders.config += std::string(kUserFolderName) + "/";
    return folders;
}

std::optional<CUserFolders> UserFoldersFromEnvironment()
{
    const char* home = std::getenv("HOME");
    std::string fromPasswd;
    if (!IsAbsolute(home))
    {
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir)
            fromPasswd = found->pw_dir;
        home = fromPasswd.c_str();
    }
    return UserFolders(std::getenv("XDG_DATA_HOME"), std::getenv("XDG_CONFIG_HOME"), home);
}
